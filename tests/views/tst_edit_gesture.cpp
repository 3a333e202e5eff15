// The note editor's mouse gestures, driven by simulated presses, drags, releases and keys on a
// session with one MIDI track: hit zones, selection, drawing, moving, resizing, value changes,
// the rubber band, paste, and the undoable command each gesture leaves.
#include "edit_gesture.h"
#include "event_lane.h"
#include "event_lane_scale.h"
#include "midi_clip.h"
#include "midi_edit_command.h"
#include "midi_event.h"
#include "note_editor.h"
#include "note_view.h"
#include "one_clip_session.h"
#include "piano_roll.h"
#include "session.h"
#include "track.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

namespace {

constexpr uint32_t kBeat = 960;

struct EditedClip : OneClipSession
{
    NoteEditor editor{&session};

    explicit EditedClip(int snap = 1)
    {
        session.scale().setSnapPerBeat(uint16_t(snap));
        editor.copySessionScale();
        editor.setClip(clip);
        editor.resize(900, 600);
        editor.show();
        editor.scrollToY(editor.rowTop(72) + editor.yOffset());
    }
    MidiSequence& notes() { return clip->sequence(); }
    CommandList& commands() { return session.commands(); }
    QString lastCommand() { return commands().current() ? commands().current()->name() : ""; }
    QWidget* view() { return editor.noteView(); }
    EventLane* lane() { return editor.eventLane(); }
    MidiEvent* addNote(uint32_t time, int key, uint32_t duration = kBeat, int velocity = 100)
    {
        return notes().insert(MidiEvent::note(time, uint8_t(key), uint8_t(velocity), duration));
    }
    /** A point on a displayed row, dx pixels right of a time. */
    QPoint at(uint32_t time, int row, int dx = 2) const
    {
        return QPoint(editor.xOfTime(time) + dx, editor.rowTop(row) + editor.rowHeight() / 2);
    }
    int beatPixels() const { return editor.xOfTime(kBeat) - editor.xOfTime(0); }
    /** Press, move in two steps (past the start-drag distance) and release. */
    void drag(QWidget* w, QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mousePress(w, Qt::LeftButton, modifiers, from);
        QTest::mouseMove(w, (from + to) / 2);
        QTest::mouseMove(w, to);
        QTest::mouseRelease(w, Qt::LeftButton, modifiers, to);
    }
};

using Snapshot = std::vector<std::tuple<uint32_t, int, int, uint32_t>>;

Snapshot snapshot(const MidiSequence& sequence)
{
    Snapshot list;
    for (const MidiEvent* e = sequence.first(); e; e = e->next())
        list.emplace_back(e->time, e->data1, e->data2, e->duration);
    return list;
}

} // namespace

class TestEditGesture : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void edgesResizeAndTheBodyMoves()
    {
        EditedClip c;
        MidiEvent* note = c.addNote(kBeat, 64, 2 * kBeat);
        const QRect r = c.editor.noteRect(note);
        const int y = r.center().y();
        // While idle the hit test shows what a press would do.
        QTest::mouseMove(c.view(), QPoint(r.left() + r.width() - 2, y));
        QCOMPARE(c.view()->cursor().shape(), Qt::SplitHCursor);
        QTest::mouseMove(c.view(), QPoint(r.left() + 10, y));
        QCOMPARE(c.view()->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseMove(c.view(), QPoint(r.left() + 2, y));
        QCOMPARE(c.view()->cursor().shape(), Qt::SplitHCursor);
        QTest::mouseMove(c.view(), QPoint(r.right() + 40, y));
        QVERIFY(!c.view()->testAttribute(Qt::WA_SetCursor));

        // 2 pixels inside the right edge: the end follows, snapped to the beat grid.
        const QPoint end(r.left() + r.width() - 2, y);
        c.drag(c.view(), end, end + QPoint(c.beatPixels(), 0));
        QCOMPARE(c.lastCommand(), QStringLiteral("resize"));
        QCOMPARE(note->time, kBeat);
        QCOMPARE(note->duration, 3 * kBeat);
        QCOMPARE(int(note->data1), 64);
        // 10 pixels inside: the note moves.
        const QPoint body(r.left() + 10, y);
        c.drag(c.view(), body, body + QPoint(c.beatPixels(), 0));
        QCOMPARE(c.lastCommand(), QStringLiteral("move"));
        QCOMPARE(note->time, 2 * kBeat);
        QCOMPARE(note->duration, 3 * kBeat);
        QCOMPARE(c.commands().count(), 2);
    }

    void aResizeNeverLeavesLessThanOneTick()
    {
        EditedClip c(4);
        MidiEvent* note = c.addNote(2 * kBeat, 64, kBeat);
        QRect r = c.editor.noteRect(note);
        // The end dragged far left of the start.
        c.drag(c.view(), QPoint(r.left() + r.width() - 2, r.center().y()),
               QPoint(2, r.center().y()));
        QCOMPARE(note->time, 2 * kBeat);
        QCOMPARE(note->duration, 1u);
        c.commands().revert();
        QCOMPARE(note->duration, kBeat);

        // The start dragged past the end: it lands on the grid there, one tick long.
        r = c.editor.noteRect(note);
        c.drag(c.view(), QPoint(r.left() + 2, r.center().y()),
               QPoint(c.editor.xOfTime(5 * kBeat) + 4, r.center().y()));
        QCOMPARE(c.lastCommand(), QStringLiteral("resize"));
        QCOMPARE(note->time, 5 * kBeat);
        QCOMPARE(note->duration, 1u);
        c.commands().revert();
        QCOMPARE(note->time, 2 * kBeat);
        QCOMPARE(note->duration, kBeat);
        c.commands().redo();
        QCOMPARE(note->time, 5 * kBeat);
    }

    void aClickOnEmptySpaceDrawsOrMovesThePlayPosition()
    {
        EditedClip c(4);
        MidiEvent* a = c.addNote(0, 60);
        c.editor.select(a, Qt::NoModifier);
        QSignalSpy located(&c.editor, &NoteEditor::locateRequested);
        // Edit mode off: the play position goes to the grid line left of the click.
        QTest::mouseClick(c.view(), Qt::LeftButton, {}, c.at(1000, 70));
        QCOMPARE(c.notes().count(), 1);
        QVERIFY(c.editor.selection().empty());
        const uint32_t frame = c.session.scale().tickToFrame(960);
        QCOMPARE(c.editor.playHead(), frame);
        QCOMPARE(located.count(), 1);
        QCOMPARE(located.at(0).at(0).toULongLong(), qulonglong(frame));
        // With Shift the selection stays.
        c.editor.select(a, Qt::NoModifier);
        QTest::mouseClick(c.view(), Qt::LeftButton, Qt::ShiftModifier, c.at(2000, 70));
        QVERIFY(c.editor.isSelected(a));
        QCOMPARE(c.editor.playHead(), c.session.scale().tickToFrame(1920));

        // Edit mode on: a one-step note, sounded while the button is down.
        c.editor.setEditMode(true);
        c.editor.setSoundOn(true);
        QSignalSpy sent(&c.editor, &NoteEditor::sendNoteSignal);
        QTest::mousePress(c.view(), Qt::LeftButton, {}, c.at(1000, 66));
        QCOMPARE(c.notes().count(), 1); // nothing is committed before the release
        QCOMPARE(sent.count(), 1);
        QCOMPARE(sent.at(0), QVariantList({66, 120}));
        QVERIFY(c.view()->cursor().shape() != Qt::ArrowCursor); // the pencil
        QTest::mouseRelease(c.view(), Qt::LeftButton, {}, c.at(1000, 66));
        QCOMPARE(sent.count(), 2);
        QCOMPARE(c.notes().count(), 2);
        QCOMPARE(c.lastCommand(), QStringLiteral("edit"));
        const MidiEvent* drawn = c.notes().last();
        QCOMPARE(drawn->time, 960u);
        QCOMPARE(drawn->duration, 240u);
        QCOMPARE(int(drawn->data1), 66);
        QVERIFY(c.editor.isSelected(drawn));
        QCOMPARE(c.editor.playHead(), c.session.scale().tickToFrame(1920)); // not moved

        // Drawn with a drag, the note reaches the grid line under the pointer.
        c.drag(c.view(), c.at(2 * kBeat, 67), c.at(2 * kBeat, 67, 2 + 2 * c.beatPixels()));
        QCOMPARE(c.lastCommand(), QStringLiteral("edit"));
        QCOMPARE(c.notes().last()->time, 2 * kBeat);
        QCOMPARE(c.notes().last()->duration, 2 * kBeat + 240);
        c.commands().revert();
        c.commands().revert();
        QCOMPARE(c.notes().count(), 1);
        c.commands().redo();
        QCOMPARE(c.notes().count(), 2);
    }

    void modifiersAndTheStartDragDistance()
    {
        EditedClip c;
        MidiEvent* a = c.addNote(0, 60);
        MidiEvent* b = c.addNote(kBeat, 62);
        c.editor.select(a, Qt::NoModifier);
        c.editor.select(b, Qt::ShiftModifier);
        QTest::mouseClick(c.view(), Qt::LeftButton, Qt::ShiftModifier, c.at(0, 60, 10));
        QCOMPARE(c.editor.selection().size(), size_t(2)); // Shift keeps it
        QTest::mouseClick(c.view(), Qt::LeftButton, Qt::ControlModifier, c.at(0, 60, 10));
        QCOMPARE(c.editor.selection(), std::vector<MidiEvent*>({b})); // Ctrl deselects it
        QTest::mouseClick(c.view(), Qt::LeftButton, Qt::ControlModifier, c.at(0, 60, 10));
        QVERIFY(c.editor.isSelected(a));

        // Less than the start-drag distance is a click: a is selected alone, nothing moves.
        const int near = QApplication::startDragDistance() - 2;
        QVERIFY(near > 0);
        const QPoint from = c.at(0, 60, 10);
        QTest::mousePress(c.view(), Qt::LeftButton, {}, from);
        QTest::mouseMove(c.view(), from + QPoint(near, 0));
        QCOMPARE(c.editor.gesture()->state(), EditGesture::Pressed);
        QTest::mouseRelease(c.view(), Qt::LeftButton, {}, from + QPoint(near, 0));
        QCOMPARE(c.editor.selection(), std::vector<MidiEvent*>({a}));
        QCOMPARE(a->time, 0u);
        QCOMPARE(c.commands().count(), 0);
    }

    void velocityBarsChangeWithinTheirRange()
    {
        EditedClip c;
        MidiEvent* note = c.addNote(kBeat, 60, kBeat, 100);
        MidiEvent* other = c.addNote(2 * kBeat, 62, kBeat, 90);
        const QRect bar = c.lane()->barRect(note);
        const QPoint top(bar.left() + 2, bar.top() + 1);
        QTest::mouseMove(c.lane(), top);
        QCOMPARE(c.lane()->cursor().shape(), Qt::SplitVCursor);
        QTest::mouseMove(c.lane(), QPoint(bar.left() + 2, bar.bottom() - 1));
        QCOMPARE(c.lane()->cursor().shape(), Qt::PointingHandCursor);

        c.drag(c.lane(), top, QPoint(top.x(), -50));
        QCOMPARE(int(note->data2), 127);
        QCOMPARE(int(other->data2), 90);
        QCOMPARE(c.lastCommand(), QStringLiteral("resize"));
        c.drag(c.lane(), QPoint(top.x(), c.lane()->barRect(note).top() + 1),
               QPoint(top.x(), c.lane()->height() + 50));
        QCOMPARE(int(note->data2), 0);
        // A bar of velocity 0 is still taken at its end.
        c.drag(c.lane(), QPoint(top.x(), c.lane()->height() - 2),
               QPoint(top.x(), c.lane()->height() - 2 - c.lane()->height() / 2));
        QCOMPARE(int(note->data2), 64);
        c.commands().revert();
        c.commands().revert();
        QCOMPARE(int(note->data2), 127);
        c.commands().revert();
        QCOMPARE(int(note->data2), 100);
    }

    void drawingAcrossTheLaneSetsThePassedBars()
    {
        EditedClip c(2);
        c.editor.setEditMode(true);
        MidiEvent* a = c.addNote(kBeat, 60, kBeat, 100);
        MidiEvent* b = c.addNote(2 * kBeat, 64, kBeat, 100);
        const int y = c.lane()->yOfValue(40);
        const QPoint from(c.editor.xOfTime(kBeat / 2) + 1, y);
        QTest::mousePress(c.lane(), Qt::LeftButton, {}, from);
        QTest::mouseMove(c.lane(), QPoint(c.lane()->barRect(a).left() + 2, y));
        QTest::mouseMove(c.lane(), QPoint(c.lane()->barRect(b).left() + 2, y));
        QTest::mouseRelease(c.lane(), Qt::LeftButton, {},
                            QPoint(c.lane()->barRect(b).left() + 2, y));
        QCOMPARE(c.lastCommand(), QStringLiteral("edit"));
        QCOMPARE(c.commands().count(), 1);
        QCOMPARE(c.notes().count(), 3);
        const MidiEvent* drawn = c.notes().first();
        QCOMPARE(drawn->time, kBeat / 2);
        QCOMPARE(int(drawn->data1), c.editor.defaultNote());
        QVERIFY2(std::abs(int(drawn->data2) - 40) <= 2, qPrintable(QString::number(drawn->data2)));
        QCOMPARE(int(a->data2), int(drawn->data2));
        QCOMPARE(int(b->data2), int(drawn->data2));
        c.commands().revert();
        QCOMPARE(c.notes().count(), 2);
        QCOMPARE(int(a->data2), 100);
        QCOMPARE(int(b->data2), 100);
    }

    void theValueScaleSpansTheLane()
    {
        EditedClip c;
        EventLane* lane = c.lane();
        const int h = lane->height();
        QCOMPARE(c.editor.eventLaneScale()->title(), QStringLiteral("Velocity"));
        // The height spans 0..128: half of it is 64, rounded half away from zero.
        QCOMPARE(lane->valueOffset(h / 2), 64);
        QCOMPARE(lane->valueOffset(-h), -128);
        QCOMPARE(lane->valueAtY(h), 0);
        QCOMPARE(lane->valueAtY(-5), 127);
        QCOMPARE(lane->yOfValue(0), h);
        c.editor.setLaneController(7);
        c.editor.setLaneEventType(MidiEvent::Controller);
        QCOMPARE(c.editor.eventLaneScale()->title(), QStringLiteral("Controller 7"));
        c.editor.setLaneEventType(MidiEvent::PitchBend);
        QCOMPARE(c.editor.eventLaneScale()->title(), QStringLiteral("Pitch bend"));
        const int half = lane->bendHalf();
        QCOMPARE(half % 4, 0);
        QVERIFY(half <= h / 2 && half > h / 2 - 4);
        QCOMPARE(lane->valueOffset(half), 8192);
        QCOMPARE(lane->valueOffset(-half / 2), -4096);
        QCOMPARE(lane->valueAtY(lane->centreY()), 0);
        QCOMPARE(lane->valueAtY(h + 10), -8191);
        c.editor.eventLaneScale()->grab(); // paints the scale of every lane kind
    }

    void aControllerIsDrawnInItsLane()
    {
        EditedClip c(4);
        c.editor.setLaneController(10);
        c.editor.setLaneEventType(MidiEvent::Controller);
        c.editor.setEditMode(true);
        c.notes().insert(MidiEvent::channel(0, MidiEvent::Controller, 7, 50)); // not shown
        const QPoint at(c.editor.xOfTime(kBeat) + 1, c.lane()->yOfValue(96));
        QVERIFY(!c.lane()->eventAt(at));
        QTest::mouseClick(c.lane(), Qt::LeftButton, {}, at);
        QCOMPARE(c.lastCommand(), QStringLiteral("edit"));
        QCOMPARE(c.notes().count(), 2);
        const MidiEvent* drawn = c.notes().last();
        QCOMPARE(drawn->status, int(MidiEvent::Controller));
        QCOMPARE(int(drawn->data1), 10);
        QVERIFY2(std::abs(int(drawn->data2) - 96) <= 2, qPrintable(QString::number(drawn->data2)));
        QCOMPARE(drawn->time, kBeat);
        QCOMPARE(c.lane()->eventAt(at), drawn);
    }

    void anUndoDuringADragDropsTheGesture()
    {
        EditedClip c;
        c.editor.setEditMode(true);
        c.editor.setSoundOn(true);
        QTest::mouseClick(c.view(), Qt::LeftButton, {}, c.at(kBeat, 64));
        QCOMPARE(c.notes().count(), 1);
        MidiEvent* note = c.notes().first();
        QSignalSpy sent(&c.editor, &NoteEditor::sendNoteSignal);
        const QPoint from = c.editor.noteRect(note).center();
        QTest::mousePress(c.view(), Qt::LeftButton, {}, from);
        QCOMPARE(sent.count(), 1);
        // Moved two rows up, the note sounds on its new row.
        QTest::mouseMove(c.view(), from + QPoint(0, -2 * c.editor.rowHeight()));
        QCOMPARE(sent.count(), 3);
        QCOMPARE(sent.at(1), QVariantList({64, 0}));
        QCOMPARE(sent.at(2), QVariantList({66, 120}));
        c.commands().revert(); // the drawn note leaves the melody under the pointer
        QTest::mouseMove(c.view(), from + QPoint(40, -c.editor.rowHeight()));
        QTest::mouseRelease(c.view(), Qt::LeftButton, {}, from + QPoint(40, 0));
        QCOMPARE(c.editor.gesture()->state(), EditGesture::Idle);
        QCOMPARE(c.notes().count(), 0);
        QCOMPARE(c.commands().currentIndex(), -1);
        QCOMPARE(c.editor.soundingRow(), -1);
    }

    void pitchBendChangesAroundItsCentreLine()
    {
        EditedClip c;
        c.editor.setLaneEventType(MidiEvent::PitchBend);
        const int raw = 4096 + 8192;
        MidiEvent* up = c.notes().insert(MidiEvent::channel(
            kBeat, MidiEvent::PitchBend, uint8_t(raw & 0x7F), uint8_t(raw >> 7)));
        MidiEvent* down =
            c.notes().insert(MidiEvent::channel(2 * kBeat, MidiEvent::PitchBend, 0, 0x20));
        QCOMPARE(MidiEditCommand::valueOf(down), -4096);
        // Half the lane, rounded down to a multiple of 4 pixels, spans 8192.
        QCOMPARE(c.lane()->bendHalf(), c.lane()->height() / 2 / 4 * 4);
        const QRect upBar = c.lane()->barRect(up);
        QCOMPARE(upBar.bottom(), c.lane()->centreY());
        QCOMPARE(
            c.editor.gesture()->hitTest(EditGesture::Lane, upBar.topLeft() + QPoint(2, 1)).mode,
            EditGesture::BendUp);
        const QRect downBar = c.lane()->barRect(down);
        QCOMPARE(c.editor.gesture()
                     ->hitTest(EditGesture::Lane, downBar.bottomLeft() + QPoint(2, -1))
                     .mode,
                 EditGesture::BendDown);
        c.drag(c.lane(), upBar.topLeft() + QPoint(2, 1), QPoint(upBar.left() + 2, -100));
        QCOMPARE(MidiEditCommand::valueOf(up), 8191);
        c.drag(c.lane(), downBar.bottomLeft() + QPoint(2, -1),
               QPoint(downBar.left() + 2, c.lane()->height() + 100));
        QCOMPARE(MidiEditCommand::valueOf(down), -8191);
        c.commands().revert();
        c.commands().revert();
        QCOMPARE(MidiEditCommand::valueOf(up), 4096);
        QCOMPARE(MidiEditCommand::valueOf(down), -4096);
    }

    void aMoveOfThreeNotesIsOneCommandThatUndoesExactly()
    {
        EditedClip c;
        MidiEvent* a = c.addNote(0, 60);
        MidiEvent* b = c.addNote(kBeat, 62);
        MidiEvent* d = c.addNote(kBeat, 64, 2 * kBeat);
        c.addNote(kBeat, 66); // not selected
        c.editor.select(a, Qt::NoModifier);
        c.editor.select(b, Qt::ShiftModifier);
        c.editor.select(d, Qt::ShiftModifier);
        const Snapshot before = snapshot(c.notes());
        const QPoint from = c.at(kBeat, 62, 10);
        const QPoint to = from + QPoint(c.beatPixels(), -2 * c.editor.rowHeight());
        c.drag(c.view(), from, to);
        QCOMPARE(c.commands().count(), 1);
        QCOMPARE(c.lastCommand(), QStringLiteral("move"));
        QCOMPARE(a->time, kBeat);
        QCOMPARE(int(a->data1), 62);
        QCOMPARE(b->time, 2 * kBeat);
        QCOMPARE(int(b->data1), 64);
        QCOMPARE(d->time, 2 * kBeat);
        QCOMPARE(int(d->data1), 66);
        QCOMPARE(d->duration, 2 * kBeat);
        const Snapshot after = snapshot(c.notes());
        c.commands().revert();
        QCOMPARE(snapshot(c.notes()), before);
        c.commands().redo();
        QCOMPARE(snapshot(c.notes()), after);

        // Below note 0 and before tick 0 the moved notes stop.
        MidiEvent* low = c.addNote(kBeat, 1);
        c.editor.select(low, Qt::NoModifier);
        c.editor.scrollToY(c.editor.contentHeight());
        const QPoint lowAt = c.at(kBeat, 1, 10);
        c.drag(c.view(), lowAt, lowAt + QPoint(-3 * c.beatPixels(), 3 * c.editor.rowHeight()));
        QCOMPARE(low->time, 0u);
        QCOMPARE(int(low->data1), 0);
    }

    void aPendingKeyboardMoveIsPickedUpByTheMouse()
    {
        EditedClip c;
        MidiEvent* a = c.addNote(kBeat, 60);
        c.editor.select(a, Qt::NoModifier);
        QTest::keyClick(c.view(), Qt::Key_Up);
        QVERIFY(c.editor.isKeyboardMoving());
        // The press takes the selection by its centre: it follows the pointer from there.
        const QPoint centre = c.editor.noteRect(a).center();
        QTest::mousePress(c.view(), Qt::LeftButton, {}, centre);
        QCOMPARE(c.editor.gesture()->state(), EditGesture::Moving);
        QVERIFY(!c.editor.isKeyboardMoving());
        const QPoint to = centre + QPoint(c.beatPixels(), -c.editor.rowHeight());
        QTest::mouseMove(c.view(), to);
        QTest::mouseRelease(c.view(), Qt::LeftButton, {}, to);
        QCOMPARE(c.lastCommand(), QStringLiteral("move"));
        QCOMPARE(a->time, 2 * kBeat);
        QCOMPARE(int(a->data1), 61);
    }

    void theRubberBandSelectsAndScrollsAtTheEdge()
    {
        EditedClip c;
        MidiEvent* a = c.addNote(0, 60);
        MidiEvent* b = c.addNote(kBeat, 62);
        MidiEvent* d = c.addNote(4 * kBeat, 62);
        QSignalSpy selected(&c.editor, &NoteEditor::selectNotifySignal);
        // From empty space above-left of a to below-right of b.
        const QPoint from(c.editor.xOfTime(0) + 1, c.editor.rowTop(64));
        const QPoint to(c.editor.xOfTime(kBeat) + 8, c.editor.rowTop(59));
        c.drag(c.view(), from, to);
        QCOMPARE(c.editor.selection(), std::vector<MidiEvent*>({a, b}));
        QCOMPARE(selected.count(), 1);
        QCOMPARE(c.commands().count(), 0);
        // With Ctrl the touched notes toggle: b leaves, d joins.
        const QPoint from2(c.editor.xOfTime(kBeat) + 8, c.editor.rowTop(63));
        const QPoint to2(c.editor.xOfTime(4 * kBeat) + 8, c.editor.rowTop(61));
        c.drag(c.view(), from2, to2, Qt::ControlModifier);
        QCOMPARE(c.editor.selection(), std::vector<MidiEvent*>({a, d}));
        // Without a modifier the band starts a new selection.
        c.drag(c.view(), from2, to2);
        QCOMPARE(c.editor.selection(), std::vector<MidiEvent*>({b, d}));

        // Near the right edge the view scrolls.
        const int x = c.editor.xOffset();
        QTest::mousePress(c.view(), Qt::LeftButton, {}, from);
        QTest::mouseMove(c.view(), QPoint(c.view()->width() - 4, from.y() + 20));
        QTest::mouseMove(c.view(), QPoint(c.view()->width() - 5, from.y() + 20));
        QVERIFY(c.editor.xOffset() > x);
        QTest::mouseRelease(c.view(), Qt::LeftButton, {},
                            QPoint(c.view()->width() - 5, from.y() + 20));
    }

    void copiedNotesArePastedAtThePointer()
    {
        EditedClip c;
        MidiEvent* a = c.addNote(0, 60, kBeat, 90);
        MidiEvent* b = c.addNote(kBeat, 64, 2 * kBeat, 80);
        c.editor.select(a, Qt::NoModifier);
        c.editor.select(b, Qt::ShiftModifier);
        QTest::keyClick(c.view(), Qt::Key_C, Qt::ControlModifier);
        QVERIFY(EditGesture::hasCopies());
        QVERIFY(c.editor.pasteAt(c.at(4 * kBeat, 67)));
        QCOMPARE(c.editor.gesture()->state(), EditGesture::Pasting);
        QTest::mousePress(c.view(), Qt::LeftButton, {}, c.at(4 * kBeat, 67)); // does nothing
        QCOMPARE(c.editor.gesture()->state(), EditGesture::Pasting);
        QTest::mouseMove(c.view(), c.at(8 * kBeat, 62, 30));
        QTest::mouseRelease(c.view(), Qt::LeftButton, {}, c.at(8 * kBeat, 62, 30));
        QCOMPARE(c.lastCommand(), QStringLiteral("paste"));
        QCOMPARE(c.notes().count(), 4);
        const MidiEvent* p1 = c.notes().last()->prev();
        const MidiEvent* p2 = c.notes().last();
        QCOMPARE(p1->time, 8 * kBeat);
        QCOMPARE(int(p1->data1), 62);
        QCOMPARE(int(p1->data2), 90);
        QCOMPARE(p2->time, 9 * kBeat);
        QCOMPARE(int(p2->data1), 66);
        QCOMPARE(p2->duration, 2 * kBeat);
        QCOMPARE(c.editor.selection().size(), size_t(2));
        c.commands().revert();
        QCOMPARE(c.notes().count(), 2);
        c.commands().redo();
        QCOMPARE(c.notes().count(), 4);

        // Cut copies and deletes; Escape drops a paste.
        c.editor.select(a, Qt::NoModifier);
        QTest::keyClick(c.view(), Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(c.lastCommand(), QStringLiteral("delete"));
        QCOMPARE(c.notes().count(), 3);
        QVERIFY(c.editor.pasteAt(c.at(0, 60)));
        QTest::keyClick(c.view(), Qt::Key_Escape);
        QCOMPARE(c.editor.gesture()->state(), EditGesture::Idle);
        QCOMPARE(c.notes().count(), 3);
    }

    void theMelodyClipGrowsWithAnEditPastItsEnd()
    {
        OneClipSession m;
        Session& session = m.session;
        MidiClip* clip = m.clip;
        session.scale().setSnapPerBeat(1);
        MidiEvent* last = clip->sequence().insert(MidiEvent::note(0, 60, 100, 4 * kBeat));
        PianoRoll roll(&session);
        roll.setClip(clip);
        roll.resize(900, 600);
        roll.show();
        roll.adjustClipLength();
        roll.scrollToY(roll.rowTop(66) + roll.yOffset());
        const uint32_t end = clip->end();
        QCOMPARE(end, session.scale().tickToFrame(4 * kBeat));
        // The end of the last note dragged two beats on: the clip and the song follow.
        const QRect r = roll.noteRect(last);
        const QPoint from(r.left() + r.width() - 2, r.center().y());
        const int beat = roll.xOfTime(kBeat) - roll.xOfTime(0);
        QTest::mousePress(roll.noteView(), Qt::LeftButton, {}, from);
        QTest::mouseMove(roll.noteView(), from + QPoint(beat, 0));
        QTest::mouseMove(roll.noteView(), from + QPoint(2 * beat, 0));
        QTest::mouseRelease(roll.noteView(), Qt::LeftButton, {}, from + QPoint(2 * beat, 0));
        QCOMPARE(session.commands().current()->name(), QStringLiteral("resize"));
        QCOMPARE(last->duration, 6 * kBeat);
        QCOMPARE(clip->end(), session.scale().tickToFrame(6 * kBeat));
        QVERIFY(session.endFrame() >= clip->end());
        QVERIFY(clip->isModified());
        QCOMPARE(roll.changeCount(), 1);
    }
};

QTEST_MAIN(TestEditGesture)
#include "tst_edit_gesture.moc"
