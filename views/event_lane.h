#pragma once

#include <QWidget>

class NoteEditor;
class MidiEvent;

/**
 * EventLane: the lane below the note view, scrolled with it horizontally.
 *
 * It shows one bar per event of the editor's lane event type: note velocities (0x90),
 * controller values (0xB0, one controller number) or pitch bend (0xE0, drawn up or down from
 * the centre line). Its value scale: the lane's height spans the values 0..128 for velocities
 * and controllers; for pitch bend, half the height (rounded down to a multiple of 4 pixels)
 * spans 8192 on each side of the centre line. Presses, drags and releases are the editor's
 * gestures (EditGesture); an editor can take the lane over for another event type (the piano
 * roll's song lanes) through its lane hooks. GUI thread only.
 */
class EventLane : public QWidget
{
    Q_OBJECT

public:
    explicit EventLane(NoteEditor* editor);

    /** True for the pitch-bend lane, whose values are centred on 0. */
    bool isPitchBend() const;
    /** True when the event is one this lane shows. */
    bool shows(const MidiEvent* event) const;

    // The value scale.
    /** The value change for a pointer moved dy pixels up (negative: down). */
    int valueOffset(int dy) const;
    /** The value at a height of the lane (clamped to the lane's range). */
    int valueAtY(int y) const;
    /** The height of a value's end of bar. */
    int yOfValue(int value) const;
    /** The y of the pitch-bend centre line. */
    int centreY() const { return height() / 2; }
    int minimumValue() const;
    int maximumValue() const;
    /** Pixels of half the lane that span 8192 pitch-bend steps. */
    int bendHalf() const;

    /** The bar of an event with the given time, duration and value (view coordinates). */
    QRect barRect(uint32_t time, uint32_t duration, int value) const;
    QRect barRect(const MidiEvent* event) const;
    /** The shown event whose bar (or the 3 pixels above its end) holds the point, else none. */
    MidiEvent* eventAt(const QPoint& pos) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void paintBars(QPainter& p);
    void paintGesture(QPainter& p);
    QRect hitRect(const MidiEvent* event) const;

    NoteEditor* m_editor;
    bool m_gesturePress = false; // the press went to the editor's gestures, not a lane hook
};
