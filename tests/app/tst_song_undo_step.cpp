// Every song action of the window is one undo step with the action's name; undoing it gives
// the song file that was there before, byte for byte, and redoing it the acted one. Driven
// through the window's actions and dialogs as a person would.
#include "app_test_environment.h"

#include "chord_edit_dialog.h"
#include "file_dialog.h"
#include "lane_editing.h"
#include "lane_events.h"
#include "main_window.h"
#include "message_box.h"
#include "meter_edit_dialog.h"
#include "settings.h"

#include "command_list.h"
#include "midi_clip.h"
#include "midi_event.h"
#include "midi_sequence.h"
#include "session.h"
#include "song_state.h"
#include "time_scale.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString styleFile(const char* name)
{
    return QStringLiteral(CANTOVA_STYLES_DIR "/") + QLatin1String(name);
}

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
    box->setCurrentIndex(box->findText(text));
}

void click(QWidget* form, const char* button)
{
    QTest::mouseClick(form->findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
}

void changeMeterToThreeFour(MainWindow& form)
{
    whenShown<MeterEditDialog>([](MeterEditDialog* dialog) {
        choose(dialog, "beatsCombo", QStringLiteral("3"));
        choose(dialog, "unitCombo", QStringLiteral("4"));
        click(dialog, "okButton");
    });
    ScriptedAnswers answers({QMessageBox::Yes}); // load the default style and refind chords
    QTest::mouseClick(form.findChild<QToolButton*>(QStringLiteral("MeterButton")), Qt::LeftButton);
}

void openStyle(MainWindow& form, const char* name)
{
    ScriptedFiles files({{styleFile(name)}});
    ScriptedAnswers answers;
    act(form, "openStyleAction")->trigger();
}

QLabel* modIndicator(MainWindow& form)
{
    for (QLabel* label : form.findChildren<QLabel*>())
        if (label->toolTip() == QStringLiteral("Song modification state"))
            return label;
    qFatal("no MOD indicator");
}

// Eight bars of a tune from `base` starting at `bar`, its last bar one long note: a phrase.
void addPhrase(MidiSequence& notes, uint32_t bar, int base)
{
    constexpr uint32_t kBar = 3840;
    for (uint32_t b = 0; b < 7; ++b)
        for (uint32_t beat = 0; beat < 4; ++beat)
            notes.insert(MidiEvent::note((bar + b) * kBar + beat * 960,
                                         uint8_t(base + int((b * 3 + beat * 2) % 7)), 90, 480));
    notes.insert(MidiEvent::note((bar + 7) * kBar, uint8_t(base), 90, kBar - 480));
    notes.setLength(std::max(notes.length(), (bar + 8) * kBar));
}

// The main parts and the intro and ending in the song's section lane, fills left out.
QStringList sectionNames(MainWindow& form)
{
    QStringList names;
    for (const MidiEvent* e = melody(form)->sequence().first(); e; e = e->next())
        if (laneKind(e) == SectionLane && !laneText(e).startsWith(QLatin1String("Fill")))
            names << laneText(e);
    return names;
}

using Action = std::function<void(MainWindow&)>;

} // namespace

Q_DECLARE_METATYPE(Action)

class TestSongUndoStep : public QObject
{
    Q_OBJECT

    AppTestEnvironment* m_env = nullptr;
    QTemporaryDir m_files;

    // The file's name goes into the file: every copy has the same one, in a folder of its own.
    QByteArray savedBytes(MainWindow& form, const QString& folder)
    {
        QDir(m_files.path()).mkpath(folder);
        const QString path = m_files.filePath(folder + QStringLiteral("/song.mid"));
        QFile::remove(path);
        if (!form.saveSong(path))
            qFatal("the song was not saved");
        return readFile(path);
    }

    // A saved song whose melody starts in bar 3, opened again: a fresh history.
    void openSongStartingInBarThree(MainWindow& form)
    {
        MidiSequence& notes = melody(form)->sequence();
        static constexpr uint8_t kTune[] = {60, 64, 67, 65, 64, 62, 60, 67, 69, 67, 65, 64};
        for (int i = 0; i < 12; ++i)
            notes.insert(MidiEvent::note(7680 + uint32_t(i) * 960, kTune[i], 100, 900));
        notes.setLength(7680 + 12 * 960);
        melody(form)->setModified(true);
        QDir(m_files.path()).mkpath(QStringLiteral("opened"));
        const QString path = m_files.filePath(QStringLiteral("opened/song.mid"));
        QVERIFY(form.saveSong(path));
        QVERIFY(form.openSong(path));
        QVERIFY(!act(form, "editUndoAction")->isEnabled());
    }

private Q_SLOTS:
    void initTestCase() { m_env = new AppTestEnvironment; }
    void cleanupTestCase() { delete m_env; }
    void init() { m_env->clearSettings(); }

    void eachActionIsOneStepThatRestoresTheFile_data()
    {
        QTest::addColumn<Action>("before"); // what the user did earlier, its own step
        QTest::addColumn<Action>("action");
        QTest::addColumn<QString>("label");
        const Action nothing = [](MainWindow&) {};
        QTest::newRow("open style")
            << nothing << Action([](MainWindow& f) { openStyle(f, "Pop 8 Beat.sty"); })
            << "Open Style";
        QTest::newRow("meter change after a style")
            << Action([](MainWindow& f) { openStyle(f, "Pop 8 Beat.sty"); })
            << Action(changeMeterToThreeFour) << "Meter Change";
        QTest::newRow("a three-four style into four-four") << nothing << Action([](MainWindow& f) {
            ScriptedFiles files(
                {{QStringLiteral(CANTOVA_TEST_DATA "/styles/plain_three_parts.sty")}});
            ScriptedAnswers answers({QMessageBox::Yes});
            act(f, "openStyleAction")->trigger();
        }) << "Open Style";
        QTest::newRow("make chords")
            << nothing << Action([](MainWindow& f) { act(f, "makeChordsAction")->trigger(); })
            << "Make Chords";
        QTest::newRow("make song")
            << Action([](MainWindow& f) { openStyle(f, "Pop 8 Beat.sty"); })
            << Action([](MainWindow& f) { act(f, "makeSongAction")->trigger(); }) << "Make Song";
        QTest::newRow("chord edit") << Action([](MainWindow& f) {
            act(f, "makeChordsAction")->trigger();
        }) << Action([](MainWindow& f) {
            whenShown<ChordEditDialog>([](ChordEditDialog* dialog) {
                choose(dialog, "rootCombo", QStringLiteral("A"));
                choose(dialog, "accidentalCombo", QStringLiteral("b"));
                choose(dialog, "extensionCombo", QStringLiteral("aug"));
                click(dialog, "okButton");
            });
            const LaneEdit edit =
                editChordLane(&f, *SongState::of(f.session()), *melody(f), 3840, 3840 + 960);
            QCOMPARE(edit, LaneEdit::Stored);
        }) << "Chord Edit";
        QTest::newRow("tempo") << nothing << Action([](MainWindow& f) {
            f.findChild<QDoubleSpinBox*>(QStringLiteral("TempoSpinBox"))->setValue(96.0);
        }) << "session tempo";
        QTest::newRow("simple sections") << Action([](MainWindow& f) {
            openStyle(f, "Pop 8 Beat.sty");
            act(f, "makeSongAction")->trigger();
        }) << Action([](MainWindow& f) { act(f, "simpleSectionsAction")->trigger(); })
                                         << "Simple Sections";
    }

    void eachActionIsOneStepThatRestoresTheFile()
    {
        QFETCH(Action, before);
        QFETCH(Action, action);
        QFETCH(QString, label);
        Settings settings;
        MainWindow form(&settings);
        openSongStartingInBarThree(form);
        before(form);
        const int steps = form.session()->commands().currentIndex();
        const QByteArray original = savedBytes(form, QStringLiteral("before"));

        action(form);
        QCOMPARE(form.session()->commands().currentIndex(), steps + 1);
        QCOMPARE(act(form, "editUndoAction")->text(), QStringLiteral("&Undo (%1)").arg(label));
        const QByteArray acted = savedBytes(form, QStringLiteral("acted"));
        QVERIFY(acted != original);

        act(form, "editUndoAction")->trigger();
        QCOMPARE(form.session()->commands().currentIndex(), steps);
        QCOMPARE(savedBytes(form, QStringLiteral("undone")), original);
        act(form, "editRedoAction")->trigger();
        QCOMPARE(savedBytes(form, QStringLiteral("redone")), acted);
        // And back once more: the step can be undone and redone any number of times.
        act(form, "editUndoAction")->trigger();
        QCOMPARE(savedBytes(form, QStringLiteral("undone2")), original);
    }

    void changesTheFileCarriesMarkTheSongModified_data()
    {
        QTest::addColumn<Action>("action");
        QTest::newRow("tempo") << Action([](MainWindow& f) {
            f.findChild<QDoubleSpinBox*>(QStringLiteral("TempoSpinBox"))->setValue(132.0);
        });
        QTest::newRow("style") << Action([](MainWindow& f) { openStyle(f, "Pop 8 Beat.sty"); });
        QTest::newRow("meter") << Action(changeMeterToThreeFour);
        QTest::newRow("simple sections")
            << Action([](MainWindow& f) { act(f, "simpleSectionsAction")->trigger(); });
    }

    void changesTheFileCarriesMarkTheSongModified()
    {
        QFETCH(Action, action);
        Settings settings;
        MainWindow form(&settings);
        openSongStartingInBarThree(form);
        QVERIFY(!form.isSongModified());
        QVERIFY(!form.windowTitle().contains(QLatin1Char('*')));

        action(form);
        QVERIFY(form.isSongModified());
        QVERIFY(form.windowTitle().startsWith(QStringLiteral("Midi: *\"song.mid\"")));
        QCOMPARE(modIndicator(form)->text(), QStringLiteral("MOD"));
        {
            // Closing asks before the change is lost; Cancel keeps the window open.
            ScriptedAnswers answers({QMessageBox::Cancel});
            QVERIFY(!form.close());
            QCOMPARE(answers.asked().size(), 1);
            QVERIFY(answers.asked().first().text.startsWith(
                QStringLiteral("The current Midi file has been changed")));
        }
        // Undoing back to the opened song leaves nothing to save.
        act(form, "editUndoAction")->trigger();
        QVERIFY(!form.isSongModified());
        // Save writes to the song's own file without a dialog and clears the mark.
        act(form, "editRedoAction")->trigger();
        ScriptedFiles files;
        act(form, "fileSaveAction")->trigger();
        QVERIFY(files.asked().isEmpty());
        QVERIFY(!form.isSongModified());
        QVERIFY(form.close());
    }

    // A verse and a chorus, made into a song: Simple Sections places the made song's sections
    // again at once, and the menu follows undo, redo and the songs opened.
    void simpleSectionsPlaceTheMadeSongAgain()
    {
        Settings settings;
        MainWindow form(&settings);
        MidiSequence& notes = melody(form)->sequence();
        for (const auto& [bar, base] : {std::pair{0u, 60}, {8u, 60}, {16u, 67}, {24u, 67}})
            addPhrase(notes, bar, base);
        melody(form)->setModified(true);
        openStyle(form, "Pop 8 Beat.sty");
        act(form, "makeSongAction")->trigger();
        QAction* simple = act(form, "simpleSectionsAction");
        QVERIFY(!simple->isChecked());
        const QStringList phrased = sectionNames(form);
        QVERIFY2(phrased.contains(QStringLiteral("Main B")), qPrintable(phrased.join(", ")));

        simple->trigger();
        QVERIFY(simple->isChecked());
        const QStringList plain{QStringLiteral("Intro A"), QStringLiteral("Main A"),
                                QStringLiteral("Ending A")};
        QCOMPARE(sectionNames(form), plain);
        act(form, "editUndoAction")->trigger();
        QVERIFY(!simple->isChecked());
        QCOMPARE(sectionNames(form), phrased);
        act(form, "editRedoAction")->trigger();
        QVERIFY(simple->isChecked());
        QCOMPARE(sectionNames(form), plain);

        // The choice is the song's: saved with it, gone for a new song, back with the file.
        const QString path = m_files.filePath(QStringLiteral("simple.mid"));
        QVERIFY(form.saveSong(path));
        act(form, "fileNewAction")->trigger();
        QVERIFY(!simple->isChecked());
        QVERIFY(form.openSong(path));
        QVERIFY(simple->isChecked());
        QCOMPARE(sectionNames(form), plain);
    }

    void undoingEveryStepGivesTheOpenedSong()
    {
        Settings settings;
        MainWindow form(&settings);
        openSongStartingInBarThree(form);
        const QByteArray opened = savedBytes(form, QStringLiteral("opened"));
        act(form, "makeChordsAction")->trigger();
        openStyle(form, "Pop 8 Beat.sty");
        changeMeterToThreeFour(form);
        QCOMPARE(form.session()->scale().firstNode()->beatsPerBar, uint16_t(3));
        int undos = 0;
        while (act(form, "editUndoAction")->isEnabled() && undos < 10) {
            act(form, "editUndoAction")->trigger();
            ++undos;
        }
        QCOMPARE(undos, 3);
        QCOMPARE(savedBytes(form, QStringLiteral("all-undone")), opened);
        QCOMPARE(form.session()->scale().firstNode()->beatsPerBar, uint16_t(4));
    }
};

QTEST_MAIN(TestSongUndoStep)
#include "tst_song_undo_step.moc"
