#pragma once

#include <QRect>
#include <cstdint>

class QPainter;
class QPoint;
class QWidget;
class PianoRoll;
class MidiEvent;

/**
 * SongLanes: the song-structure lanes of the piano roll's event lane.
 *
 * Three rows of 20 pixels: the sections, the chords (shown transposed by the view's
 * transposition) and, across the third and fourth, the suggested-chords notes. Fixed sections
 * and chords are drawn one point larger and bold. A click on the section or the chord row
 * opens the Section or Chord dialog for the position; the suggested chords are display only.
 * GUI thread only.
 */
class SongLanes
{
public:
    static constexpr int kRowHeight = 20;
    static constexpr int kHeight = 4 * kRowHeight + 2;

    explicit SongLanes(PianoRoll* roll);

    void paintScale(QPainter& p, const QRect& rect) const;
    void paint(QPainter& p, const QRect& rect) const;

    /** Where a press at a point edits: the lane kind (0: nowhere) and the sequence tick. */
    struct Target
    {
        int kind = 0;
        uint32_t tick = 0;
        uint32_t unitEnd = 0; // end of the snapped beat (chords) or bar (sections)
    };
    Target targetAt(const QPoint& pos) const;

private:
    const MidiEvent* eventAt(int kind, int x) const;
    uint32_t barTicks(uint32_t time) const;

    PianoRoll* m_roll;
};
