#pragma once

#include <QWidget>
#include <cstdint>
#include <memory>

class TracksView;
class Track;
class Clip;
class ClipWaveform;

/**
 * ClipArea: the track rows with their clips, the grid, the ranges and the play head.
 *
 * A click on a row selects the track and locates the play head there (snapped to the grid); a
 * drag over an audio clip selects a range of it (the clip's selectionIn / selectionOut, timeline
 * frames inside the clip), which Audio to MIDI then transcribes alone. Audio clips show their
 * waveform (ClipWaveform) and repaint when a peak build ends. GUI thread only.
 */
class ClipArea : public QWidget
{
    Q_OBJECT

public:
    explicit ClipArea(TracksView* view);
    ~ClipArea() override;

    /** Repaints the strips of the old and the new play head only. */
    void updatePlayHead(int oldX, int newX);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void paintGrid(QPainter& p);
    void paintHint(QPainter& p);
    void paintTrack(QPainter& p, Track* track, const QRect& row);
    void paintClip(QPainter& p, Clip* clip, const QRect& box);
    void paintMidiNotes(QPainter& p, Clip* clip, const QRect& box);
    void paintWaveform(QPainter& p, Clip* clip, const QRect& box);
    Clip* clipAt(const QPoint& pos, Track** track = nullptr) const;
    bool isLiveClip(Clip* clip) const;
    void setRangeSelection(int x1, int x2);

    TracksView* m_view;
    Clip* m_dragClip = nullptr; // audio clip under a rubber-band drag
    int m_dragStartX = 0;
    bool m_dragging = false;
    std::unique_ptr<ClipWaveform> m_waveform;
};
