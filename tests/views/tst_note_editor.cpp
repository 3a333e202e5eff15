// The generic note editor: its zooms, its grid, its keyboard and the basic edits, driven by
// simulated clicks on a session with one MIDI track.
#include "midi_clip.h"
#include "midi_event.h"
#include "note_editor.h"
#include "note_keyboard.h"
#include "note_view.h"
#include "one_clip_session.h"
#include "session.h"
#include "track.h"

#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace {

struct EditedClip : OneClipSession
{
    NoteEditor editor{&session};

    EditedClip()
    {
        editor.setClip(clip);
        editor.resize(800, 600);
        editor.show();
        editor.scrollToY(editor.rowTop(72) + editor.yOffset());
    }
    MidiSequence& notes() { return clip->sequence(); }
    MidiEvent* addNote(uint32_t time, int key, uint32_t duration = 960)
    {
        return notes().insert(MidiEvent::note(time, uint8_t(key), 100, duration));
    }
    /** The middle of a time on a displayed row of the note view. */
    QPoint at(uint32_t time, int row) const
    {
        return QPoint(editor.xOfTime(time) + 2, editor.rowTop(row) + editor.rowHeight() / 2);
    }
};

} // namespace

class TestNoteEditor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void zoomStepsAndStopsAtTheLimits()
    {
        EditedClip c;
        c.editor.setHeightZoom(990);
        QTest::mouseClick(c.editor.zoomButton("VerticalZoomIn"), Qt::LeftButton);
        QCOMPARE(c.editor.heightZoom(), 1000);
        c.editor.verticalZoomInSlot();
        QCOMPARE(c.editor.heightZoom(), 1000);
        c.editor.setTimeZoom(30);
        QTest::mouseClick(c.editor.zoomButton("HorizontalZoomOut"), Qt::LeftButton);
        QCOMPARE(c.editor.timeZoom(), 20);
        c.editor.horizontalZoomOutSlot();
        QCOMPARE(c.editor.timeZoom(), 20);
        c.editor.zoomReset();
        QCOMPARE(c.editor.timeZoom(), 100);
        QCOMPARE(c.editor.heightZoom(), 100);
        // The zooms are the editor's own: the session's scale does not move.
        c.editor.zoomIn();
        QCOMPARE(c.editor.timeZoom(), 120);
        QCOMPARE(c.editor.heightZoom(), 120);
        QCOMPARE(int(c.session.scale().timeZoom()), 100);
        QCOMPARE(c.editor.zoomButton("VerticalZoomReset")->toolTip(),
                 QStringLiteral("Zoom reset (vertical)"));
        QCOMPARE(c.editor.zoomButton("HorizontalZoomIn")->toolTip(),
                 QStringLiteral("Zoom in (horizontal)"));
    }

    void snappingGoesDownToTheGridOfTheTempoSection_data()
    {
        QTest::addColumn<int>("snap");
        QTest::addColumn<uint>("tick");
        QTest::addColumn<uint>("snapped");
        QTest::newRow("on a line") << 4 << 480u << 480u;
        QTest::newRow("just after a line goes down") << 4 << 719u << 480u;
        // A beat step is 960 ticks: 1/256 of it is 3.75 ticks.
        QTest::newRow("within 1/256 step before a line") << 1 << 957u << 960u;
        QTest::newRow("more than 1/256 step before") << 1 << 956u << 0u;
        QTest::newRow("beat grid") << 1 << 1915u << 960u;
        QTest::newRow("snap off keeps the tick") << 0 << 1234u << 1234u;
    }
    void snappingGoesDownToTheGridOfTheTempoSection()
    {
        QFETCH(int, snap);
        QFETCH(uint, tick);
        QFETCH(uint, snapped);
        EditedClip c;
        c.session.scale().setSnapPerBeat(uint16_t(snap));
        c.editor.copySessionScale();
        QCOMPARE(c.editor.snapDown(tick), snapped);
        QCOMPARE(c.editor.gridStep(), snap ? 960u / uint(snap) : 960u);
    }

    void aTempoSectionStartsItsOwnGrid()
    {
        EditedClip c;
        // A bar of 3/8 (1.5 beats), then 4/4: the second section's beats start at tick 1440.
        c.session.scale().setNode(0, 120.0f, 2, 3, 3);
        c.session.scale().setNode(33075, 120.0f, 2, 4, 2);
        c.session.scale().setSnapPerBeat(1);
        c.editor.copySessionScale();
        QCOMPARE(c.editor.scale().lastNode()->tick, 1440u);
        QCOMPARE(c.editor.snapDown(1440 + 955), 1440u);
        QCOMPARE(c.editor.snapDown(1440 + 960), 2400u);
        QCOMPARE(c.editor.snapDown(955), 0u);
    }

    void aClickOnEmptyGridDrawsOneStepWhenEditing()
    {
        EditedClip c;
        c.session.scale().setSnapPerBeat(4);
        c.editor.copySessionScale();
        QTest::mouseClick(c.editor.noteView(), Qt::LeftButton, {}, c.at(1000, 64));
        QVERIFY(c.notes().isEmpty()); // edit mode is off: a click draws nothing

        c.editor.setEditMode(true);
        c.editor.setViewTranspose(2); // row 64 then means note 62
        QSignalSpy changed(&c.editor, &NoteEditor::changeNotifySignal);
        QTest::mouseClick(c.editor.noteView(), Qt::LeftButton, {}, c.at(1000, 64));
        QCOMPARE(c.notes().count(), 1);
        const MidiEvent* note = c.notes().first();
        QCOMPARE(int(note->data1), 62);
        QCOMPARE(note->time, 960u);
        QCOMPARE(note->duration, 240u);
        QCOMPARE(int(note->data2), c.editor.defaultVelocity());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(c.session.commands().current()->name(), QStringLiteral("edit"));
        QVERIFY(c.editor.isSelected(note));
        c.session.commands().revert();
        QVERIFY(c.notes().isEmpty());
        QVERIFY(c.editor.selection().empty()); // the undone note left the selection
    }

    void clicksSelectAndDeleteRemovesTheSelectionAsOneCommand()
    {
        EditedClip c;
        MidiEvent* a = c.addNote(0, 60);
        MidiEvent* b = c.addNote(960, 62);
        c.addNote(1920, 64);
        QTest::mouseClick(c.editor.noteView(), Qt::LeftButton, {}, c.at(0, 60));
        QCOMPARE(c.editor.selection(), std::vector<MidiEvent*>({a}));
        QTest::mouseClick(c.editor.noteView(), Qt::LeftButton, Qt::ShiftModifier, c.at(960, 62));
        QCOMPARE(c.editor.selection().size(), size_t(2));
        QTest::mouseClick(c.editor.noteView(), Qt::LeftButton, Qt::ControlModifier, c.at(960, 62));
        QCOMPARE(c.editor.selection(), std::vector<MidiEvent*>({a}));
        QTest::mouseClick(c.editor.noteView(), Qt::LeftButton, Qt::ShiftModifier, c.at(960, 62));
        QVERIFY(c.editor.isSelected(b));

        QVERIFY(c.editor.deleteSelected());
        QCOMPARE(c.notes().count(), 1);
        QCOMPARE(c.session.commands().current()->name(), QStringLiteral("delete"));
        QVERIFY(c.editor.selection().empty());
        QVERIFY(!c.editor.deleteSelected()); // nothing selected: no command
        c.session.commands().revert();
        QCOMPARE(c.notes().count(), 3);

        // Edit mode off: a click on empty grid clears the selection.
        QTest::mouseClick(c.editor.noteView(), Qt::LeftButton, {}, c.at(0, 60));
        QTest::mouseClick(c.editor.noteView(), Qt::LeftButton, {}, c.at(5000, 70));
        QVERIFY(c.editor.selection().empty());
    }

    void arrowsMoveTheSelectionUntilReturnOrScrollWithoutOne()
    {
        EditedClip c;
        c.session.scale().setSnapPerBeat(2);
        c.editor.copySessionScale();
        MidiEvent* a = c.addNote(960, 60);
        MidiEvent* b = c.addNote(960, 127);
        QWidget* view = c.editor.noteView();
        const int x = c.editor.xOffset();
        QTest::keyClick(view, Qt::Key_Right);
        QCOMPARE(c.editor.xOffset(), x + 16); // nothing selected: the view scrolls
        c.editor.scrollToX(0);

        c.editor.select(a, Qt::NoModifier);
        c.editor.select(b, Qt::ShiftModifier);
        QTest::keyClick(view, Qt::Key_Left);
        QTest::keyClick(view, Qt::Key_Left);
        QTest::keyClick(view, Qt::Key_Left); // past the start: stops at 0
        QTest::keyClick(view, Qt::Key_Up);
        QVERIFY(c.editor.isKeyboardMoving());
        QCOMPARE(a->time, 960u); // nothing changes before Return
        QTest::keyClick(view, Qt::Key_Return);
        QVERIFY(!c.editor.isKeyboardMoving());
        QCOMPARE(a->time, 0u);
        QCOMPARE(int(a->data1), 61);
        QCOMPARE(int(b->data1), 127); // clamped
        QCOMPARE(c.session.commands().current()->name(), QStringLiteral("move"));

        QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Escape);
        QVERIFY(!c.editor.isKeyboardMoving());
        QCOMPARE(int(a->data1), 61);
        c.session.commands().revert();
        QCOMPARE(a->time, 960u);
        QCOMPARE(int(a->data1), 60);
    }

    void aClearedSequenceNeverLeavesAFreedNoteSelected()
    {
        EditedClip c;
        MidiEvent* a = c.addNote(0, 60);
        c.editor.select(a, Qt::NoModifier);
        c.notes().clearEvents();
        QVERIFY(c.editor.selection().empty());
        QVERIFY(!c.editor.deleteSelected());
        // A clip taken out of the session is not the editor's any more.
        c.track->removeClip(c.clip);
        QCOMPARE(c.editor.clip(), nullptr);
        c.editor.grab(); // paints without the clip
        c.track->addClip(c.clip);
    }

    void keyboardShowsTheKeyAndSoundsItUntilReleased()
    {
        EditedClip c;
        QCOMPARE(NoteKeyboard::toolTipFor(69),
                 QStringLiteral("Note:\tA3\nMIDI On:\t69\nFrequency:\t440Hz"));
        QVERIFY(NoteKeyboard::toolTipFor(60).contains(QStringLiteral("C3")));
        QVERIFY(NoteKeyboard::toolTipFor(60).contains(QStringLiteral("261Hz"))); // truncated
        QSignalSpy sent(&c.editor, &NoteEditor::sendNoteSignal);
        const QPoint key(10, c.at(0, 69).y());
        QTest::mousePress(c.editor.keyboard(), Qt::LeftButton, {}, key);
        QCOMPARE(c.editor.soundingRow(), 69);
        QTest::mouseRelease(c.editor.keyboard(), Qt::LeftButton, {}, key);
        QCOMPARE(c.editor.soundingRow(), -1);
        QCOMPARE(sent.count(), 2);
        QCOMPARE(sent.at(0), QVariantList({69, 120}));
        QCOMPARE(sent.at(1), QVariantList({69, 0}));
    }

    void notesAreDrawnOnTheirTransposedRowAndNamedInTheirToolTip()
    {
        EditedClip c;
        MidiEvent* note = c.addNote(960, 60, 1920);
        c.editor.setViewTranspose(3);
        c.editor.refresh();
        const QImage image = c.editor.noteView()->grab().toImage();
        const QPoint centre = c.editor.noteRect(note).center();
        QCOMPARE(c.editor.displayedNoteAt(centre.y()), 63);
        const QColor drawn = image.pixelColor(centre);
        QVERIFY2(drawn.blue() > drawn.red() + 60, qPrintable(drawn.name()));
        // The untransposed row stays empty.
        const QColor empty = image.pixelColor(centre.x(), c.at(960, 60).y());
        QVERIFY2(empty.blue() < empty.red() + 30, qPrintable(empty.name()));
        QCOMPARE(c.editor.noteAt(centre), note);
        const QString tip = c.editor.noteView()->toolTipFor(note);
        QVERIFY(tip.startsWith(QStringLiteral("Note:\tD#3\nMIDI On:\t63\nVelocity:\t100\n")));
        QVERIFY2(tip.endsWith(QStringLiteral("Time:\t00:00:00.500\nDuration:\t00:00:01.000")),
                 qPrintable(tip));
        // A note far out of range by the transposition is not shown.
        c.editor.setViewTranspose(-61);
        QCOMPARE(c.editor.displayedNote(60), 255);
    }
};

QTEST_MAIN(TestNoteEditor)
#include "tst_note_editor.moc"
