// The piano roll: its tool bar controls, its note previews through the MIDI engine, the grid's
// key lines and the song lanes with their dialogs, driven by simulated clicks.
#include "midi_engine_harness.h"

#include "arrangement.h"
#include "chord_edit_dialog.h"
#include "event_lane.h"
#include "lane_events.h"
#include "midi_clip.h"
#include "midi_monitor.h"
#include "note_keyboard.h"
#include "note_view.h"
#include "one_clip_session.h"
#include "piano_roll.h"
#include "section_edit_dialog.h"
#include "session.h"
#include "song_state.h"
#include "style_loader.h"
#include "track.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <functional>
#include <tuple>

namespace {

constexpr uint32_t kBar = 3840;

struct Melody : OneClipSession
{
    SongState* song = SongState::of(&session);
};

/** A roll on its own tool bar, shown at a fixed size. */
struct Roll
{
    QToolBar bar;
    PianoRoll roll;
    explicit Roll(Session* session, MidiClip* clip = nullptr) : roll(session)
    {
        roll.addToolWidgets(&bar);
        roll.setClip(clip);
        roll.resize(900, 600);
        roll.show();
    }
};

// Runs action on the next modal dialog of type Form once it shows.
template <typename Form> void whenShown(std::function<void(Form*)> action)
{
    QTimer::singleShot(0, [action] {
        auto* form = qobject_cast<Form*>(QApplication::activeModalWidget());
        QVERIFY2(form, "the expected dialog is not showing");
        action(form);
    });
}

void choose(QWidget* form, const char* combo, const QString& text)
{
    auto* box = form->findChild<QComboBox*>(QLatin1String(combo));
    QVERIFY(box);
    const int i = box->findText(text);
    QVERIFY2(i >= 0, qPrintable(text));
    box->setCurrentIndex(i);
}

using EventList = std::vector<std::tuple<uint32_t, int, int>>;

EventList eventsOf(const MidiSequence& sequence, uint32_t from, uint32_t to)
{
    EventList list;
    for (const MidiEvent* e = sequence.first(); e; e = e->next())
        if (e->time >= from && e->time < to)
            list.emplace_back(e->time, e->status, e->data1);
    return list;
}

/** Pixels along the middle of a displayed row that differ from the row just above them. */
int linePixels(const QImage& image, PianoRoll& roll, int row)
{
    const int y = roll.rowTop(row) + roll.rowHeight() / 2;
    int count = 0;
    for (int x = 0; x < image.width(); ++x)
        if (image.pixelColor(x, y) != image.pixelColor(x, y - 2))
            ++count;
    return count;
}

} // namespace

class TestPianoRoll : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void transposeButtonShowsTheKeyAsCMajorOrAMinor_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("transpose");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("shown");
        QTest::newRow("E minor") << "Emin" << 0 << 5 << "Amin";
        QTest::newRow("A major at -3 folds into -6..6") << "Amaj" << -3 << 3 << "Cmaj";
        QTest::newRow("B flat major") << "Bbmaj" << 0 << 2 << "Cmaj";
        QTest::newRow("already C major") << "Cmaj" << 0 << 0 << "Cmaj";
    }
    void transposeButtonShowsTheKeyAsCMajorOrAMinor()
    {
        QFETCH(QString, key);
        QFETCH(int, transpose);
        QFETCH(int, expected);
        QFETCH(QString, shown);
        Melody m;
        m.song->key = key;
        m.song->transpose = transpose;
        Roll r(&m.session, m.clip);
        QCOMPARE(r.roll.transposeSpinBox()->value(), transpose);
        QTest::mouseClick(r.roll.transposeButton(), Qt::LeftButton);
        QCOMPARE(r.roll.transposeSpinBox()->value(), expected);
        QCOMPARE(m.song->transpose, expected);
        QCOMPARE(r.roll.viewTranspose(), expected);
        QCOMPARE(r.roll.keyButton()->text(), shown);
        QCOMPARE(m.song->key, key); // only the view moved
    }

    void toolBarControlsAndTheBoldFixedKey()
    {
        Melody m;
        Roll r(&m.session, m.clip);
        QCOMPARE(r.roll.objectName(), QStringLiteral("PianoRoll"));
        QVERIFY(r.roll.isSoundOn());
        QVERIFY(r.roll.followsPlayPosition());
        QCOMPARE(r.roll.laneEventType(), 255);
        QCOMPARE(r.roll.transposeSpinBox()->minimum(), -6);
        QCOMPARE(r.roll.transposeSpinBox()->maximum(), 6);
        QCOMPARE(r.roll.keyButton()->toolTip(), QStringLiteral("Key Signature"));
        QCOMPARE(r.roll.styleButton()->toolTip(), QStringLiteral("Open arrangement style file"));
        QCOMPARE(r.roll.keyButton()->text(), QStringLiteral("Cmaj"));
        QVERIFY(!r.roll.keyButton()->font().bold());
        m.song->key = QStringLiteral("Gmaj");
        m.song->keyFixed = true;
        emit m.song->keyChanged();
        QCOMPARE(r.roll.keyButton()->text(), QStringLiteral("Gmaj"));
        QVERIFY(r.roll.keyButton()->font().bold());
        QCOMPARE(r.roll.keySignature(), 1);
        // The spin box transposes the view; the notes stay.
        m.seq().insert(MidiEvent::note(0, 60, 100, 960));
        r.roll.transposeSpinBox()->setValue(-2);
        QCOMPARE(r.roll.keyButton()->text(), QStringLiteral("Fmaj"));
        QCOMPARE(int(m.seq().first()->data1), 60);
        r.roll.editModeOn();
        QVERIFY(r.roll.isEditMode());
        r.roll.editModeOn();
        QVERIFY(!r.roll.isEditMode());
    }

    void theMelodyClipEndsWithItsLastNoteAndGrowsForDrawnNotes()
    {
        Melody m;
        m.seq().insert(MidiEvent::note(0, 60, 100, kBar));
        setLaneEvent(m.seq(), 2 * kBar, ChordLane, QStringLiteral("C")); // not a note
        Roll r(&m.session, m.clip);
        r.roll.adjustClipLength();
        QCOMPARE(m.clip->length(), 88200u); // one bar at 120 bpm
        QCOMPARE(m.session.endFrame(), 88200u);
        // A note drawn after the end makes the clip hold it, and the melody is modified.
        r.roll.setEditMode(true);
        QVERIFY(r.roll.drawNote(64, 3 * kBar));
        QCOMPARE(m.clip->length(), m.session.scale().tickToFrame(3 * kBar + r.roll.gridStep()));
        QVERIFY(m.clip->isModified());
        QCOMPARE(r.roll.changeCount(), 1);
    }

    void keyLinesMarkTheDisplayedScale()
    {
        Melody m;
        m.song->key = QStringLiteral("Dmaj");
        Roll r(&m.session, m.clip);
        r.roll.scrollToY(r.roll.rowTop(66) + r.roll.yOffset());
        const QImage image = r.roll.noteView()->grab().toImage();
        // C# is in D major, C is not.
        QVERIFY2(linePixels(image, r.roll, 61) > image.width() / 4,
                 qPrintable(QString::number(linePixels(image, r.roll, 61))));
        QVERIFY2(linePixels(image, r.roll, 60) < image.width() / 8,
                 qPrintable(QString::number(linePixels(image, r.roll, 60))));
        // Transposed down two semitones the view shows C major: now C is marked, C# is not.
        r.roll.transposeSpinBox()->setValue(-2);
        const QImage moved = r.roll.noteView()->grab().toImage();
        QVERIFY(linePixels(moved, r.roll, 60) > image.width() / 4);
        QVERIFY(linePixels(moved, r.roll, 61) < image.width() / 8);
    }

    void keyClicksSoundThroughTheMelodyTrackAndANoteOffLeavesTheMeters()
    {
        MidiEngineHarness h;
        QVERIFY(h.open());
        Track* track = h.addTrack(3);
        MidiClip* clip = h.addClip(track, 0, 44100 * 4);
        auto* monitor = dynamic_cast<MidiMonitor*>(track->monitor());
        QVERIFY(monitor);
        Roll r(h.session.get(), clip);
        r.roll.scrollToY(r.roll.rowTop(70) + r.roll.yOffset());
        h.events.clear();
        const QPoint key(8, r.roll.rowTop(64) + r.roll.rowHeight() / 2);
        QTest::mousePress(r.roll.keyboard(), Qt::LeftButton, {}, key);
        QCOMPARE(h.events.size(), size_t(1));
        QCOMPARE(int(h.events[0].type), int(SequencerEvent::NoteOn));
        QCOMPARE(int(h.events[0].data.note.channel), 3);
        QCOMPARE(int(h.events[0].data.note.key), 64);
        QCOMPARE(int(h.events[0].data.note.velocity), 120);
        QCOMPARE(monitor->peak(), 120);
        QCOMPARE(h.master()->midiOutputMonitor()->peak(), 120);
        h.layer.advanceToFrame(512);
        QTest::mouseRelease(r.roll.keyboard(), Qt::LeftButton, {}, key);
        QCOMPARE(h.events.size(), size_t(2));
        QCOMPARE(int(h.events[1].type), int(SequencerEvent::NoteOff));
        QCOMPARE(int(h.events[1].data.note.key), 64);
        QCOMPARE(monitor->peak(), 120);
        QCOMPARE(h.master()->midiOutputMonitor()->peak(), 120);
        // A negative velocity is a release too.
        r.roll.sendNote(64, -5);
        QCOMPARE(int(h.events.back().type), int(SequencerEvent::NoteOff));
    }

    void aChordClickOpensTheDialogTransposedAndReArrangesThatBarOnly()
    {
        Melody m;
        loadDefaultStyle(m.session);
        int bar = 0;
        for (int key : {60, 65, 67, 60})
            m.seq().insert(MidiEvent::note(uint32_t(bar++) * kBar, uint8_t(key), 100, kBar));
        setLaneEvent(m.seq(), 0, SectionLane, QStringLiteral("Main A"));
        bar = 0;
        for (const char* chord : {"C", "F", "G", "C"})
            setLaneEvent(m.seq(), uint32_t(bar++) * kBar, ChordLane, QLatin1String(chord));
        m.seq().setLength(4 * kBar);
        Arrangement(m.session, m.seq()).arrangeRange(nullptr, 0, 4 * kBar, SectionLane);
        MidiSequence& arranged =
            static_cast<MidiClip*>(m.song->arrangedTracks.at(0)->firstClip())->sequence();
        const EventList before = eventsOf(arranged, 0, kBar);
        const EventList bar1 = eventsOf(arranged, kBar, 2 * kBar);
        const EventList after = eventsOf(arranged, 2 * kBar, 8 * kBar);
        QVERIFY(!bar1.empty());

        m.song->transpose = 2;
        Roll r(&m.session, m.clip);
        QString shown;
        whenShown<ChordEditDialog>([&](ChordEditDialog* form) {
            shown = form->chord();
            choose(form, "rootCombo", QStringLiteral("A"));
            choose(form, "accidentalCombo", QString());
            choose(form, "extensionCombo", QStringLiteral("m"));
            QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("okButton")),
                              Qt::LeftButton);
        });
        // On the chord's name, a little after its bar line.
        QTest::mouseClick(r.roll.eventLane(), Qt::LeftButton, {},
                          QPoint(r.roll.xOfTime(kBar) + 6, 30));
        QCOMPARE(shown, QStringLiteral("G")); // F shown two semitones up
        QCOMPARE(laneText(findLaneEvent(m.seq(), kBar, ChordLane)), QStringLiteral("Gm"));
        QCOMPARE(eventsOf(arranged, 0, kBar), before);
        QCOMPARE(eventsOf(arranged, 2 * kBar, 8 * kBar), after);
        QVERIFY(eventsOf(arranged, kBar, 2 * kBar) != bar1);
        QVERIFY(m.clip->isModified());
        QCOMPARE(r.roll.changeCount(), 1);
    }

    void aSectionClickEditsTheSectionAtTheStartOfTheBar()
    {
        Melody m;
        m.session.scale().setSnapPerBeat(4);
        m.seq().insert(MidiEvent::note(0, 60, 100, 2 * kBar));
        Roll r(&m.session, m.clip);
        r.roll.copySessionScale();
        whenShown<SectionEditDialog>([](SectionEditDialog* form) {
            choose(form, "sectionCombo", QStringLiteral("Main B"));
            QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("okButton")),
                              Qt::LeftButton);
        });
        QTest::mouseClick(r.roll.eventLane(), Qt::LeftButton, {},
                          QPoint(r.roll.xOfTime(kBar + 2000), 10));
        QCOMPARE(laneText(findLaneEvent(m.seq(), kBar, SectionLane)), QStringLiteral("Main B"));
        QVERIFY(m.song->chordsChanged);
        // The suggested chords are display only: a click there opens nothing.
        QTest::mouseClick(r.roll.eventLane(), Qt::LeftButton, {}, QPoint(50, 60));
        QCOMPARE(r.roll.changeCount(), 1);
    }
};

QTEST_MAIN(TestPianoRoll)
#include "tst_piano_roll.moc"
