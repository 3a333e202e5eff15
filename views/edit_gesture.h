#pragma once

#include <QPoint>
#include <QRect>
#include <Qt>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class MidiClip;
class MidiEvent;
class NoteEditor;
class QWidget;

/**
 * EditGesture: how the note editor turns presses, drags and releases in its two event surfaces
 * (the note view and the event lane) into selections and undoable edits.
 *
 * A press runs the hit test (which also sets the cursor while idle): over a note, within 3
 * pixels of its right edge resizes its end, within 3 pixels of its left edge its start, elsewhere
 * it moves; over a lane bar, within 3 pixels of its end it changes the value. A press on empty
 * space with edit mode on and no modifier draws a new event. Nothing changes until the pointer
 * has moved the start-drag distance; then the gesture moves, resizes, draws or selects with a
 * rubber band. While dragging, the events are shown where the release would put them (the drag
 * copies, see forEachCopy); the release commits one named command on the session's undo list:
 * "edit" (drawn), "move", "resize" (also a value change), "paste". A click without drag selects
 * (Shift adds, Ctrl toggles) or, on empty space, moves the play position and clears the
 * selection.
 *
 * Shift and Ctrl count as they were at the press. Positions are kept in content coordinates
 * (scrolling included), so the view may scroll under a gesture. Offsets in time are session ticks;
 * a move's time offset is snapped to the grid and its pitch offset is whole rows. GUI thread only.
 */
class EditGesture
{
public:
    enum State
    {
        Idle = 0,
        Pressed = 1,
        RubberBand = 2,
        Moving = 3,
        Resizing = 4, // or drawing
        Pasting = 5,
        KeyboardMove = 6
    };
    enum Mode
    {
        Body = 0,
        EndEdge = 1,
        StartEdge = 2,
        Value = 3,
        BendDown = 4, // a pitch bend below the centre line
        BendUp = 5    // a pitch bend above it
    };
    enum Surface
    {
        Notes,
        Lane
    };

    /** Where a drag copy stands: session ticks, note number and value. */
    struct Shape
    {
        uint32_t tick = 0;
        uint32_t ticks = 0; // note length; 0 for other events
        int key = 0;
        int value = 0; // data2, or the centred 14-bit value of a pitch bend
    };
    struct Hit
    {
        MidiEvent* event = nullptr;
        Mode mode = Body;
        Qt::CursorShape cursor = Qt::ArrowCursor;
    };

    explicit EditGesture(NoteEditor* editor);
    ~EditGesture();

    State state() const { return m_state; }
    Mode mode() const { return m_mode; }
    Surface surface() const { return m_surface; }
    MidiEvent* hitEvent() const { return m_hit; }
    bool isCreated() const { return bool(m_created); }

    /** The event under a point of a surface, with its drag mode and cursor. */
    Hit hitTest(Surface surface, const QPoint& pos) const;

    void press(Surface surface, const QPoint& pos, Qt::KeyboardModifiers modifiers);
    void move(Surface surface, const QPoint& pos, Qt::KeyboardModifiers modifiers);
    void release(Surface surface, const QPoint& pos, Qt::KeyboardModifiers modifiers);
    /** Drops the gesture in progress (Escape): nothing is committed. */
    void cancel();

    // The keyboard move of the selection: arrows shift it, Return commits, Escape drops it.
    bool keyboardMove(int steps, int notes);
    bool commitKeyboardMove();
    void cancelKeyboardMove();

    /** Copies the selected events to the program's clipboard; false without a selection. */
    bool copySelection();
    /** Starts a paste: the copied events follow the pointer until the next release. */
    bool startPaste(Surface surface, const QPoint& pos);
    static bool hasCopies();

    /** Calls f for every drag copy: the event it shows and where it stands. */
    void forEachCopy(const std::function<void(const MidiEvent&, const Shape&)>& f) const;
    /** The rubber band in view coordinates of its surface; empty when there is none. */
    QRect rubberBand(Surface surface) const;
    /** Shape of an event as it stands now. */
    Shape shapeOf(const MidiEvent& event) const;

private:
    struct Offsets
    {
        int64_t rawTicks = 0;
        int64_t snappedTicks = 0;
        int rows = 0;
        int value = 0;
    };

    QWidget* widget(Surface surface) const;
    QPoint toContent(Surface surface, const QPoint& pos) const;
    QPoint toView(Surface surface, const QPoint& content) const;
    uint32_t tickAt(int contentX) const;
    int rowAt(int contentY) const;
    Offsets offsets() const;
    Hit noteHit(const QPoint& pos) const;
    Hit laneHit(const QPoint& pos) const;

    void remember();
    bool isCurrent() const;
    void pressPending(const QPoint& pos, Qt::KeyboardModifiers modifiers);
    void startDrawing(const QPoint& pos);
    void startDrag(Qt::KeyboardModifiers modifiers);
    void dragRubberBand(const QPoint& pos, Qt::KeyboardModifiers modifiers);
    void soundMovedNote();
    void scrollAtEdge(const QPoint& pos);
    void drawAcrossLane();
    void click(const QPoint& pos, Qt::KeyboardModifiers modifiers);
    void setCursor(Qt::CursorShape shape);
    void setPixmapCursor(const char* image, QPoint hotSpot, Qt::CursorShape fallback);
    void finish();

    Shape moved(const MidiEvent& event, const Offsets& o) const;
    Shape resized(const MidiEvent& event, const Offsets& o) const;
    Shape pasted(const MidiEvent& copy, const Offsets& o) const;
    bool commitMove();
    bool commitResize();
    bool commitPaste();

    NoteEditor* m_editor;
    State m_state = Idle;
    Mode m_mode = Body;
    Surface m_surface = Notes;
    QPoint m_anchor;  // content coordinates of the press
    QPoint m_pointer; // content coordinates of the last pointer position
    MidiEvent* m_hit = nullptr;
    MidiClip* m_clip = nullptr; // the clip and its sequence's generation at the press
    uint32_t m_generation = 0;
    Qt::KeyboardModifiers m_modifiers;    // Shift and Ctrl as they were at the press
    std::unique_ptr<MidiEvent> m_created; // the drawn event until it is committed
    std::vector<MidiEvent*> m_bandBase;   // the selection the rubber band started from
    std::vector<std::pair<MidiEvent*, int>> m_drawnOver; // lane events changed by drawing
    int64_t m_keyTicks = 0;                              // the pending keyboard move
    int m_keyNotes = 0;
};
