#pragma once

#include <QWidget>
#include <cstdint>

class VxTracksView;
class vx18;
class vx21;

/**
 * VxClipArea: the track rows with their clips, the grid, the ranges and the play head.
 *
 * A click on a row selects the track and locates the play head there (snapped to the grid); a
 * drag over an audio clip selects a range of it (the clip's selectionIn / selectionOut, timeline
 * frames inside the clip), which Audio to MIDI then transcribes alone. GUI thread only.
 */
class VxClipArea : public QWidget
{
    Q_OBJECT

public:
    explicit VxClipArea(VxTracksView* view);

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
    void paintTrack(QPainter& p, vx18* track, const QRect& row);
    void paintClip(QPainter& p, vx21* clip, const QRect& box);
    void paintMidiNotes(QPainter& p, vx21* clip, const QRect& box);
    void paintWaveform(QPainter& p, vx21* clip, const QRect& box);
    vx21* clipAt(const QPoint& pos, vx18** track = nullptr) const;
    bool isLiveClip(vx21* clip) const;
    void setRangeSelection(int x1, int x2);

    VxTracksView* m_view;
    vx21* m_dragClip = nullptr; // audio clip under a rubber-band drag
    int m_dragStartX = 0;
    bool m_dragging = false;
};
