#pragma once

#include "time_scale.h"

#include <QFrame>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QPainter;
class QMouseEvent;
class QScrollBar;
class QToolButton;
class EditGesture;
class EventLane;
class EventLaneScale;
class MidiClip;
class MidiEvent;
class NoteKeyboard;
class NoteView;
class Session;
class Track;

/**
 * NoteEditor: the generic MIDI note editor of one MIDI clip.
 *
 * A piano keyboard on the left, the note view (notes as rectangles on key rows over the bar
 * grid), and an event lane below it with its label column. The editor keeps its own copy of
 * the session's time scale, whose timeZoom (horizontal) and heightZoom (vertical) are its two
 * zooms. Mouse gestures in the note view and the event lane (EditGesture) select, draw, move,
 * resize, change values and paste; each finished gesture is one MidiEditCommand on the
 * session's undo list, followed by the change notification. The view can be transposed:
 * a note is shown on the row of (note + transpose) modulo 256, the stored notes never change.
 *
 * The editor checks its clip and its selection against the session before it uses them, so a
 * clip that left the session or events that left the sequence are never touched.
 * GUI thread only.
 */
class NoteEditor : public QFrame
{
    Q_OBJECT

public:
    static constexpr int kNoteEvents = 0x90;
    static constexpr int kSongLanes = 255;
    static constexpr int kMinZoom = 20;
    static constexpr int kMaxZoom = 1000;
    static constexpr int kZoomStep = 20;
    enum ZoomFlag
    {
        ZoomHorizontal = 1,
        ZoomVertical = 2
    };

    explicit NoteEditor(Session* session, QWidget* parent = nullptr);
    ~NoteEditor() override;

    Session* session() const { return m_session; }
    /** The editor's own copy of the session's time scale. */
    TimeScale& scale() { return m_scale; }
    /** Copies the session's scale (tempo map, snap, format), keeping the editor's zooms. */
    void copySessionScale();

    /** The edited clip while it is in the session, else none. */
    MidiClip* clip() const;
    Track* track() const;
    void setClip(MidiClip* clip);

    bool isEditMode() const { return m_editMode; }
    void setEditMode(bool on);
    int noteEventType() const { return m_noteEventType; }
    void setNoteEventType(int type) { m_noteEventType = type; }
    int laneEventType() const { return m_laneEventType; }
    void setLaneEventType(int type);
    /** The controller number the lane shows when its event type is 0xB0. */
    int laneController() const { return m_laneController; }
    void setLaneController(int controller);
    int defaultNote() const { return m_defaultNote; }
    int defaultVelocity() const { return m_defaultVelocity; }
    bool isSoundOn() const { return m_soundOn; }
    void setSoundOn(bool on) { m_soundOn = on; }
    bool followsPlayPosition() const { return m_followPlay; }
    void setFollowPlayPosition(bool on) { m_followPlay = on; }
    int zoomFlags() const { return m_zoomFlags; }
    void setZoomFlags(int flags) { m_zoomFlags = flags; }

    /** The play position (session frames); following scrolls a page on when it leaves. */
    uint32_t playHead() const { return m_playHead; }
    void setPlayHead(uint32_t frame);
    void setLoop(uint32_t in, uint32_t out);
    uint32_t loopIn() const { return m_loopIn; }
    uint32_t loopOut() const { return m_loopOut; }

    int viewTranspose() const { return m_transpose; }
    void setViewTranspose(int semitones);
    /** The row a stored note is shown on, 0..255 (above 127 it is not shown). */
    int displayedNote(int note) const;
    /** The note a displayed row means. */
    int noteOfRow(int displayed) const;
    /** The key whose scale the grid marks (signature -7..7); show false draws no key lines. */
    void setKeySignature(int signature, bool minor, bool show = true);
    int keySignature() const { return m_keySignature; }
    bool isKeyMinor() const { return m_keyMinor; }
    bool showsKeyLines() const { return m_showKey; }

    // Zooms (percent).
    int timeZoom() const { return m_scale.timeZoom(); }
    int heightZoom() const { return m_scale.heightZoom(); }
    /** Sets the horizontal zoom as given (following another view may go beyond the limits). */
    void setTimeZoom(int percent);
    void setHeightZoom(int percent);
    int rowHeight() const;

    // Geometry of the note view (its own coordinates, scrolling included).
    int xOffset() const { return m_xOffset; }
    int yOffset() const { return m_yOffset; }
    /** Session tick of a time of the clip's sequence, and back. */
    uint32_t sessionTick(uint32_t eventTime) const;
    uint32_t eventTime(uint32_t sessionTick) const;
    int xOfTime(uint32_t eventTime) const;
    int xOfTick(uint32_t sessionTick) const;
    uint32_t timeOfX(int x) const;
    int rowTop(int displayed) const;
    int displayedNoteAt(int y) const;
    int contentHeight() const { return 128 * rowHeight(); }
    /** Pixel (editor scale) where the clip ends; none (UINT32_MAX) for a clip without end. */
    uint32_t clipEndPixel() const;

    /** The grid step in session ticks: a beat divided by the snap (a beat with snap off). */
    uint32_t gridStep() const;
    /**
     * Snaps a session tick down to the grid of its tempo section, catching positions less
     * than 1/256 step before a line; with the snap off the tick is returned unchanged.
     */
    uint32_t snapDown(uint32_t tick);

    /** The note name, e.g. "C3" for 60 (octave = note / 12 - 2). */
    static QString noteName(int note);

    // Selection: events of the clip's sequence, checked against it before every use.
    const std::vector<MidiEvent*>& selection();
    bool isSelected(const MidiEvent* event);
    void select(MidiEvent* event, Qt::KeyboardModifiers modifiers);
    void clearSelection();
    /** Replaces the selection; notify emits the selection notification. */
    void setSelection(std::vector<MidiEvent*> events, bool notify);
    /**
     * The event of the clip that shows and whose rectangle holds a point, the last one in time
     * order (drawn on top) when several do; none when none does.
     */
    MidiEvent* topmostAt(const QPoint& pos, const std::function<bool(const MidiEvent*)>& shows,
                         const std::function<QRect(const MidiEvent*)>& rectOf) const;
    /** The note of the note view at a point, none when there is none. */
    MidiEvent* noteAt(const QPoint& pos);
    /** The rectangle of a note in the note view (at least 5 pixels wide). */
    QRect noteRect(const MidiEvent* note) const;
    /** The rectangle of a note of the given session ticks and number. */
    QRect noteRectAt(uint32_t sessionTick, uint32_t ticks, int note) const;

    // Edits.
    /** Draws a note of one grid step at the tick snapped down ("edit"); the note or none. */
    MidiEvent* drawNote(int note, uint32_t sessionTick);
    /** Removes the selected notes as one "delete" command; false when nothing was removed. */
    bool deleteSelected();
    /** Commits an edit: pushes it on the undo list, then refreshes and notifies the change. */
    bool pushEdit(std::unique_ptr<class MidiEditCommand> command);

    // The clipboard: copied events are pasted where the pointer is.
    /** Copies the selected events; false without a selection. */
    bool copySelected();
    /** Copies, then removes the selected events as one "delete" command. */
    bool cutSelected();
    /** Starts pasting the copied events at a point of the note view (committed on release). */
    bool pasteAt(const QPoint& pos);

    /** Moves the play position to a frame and asks the window to follow. */
    void locateTo(uint32_t frame);
    /** The gestures of the note view and the event lane. */
    EditGesture* gesture() const { return m_gesture.get(); }

    // The keyboard move of the selected notes: arrows shift them, Return commits, Escape drops.
    bool isKeyboardMoving() const;
    /** Shifts the pending move by grid steps in time and by notes; false without a selection. */
    bool keyboardMove(int steps, int notes);
    /** Commits the pending move as one "move" command (pitches 0..127, times from 0). */
    bool commitKeyboardMove();
    void cancelKeyboardMove();

    /** Sounds a note (the previous one is released first) and marks it on the keyboard. */
    void soundNote(int note, int velocity);
    /** Releases the sounding note. */
    void releaseNote();
    /** The displayed row of the sounding key, -1 when none. */
    int soundingRow() const { return m_soundingNote < 0 ? -1 : displayedNote(m_soundingNote); }

    NoteView* noteView() const { return m_noteView; }
    NoteKeyboard* keyboard() const { return m_keyboard; }
    EventLane* eventLane() const { return m_eventLane; }
    EventLaneScale* eventLaneScale() const { return m_laneScale; }
    QToolButton* zoomButton(const char* objectName) const;

    // The event lane in modes other than note velocities (the piano roll's song lanes).
    /** Lane height in pixels for the lane event type. */
    virtual int laneHeight() const;
    /** Paints the lane; false leaves it to the velocity lane. */
    virtual bool paintLane(QPainter& p, const QRect& rect);
    virtual bool paintLaneScale(QPainter& p, const QRect& rect);
    /** A press in the lane; false when not handled. */
    virtual bool lanePressed(QMouseEvent* event);

public slots:
    /** Rebuilds scroll ranges and redraws everything. */
    virtual void refresh();
    /** Redraws the views (the cached grid is built again). */
    void redraw();
    void zoomIn();
    void zoomOut();
    void zoomReset();
    void horizontalZoomInSlot();
    void horizontalZoomOutSlot();
    void horizontalZoomResetSlot();
    void verticalZoomInSlot();
    void verticalZoomOutSlot();
    void verticalZoomResetSlot();
    /** Scrolls horizontally to x (another view moved); emits nothing. */
    void contentsXMovingSlot(int x, int y);
    void scrollToX(int x);
    void scrollToY(int y);

signals:
    void selectNotifySignal(NoteEditor* editor);
    void changeNotifySignal(NoteEditor* editor);
    /** A note to sound (velocity 0: release). */
    void sendNoteSignal(int note, int velocity);
    /** The user scrolled: the new offsets. */
    void contentsMoving(int x, int y);
    void heightZoomChanged(int percent);
    /** The play position was set in the editor (a click on empty space): session frames. */
    void locateRequested(unsigned long frame);
    void timeZoomChanged(int percent);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    QToolButton* makeZoomButton(QWidget* parent, const char* name, const QString& icon,
                                const QString& tip);
    void updateScrollBars();
    void validateSelection();

    Session* m_session;
    TimeScale m_scale;
    MidiClip* m_clip = nullptr;
    NoteKeyboard* m_keyboard;
    NoteView* m_noteView;
    EventLane* m_eventLane;
    EventLaneScale* m_laneScale;
    QScrollBar* m_hScroll;
    QScrollBar* m_vScroll;
    std::vector<MidiEvent*> m_selection;
    uint32_t m_selectionGeneration = 0;
    bool m_editMode = false;
    int m_noteEventType = kNoteEvents;
    int m_laneEventType = kNoteEvents;
    int m_defaultNote = 60;
    int m_defaultVelocity = 120;
    bool m_soundOn = false;
    bool m_followPlay = false;
    int m_zoomFlags = ZoomHorizontal | ZoomVertical;
    uint32_t m_playHead = 0;
    uint32_t m_loopIn = 0;
    uint32_t m_loopOut = 0;
    int m_transpose = 0;
    int m_keySignature = 0;
    bool m_keyMinor = false;
    bool m_showKey = false;
    int m_xOffset = 0;
    int m_yOffset = 0;
    int m_soundingNote = -1;
    int m_laneController = 7;
    std::unique_ptr<EditGesture> m_gesture;
    int m_quietScroll = 0; // scrolls made for another view are not reported back
};
