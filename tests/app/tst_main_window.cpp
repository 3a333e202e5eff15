// The main window driven headless: start-up and settings, the action table, new songs, the save
// questions, files, undo and redo.
#include "app_test_environment.h"

#include "file_dialog.h"
#include "lane_events.h"
#include "main_window.h"
#include "message_box.h"
#include "settings.h"

#include "clip.h"
#include "clip_command.h"
#include "command_list.h"
#include "midi_clip.h"
#include "midi_event.h"
#include "midi_sequence.h"
#include "piano_roll.h"
#include "session.h"
#include "song_state.h"
#include "time_scale.h"
#include "track.h"
#include "tracks_view.h"

#include <QAction>
#include <QComboBox>
#include <QDesktopServices>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

namespace {

/** A note put into the melody without telling the window (no refresh). */
void giveMelodyANoteUnannounced(MainWindow& form)
{
    melody(form)->sequence().insert(MidiEvent::note(0, 60, 100, 960));
    melody(form)->setModified(true);
}

QString midiQuestionText(const QString& name)
{
    return QStringLiteral("The current Midi file has been changed:\n\n\"%1\"\n\nDo you want to "
                          "save the changes?")
        .arg(name);
}

/** Object names of a menu's or toolbar's entries, "-" for a separator. */
QStringList entries(const QList<QAction*>& actions)
{
    QStringList names;
    for (QAction* action : actions)
        if (action->isSeparator())
            names << QStringLiteral("-");
        else if (!action->objectName().isEmpty())
            names << action->objectName();
    return names;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

/** Records the URLs the desktop is asked to open. */
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public Q_SLOTS:
    void openUrl(const QUrl& url) { urls.append(url); }
};

class TestMainForm : public QObject
{
    Q_OBJECT

    AppTestEnvironment* m_env = nullptr;
    QTemporaryDir m_files;

    /** A modified recording on the audio track, as recording leaves it, backed by a file. */
    Clip* addRecording(MainWindow& form, const QString& fileName)
    {
        const QString path = m_files.filePath(fileName);
        writeFile(path, "recorded");
        auto* clip = new Clip();
        clip->setFilePath(path);
        clip->setLength(44100);
        clip->setModified(true);
        auto command = std::make_unique<ClipCommand>(form.session(), QStringLiteral("record clip"));
        command->addClip(std::unique_ptr<Clip>(clip), form.audioTrack());
        ClipCommand::push(form.session(), std::move(command));
        form.stabilizeForm();
        return clip;
    }

private Q_SLOTS:
    void initTestCase() { m_env = new AppTestEnvironment; }
    void cleanupTestCase() { delete m_env; }
    void init() { m_env->clearSettings(); }

    void firstStartWithoutSettingsUsesDefaults()
    {
        Settings settings;
        QCOMPARE(settings.metronome, true);
        QCOMPARE(settings.tempo, 120.0);
        QCOMPARE(settings.beatsPerBar, 4);
        QCOMPARE(settings.beatDivisor, 2);
        QCOMPARE(settings.timeZoom, 100);
        QCOMPARE(settings.noteZoom, 130);
        QCOMPARE(settings.styleDir, m_env->programDir() + QStringLiteral("/Styles"));
        QCOMPARE(settings.audioLatency, -1.0);
        QCOMPARE(settings.mainWinX, Settings::kUnsetPosition);

        MainWindow form(&settings);
        QCOMPARE(form.size(), QSize(1024, 680));
        QVERIFY(act(form, "transportMetroAction")->isChecked());
        for (const char* name : {"audioOnOffAction", "midiOnOffAction", "chordsOnOffAction"})
            QVERIFY(act(form, name)->isChecked());
        // Negative latencies mean the default devices' values.
        QCOMPARE(settings.audioLatency, AppTestEnvironment::kPlaybackLatency);
        QCOMPARE(settings.audioRecordLatency, AppTestEnvironment::kRecordingLatency);
        TimeScale& scale = form.session()->scale();
        QCOMPARE(scale.timeZoom(), uint16_t(100));
        QCOMPARE(form.session()->tempo(), 120.0f);
        QCOMPARE(scale.firstNode()->beatsPerBar, uint16_t(4));
        // The timer shows the tempo node at the play position.
        auto* meter = form.findChild<QToolButton*>(QStringLiteral("MeterButton"));
        QTRY_COMPARE(meter->text(), QStringLiteral("4/4"));
        QCOMPARE(form.findChild<QDoubleSpinBox*>(QStringLiteral("TempoSpinBox"))->value(), 120.0);
        QCOMPARE(form.statusBar()->currentMessage(), QStringLiteral("Ready"));
    }

    void settingsAreWrittenOnCloseAndRestoredOnTheNextStart()
    {
        {
            Settings settings;
            MainWindow form(&settings);
            form.resize(800, 520);
            act(form, "transportMetroAction")->trigger(); // off
            form.tracksView()->zoomIn();
            QVERIFY(form.close());
        }
        {
            QSettings store(QStringLiteral("Orvane"), QStringLiteral("Cantova"));
            QCOMPARE(store.value(QStringLiteral("/Version")).toString(), QStringLiteral("3.0"));
            QCOMPARE(store.value(QStringLiteral("/Metronome")).toBool(), false);
            QCOMPARE(store.value(QStringLiteral("/MainWinWidth")).toInt(), 800);
            QCOMPARE(store.value(QStringLiteral("/TimeZoom")).toInt(), 125);
            QCOMPARE(store.value(QStringLiteral("/MainWinVisible")).toBool(), true);
        }
        Settings settings;
        MainWindow form(&settings);
        QCOMPARE(form.size(), QSize(800, 520));
        QVERIFY(!act(form, "transportMetroAction")->isChecked());
        QCOMPARE(form.session()->scale().timeZoom(), uint16_t(125));
    }

    void actionTable_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("iconText");
        QTest::addColumn<QString>("toolTip");
        QTest::addColumn<QString>("statusTip");
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<bool>("hasIcon");
        QTest::addColumn<bool>("checkable");
        QTest::addColumn<QString>("slot");
        auto row = [](const char* name, const char* text, const char* iconText, const char* toolTip,
                      const char* statusTip, const char* shortcut, bool hasIcon, bool checkable,
                      const char* slot) {
            QTest::newRow(name) << QString::fromUtf8(text) << QString::fromUtf8(iconText)
                                << QString::fromUtf8(toolTip) << QString::fromUtf8(statusTip)
                                << QString::fromUtf8(shortcut) << hasIcon << checkable
                                << QString::fromUtf8(slot);
        };
        row("fileExitAction", "E&xit", "Exit", "Exit", "Exit this program", "", false, false,
            "fileExit()");
        row("viewOptionsAction", "Audio Latency Options...", "Options", "Options",
            "Change general program options", "F12", false, false, "viewOptions()");
        row("editDeleteAction", "&Delete selected notes", "Delete", "Delete [Del]",
            "Delete selected notes", "Del", true, false, "editDelete()");
        row("transportPlayAction", "&Play/Pause", "Play/Pause", "Play/Pause [space]",
            "Transport play/pause", "Space", true, true, "transportPlay()");
        row("transportRecordAction", "&Record", "Record", "Record audio input [Ctrl+R]",
            "Transport record", "Ctrl+R", true, true, "transportRecord()");
        row("transportMetroAction", "&Metronome On/Off", "Metronome On/Off", "Metronome On/Off",
            "Metronome On/Off", "", true, true, "transportMetro()");
        row("helpAboutAction", "&About...", "About", "Show information about this program",
            "Show information about this program", "", false, false, "helpAbout()");
        row("helpAboutQtAction", "About &Qt...", "About Qt", "About Qt",
            "Show information about the Qt toolkit", "", false, false, "helpAboutQt()");
        row("newAudioAction", "Create a new audio file", "Create a new audio file",
            "Create a new audio file", "Create a new audio file", "", true, false,
            "fileNewAudio()");
        row("newMidiAction", "Create a new MIDI file", "Create a new MIDI file",
            "Create a new MIDI file", "Create a new MIDI file", "", true, false, "fileNewMidi()");
        row("openAudioAction", "&Open an audio file...", "Open an audio file...",
            "Open an audio file...", "Open an audio file...", "", true, false, "fileOpenAudio()");
        row("openMidiAction", "Open a MIDI file...", "Open a MIDI file...", "Open a MIDI file...",
            "Open a MIDI file...", "", true, false, "fileOpenMidi()");
        row("openStyleAction", "Open a style file...", "Open a style file...",
            "Open a style file...", "Open a style file...", "", true, false, "fileOpenStyle()");
        row("saveAudioAction", "Save an audio file as...", "Save an audio file as...",
            "Save an audio file as...", "Save an audio file as...", "", true, false,
            "fileSaveAudio()");
        row("saveMidiAction", "&Save a MIDI file as...", "Save a MIDI file as...",
            "Save a MIDI file as...", "Save a MIDI file as...", "Ctrl+Shift+S", true, false,
            "fileSaveMidi()");
        row("audioToMidiAction", "Transcribe audio recording to MIDI melody", "Audio to MIDI",
            "Transcribe audio recording to MIDI melody",
            "Transcribe audio recording to MIDI melody", "", true, false, "makeMelodyFromAudio()");
        row("makeChordsAction", "Make chords from MIDI melody", "Make Chords",
            "Make chords from MIDI melody", "Make chords from MIDI melody", "", true, false,
            "makeChordsFromMelody()");
        row("makeSongAction", "Make Song", "Make Song", "Make Song", "Make Song", "", true, false,
            "makeSongFromMelody()");
        row("transportStopAction", "&Stop/Backward", "Stop/Backward", "Stop/Backward",
            "Stop/Backward", "", true, false, "transportStop()");
        row("audioOnOffAction", "Audio On/Off", "Audio On/Off", "Audio On/Off", "Audio On/Off", "",
            true, true, "toggleAudio()");
        row("midiOnOffAction", "MIDI melody (notes) On/Off", "MIDI melody (notes) On/Off",
            "MIDI melody (notes) On/Off", "MIDI melody (notes) On/Off", "", true, true,
            "toggleMelody()");
        row("chordsOnOffAction", "Arrangement (chords) On/Off", "Arrangement (chords) On/Off",
            "Arrangement (chords) On/Off", "Arrangement (chords) On/Off", "", true, true,
            "toggleArrangement()");
        row("editMidiModeAction", "Note editing On/Off", "Note editing On/Off",
            "Note editing On/Off", "Note editing On/Off", "", true, true, "");
        row("quickHelpAction", "\"How to\" Guides...", "\"How to\" Guides...",
            "\"How to\" Guides...", "\"How to\" Guides...", "", false, false, "quickHelp()");
        row("helpContentsAction", "Help Contents...", "Help Contents...", "Help Contents...",
            "Help Contents...", "F1", false, false, "helpContents()");
        row("editUndoAction", "&Undo", "Undo", "Undo the last change", "Undo the last change",
            "Ctrl+Z", false, false, "editUndo()");
        row("editRedoAction", "&Redo", "Redo", "Redo the last undone change",
            "Redo the last undone change", "Ctrl+Shift+Z", false, false, "editRedo()");
        row("fileOpenAction", "&Open...", "Open", "Open a song, a recording or a style [Ctrl+O]",
            "Open a MIDI song, an audio recording or a style file", "Ctrl+O", false, false,
            "fileOpen()");
        row("fileSaveAction", "&Save", "Save", "Save the song [Ctrl+S]",
            "Save the song to its own file", "Ctrl+S", false, false, "fileSave()");
        row("findTempoAndBarsAction", "Find Tempo and Bars", "Find Tempo and Bars",
            "Find the tempo, meter and first bar of a melody sung without the metronome",
            "Find the tempo, meter and first bar of a melody sung without the metronome", "", false,
            false, "findTempoAndBars()");
    }

    void actionTable()
    {
        QFETCH(QString, text);
        QFETCH(QString, iconText);
        QFETCH(QString, toolTip);
        QFETCH(QString, statusTip);
        QFETCH(QString, shortcut);
        QFETCH(bool, hasIcon);
        QFETCH(bool, checkable);
        QFETCH(QString, slot);
        Settings settings;
        MainWindow form(&settings);
        QAction* action = act(form, QTest::currentDataTag());
        // Undo and redo carry the name of the command they would undo; none after a new song.
        QCOMPARE(action->text(), text);
        QCOMPARE(action->iconText(), iconText);
        QCOMPARE(action->toolTip(), toolTip);
        QCOMPARE(action->statusTip(), statusTip);
        QCOMPARE(action->shortcut(), QKeySequence(shortcut));
        QCOMPARE(!action->icon().isNull(), hasIcon);
        if (hasIcon)
            QVERIFY(!action->icon().pixmap(16, 16).isNull()); // the resource exists
        QCOMPARE(action->isCheckable(), checkable);
        if (!slot.isEmpty()) {
            // A connection by this very signature exists exactly when disconnecting it works.
            const QByteArray signature = "1" + slot.toLatin1();
            QVERIFY(
                QObject::disconnect(action, SIGNAL(triggered(bool)), &form, signature.constData()));
        }
    }

    void slotsKeepTheirOrder()
    {
        const char* const order[] = {"fileOpenAudio()",
                                     "fileOpenMidi()",
                                     "fileOpenStyle()",
                                     "fileSaveAudio()",
                                     "fileSaveMidi()",
                                     "makeMelodyFromAudio()",
                                     "makeChordsFromMelody()",
                                     "makeSongFromMelody()",
                                     "toggleAudio()",
                                     "toggleMelody()",
                                     "toggleArrangement()",
                                     "fileNewAll()",
                                     "fileNewAudio()",
                                     "fileNewMidi()",
                                     "fileNewChords()",
                                     "transportPlay()",
                                     "transportStop()",
                                     "transportRecord()",
                                     "transportMetro()",
                                     "viewRefresh()",
                                     "viewOptions()",
                                     "editDelete()",
                                     "tempoChanged(double)",
                                     "meterButtonClicked()",
                                     "fileExit()",
                                     "quickHelp()",
                                     "helpContents()",
                                     "helpAbout(QString)",
                                     "helpAbout()",
                                     "helpAboutQt()",
                                     "stabilizeForm()",
                                     "timerSlot()",
                                     "alsaNotify()",
                                     "tracksClosed()",
                                     "addAudioFile(QString)",
                                     "activateAudioFile(QString)",
                                     "addMidiFile(QString)",
                                     "activateMidiFile(QString)",
                                     "trackSelectionChanged()",
                                     "mixerSelectionChanged()",
                                     "selectionNotifySlot(NoteEditor*)",
                                     "changeNotifySlot(NoteEditor*)",
                                     "updateNotifySlot(bool)",
                                     "transportTimeChanged(ulong)",
                                     "transportTimeFinished()",
                                     "transportTempoChanged(float,ushort,ushort)",
                                     "transportTempoFinished()",
                                     "snapPerBeatChanged(int)",
                                     "contentsChanged()"};
        const QMetaObject& meta = MainWindow::staticMetaObject;
        const int first = meta.indexOfSlot(order[0]);
        QVERIFY(first >= 0);
        for (int i = 0; i < int(std::size(order)); ++i)
            QCOMPARE(meta.indexOfSlot(order[i]), first + i);
    }

    void menusAndToolbars()
    {
        Settings settings;
        MainWindow form(&settings);
        auto menu = [&](const char* name) {
            return entries(form.findChild<QMenu*>(QLatin1String(name))->actions());
        };
        QCOMPARE(menu("fileMenu"),
                 QStringList({"fileNewAction", "-", "newAudioAction", "newMidiAction", "-",
                              "fileOpenAction", "openAudioAction", "openMidiAction",
                              "openStyleAction", "-", "fileSaveAction", "saveAudioAction",
                              "saveMidiAction", "exportLeadSheetAction", "-",
                              "fileExitAction"}));
        QCOMPARE(menu("editMenu"), QStringList({"editUndoAction", "editRedoAction"}));
        QCOMPARE(menu("playMenu"),
                 QStringList({"transportRecordAction", "transportStopAction", "transportPlayAction",
                              "-", "transportMetroAction", "-", "audioOnOffAction",
                              "midiOnOffAction", "chordsOnOffAction", "-", "viewOptionsAction"}));
        QCOMPARE(menu("helpMenu"), QStringList({"quickHelpAction", "helpContentsAction", "-",
                                                "helpAboutAction", "helpAboutQtAction"}));
        auto* file = form.findChild<QToolBar*>(QStringLiteral("fileToolbar"));
        QCOMPARE(entries(file->actions()),
                 QStringList({"newAudioAction", "openAudioAction", "saveAudioAction", "-",
                              "audioToMidiAction", "-", "transportRecordAction",
                              "transportStopAction", "transportPlayAction", "audioOnOffAction",
                              "midiOnOffAction", "chordsOnOffAction"}));
        QVERIFY(!file->isMovable());
        auto* snap = form.findChild<QComboBox*>(QStringLiteral("SnapPerBeatComboBox"));
        QCOMPARE(snap->count(), 14);
        QCOMPARE(snap->itemText(0), QStringLiteral("None"));
        QCOMPARE(snap->toolTip(), QStringLiteral("Snap/beat"));
        auto* tempo = form.findChild<QDoubleSpinBox*>(QStringLiteral("TempoSpinBox"));
        QCOMPARE(tempo->minimum(), 10.0);
        QCOMPARE(tempo->maximum(), 1000.0);
    }

    void newSongMakesTheAudioTrackTheMelodyTrackAndTheMelodyClip()
    {
        Settings settings;
        settings.tempo = 90.0;
        settings.beatsPerBar = 3;
        MainWindow form(&settings);
        Session* session = form.session();
        QVERIFY(session->trackCount() >= 2); // and the default style's tracks
        Track* audio = form.audioTrack();
        Track* midi = form.melodyTrack();
        QCOMPARE(audio->kind(), int(Track::AudioTrack));
        QCOMPARE(audio->name(), QStringLiteral("Untitled.wav"));
        QVERIFY(audio->isRecordArmed());
        QCOMPARE(audio->properties().foreground, QColor(32, 168, 0));
        QCOMPARE(midi->kind(), int(Track::MidiTrack));
        QCOMPARE(midi->name(), QStringLiteral("Untitled.mid"));
        QCOMPARE(midi->properties().bank, 0);
        QCOMPARE(midi->properties().program, 0);
        QVERIFY(!form.audioClip());
        MidiClip* clip = melody(form);
        QVERIFY(clip);
        QCOMPARE(clip->start(), 0u);
        QCOMPARE(clip->format(), 1);
        QCOMPARE(clip->trackNumber(), uint16_t(1));
        QCOMPARE(clip->sequence().resolution(), session->scale().ticksPerBeat());
        QCOMPARE(session->songName(), QStringLiteral("ortmp"));
        QCOMPARE(session->tempo(), 90.0f);
        QCOMPARE(session->scale().firstNode()->beatsPerBar, uint16_t(3));
        // Starting a song cannot be undone.
        QCOMPARE(session->commands().current(), nullptr);
        QVERIFY(!act(form, "editUndoAction")->isEnabled());
        QCOMPARE(form.windowTitle(),
                 QStringLiteral("Midi: \"Untitled.mid\"  Audio: \"Untitled.wav\" - Cantova"));
        QVERIFY(!act(form, "saveMidiAction")->isEnabled());
        QVERIFY(!act(form, "saveAudioAction")->isEnabled());
    }

    void midiQuestion_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("dialogChoosesFile");
        QTest::addColumn<bool>("proceeds");
        QTest::newRow("cancel") << int(QMessageBox::Cancel) << false << false;
        QTest::newRow("discard") << int(QMessageBox::Discard) << false << true;
        QTest::newRow("save") << int(QMessageBox::Save) << true << true;
        QTest::newRow("save, dialog cancelled") << int(QMessageBox::Save) << false << false;
    }

    void midiQuestion()
    {
        QFETCH(int, answer);
        QFETCH(bool, dialogChoosesFile);
        QFETCH(bool, proceeds);
        Settings settings;
        MainWindow form(&settings);
        giveMelodyANoteUnannounced(form);
        form.stabilizeForm();
        QVERIFY(form.windowTitle().startsWith(QStringLiteral("Midi: *\"Untitled.mid\"")));
        const QString target = m_files.filePath(QStringLiteral("question.mid"));
        QFile::remove(target);
        ScriptedFiles files;
        if (dialogChoosesFile)
            files.push({target});
        ScriptedAnswers answers({QMessageBox::StandardButton(answer)});

        act(form, "newMidiAction")->trigger();

        QCOMPARE(answers.asked().size(), 1);
        QCOMPARE(answers.asked().first().text, midiQuestionText(QStringLiteral("Untitled.mid")));
        QCOMPARE(answers.asked().first().buttons,
                 QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
        QCOMPARE(melody(form)->sequence().count(), proceeds ? 0 : 1);
        QCOMPARE(melody(form)->isModified(), !proceeds);
        QCOMPARE(QFile::exists(target), dialogChoosesFile);
        if (dialogChoosesFile)
            QCOMPARE(settings.midiDir, m_files.path());
        QCOMPARE(form.melodyTrack()->name(), QStringLiteral("Untitled.mid"));
    }

    void cancelledQuestionKeepsTheWindowOpen()
    {
        Settings settings;
        MainWindow form(&settings);
        giveMelodyANoteUnannounced(form);
        {
            ScriptedAnswers answers({QMessageBox::Cancel});
            QVERIFY(!form.close());
            QCOMPARE(answers.asked().size(), 1);
        }
        QVERIFY(form.isVisible());
        QCOMPARE(melody(form)->sequence().count(), 1);
        ScriptedAnswers answers({QMessageBox::Discard});
        QVERIFY(form.close());
    }

    void savedSongOpensAgainByDropAfterTheQuestion()
    {
        Settings settings;
        MainWindow form(&settings);
        giveMelodyANoteUnannounced(form);
        const QString path = m_files.filePath(QStringLiteral("dropped.mid"));
        QVERIFY(form.saveSong(path));
        QVERIFY(!melody(form)->isModified());
        QCOMPARE(form.melodyTrack()->name(), QStringLiteral("dropped.mid"));
        act(form, "newMidiAction")->trigger(); // saved: no question
        QCOMPARE(melody(form)->sequence().count(), 0);
        giveMelodyANoteUnannounced(form);
        melody(form)->sequence().insert(MidiEvent::note(960, 64, 100, 960));

        ScriptedAnswers answers({QMessageBox::Discard, QMessageBox::Ok});
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&form, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&form, &drop);

        // New MIDI named the melody "Untitled.mid" again after the save.
        QCOMPARE(answers.asked().first().text, midiQuestionText(QStringLiteral("Untitled.mid")));
        // The saved melody, not the edited one, with the sections placed around it.
        std::vector<int> keys;
        for (const MidiEvent* e = melody(form)->sequence().first(); e; e = e->next())
            if (e->isNote())
                keys.push_back(e->data1);
        QCOMPARE(keys, std::vector<int>{60});
        QVERIFY(!melody(form)->isModified());
        QCOMPARE(form.melodyTrack()->name(), QStringLiteral("dropped.mid"));
    }

    void openingAFileThatIsNotASongShowsTheErrorBox()
    {
        Settings settings;
        MainWindow form(&settings);
        const QString path = m_files.filePath(QStringLiteral("broken.mid"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a MIDI file");
        file.close();
        ScriptedFiles files({{path}});
        ScriptedAnswers answers({QMessageBox::No});
        act(form, "openMidiAction")->trigger();
        QCOMPARE(files.asked().first().title, QStringLiteral("Open Midi File - Cantova"));
        QCOMPARE(files.asked().first().filter, QStringLiteral("Midi files (*.mid)"));
        QCOMPARE(answers.asked().size(), 1);
        QVERIFY(answers.asked().first().text.startsWith(
            QStringLiteral("The file was not loaded:\n\n\"%1\"").arg(path)));
        QCOMPARE(form.session()->tracks().at(1), form.melodyTrack());
    }

    void undoAndRedoThroughTheEditMenu()
    {
        Settings settings;
        MainWindow form(&settings);
        Session* session = form.session();
        Clip* clip = form.melodyClip();
        auto command = std::make_unique<ClipCommand>(session, QStringLiteral("move clip"));
        command->move(clip, form.melodyTrack(), 44100, 0, 88200);
        QVERIFY(ClipCommand::push(session, std::move(command)));
        QCOMPARE(clip->start(), 44100u);

        QMenu* edit = form.findChild<QMenu*>(QStringLiteral("editMenu"));
        QAction* undo = edit->actions().at(0);
        QAction* redo = edit->actions().at(1);
        QCOMPARE(undo->text(), QStringLiteral("&Undo (move clip)"));
        QVERIFY(undo->isEnabled());
        QVERIFY(!redo->isEnabled());

        undo->trigger();
        QCOMPARE(clip->start(), 0u);
        QCOMPARE(undo->text(), QStringLiteral("&Undo"));
        QVERIFY(!undo->isEnabled());
        QCOMPARE(redo->text(), QStringLiteral("&Redo (move clip)"));
        QVERIFY(redo->isEnabled());

        redo->trigger();
        QCOMPARE(clip->start(), 44100u);
        QVERIFY(undo->isEnabled());
        QVERIFY(!redo->isEnabled());
    }

    void muteButtonLightsTheIndicator()
    {
        Settings settings;
        MainWindow form(&settings);
        auto* mute =
            form.tracksView()->findChildren<QToolButton*>(QStringLiteral("TrackMute")).at(1);
        QTest::mouseClick(mute, Qt::LeftButton);
        QVERIFY(form.melodyTrack()->isMuted());
        const auto labels = form.statusBar()->findChildren<QLabel*>();
        auto lit = [&](const QString& tip) {
            for (QLabel* label : labels)
                if (label->toolTip() == tip)
                    return label->text();
            return QStringLiteral("?");
        };
        QCOMPARE(lit(QStringLiteral("Song muting state")), QStringLiteral("MUTE"));
        QCOMPARE(lit(QStringLiteral("Song soloing state")), QString());
        // The button is an edit like any other: it can be undone.
        QAction* undo = act(form, "editUndoAction");
        QCOMPARE(undo->text(), QStringLiteral("&Undo (track mute)"));
        undo->trigger();
        QVERIFY(!form.melodyTrack()->isMuted());
        QVERIFY(!mute->isChecked());
        QCOMPARE(lit(QStringLiteral("Song muting state")), QString());
    }

    void tempoChangeAfterASecondNodeEditsThatNode()
    {
        Settings settings;
        MainWindow form(&settings);
        Session* session = form.session();
        TimeScale& scale = session->scale();
        // A 3/4 section at 100 bpm from bar 3 (frame 176400 at 120 bpm in 4/4).
        scale.setNode(176400, 100.0f, 2, 3, 2);
        session->afterTempoChange();
        QCOMPARE(scale.nodeCount(), 2);
        auto* tempo = form.findChild<QDoubleSpinBox*>(QStringLiteral("TempoSpinBox"));
        auto* meter = form.findChild<QToolButton*>(QStringLiteral("MeterButton"));

        session->locate(176400 + 44100);
        QTRY_COMPARE(meter->text(), QStringLiteral("3/4"));
        QCOMPARE(tempo->value(), 100.0);
        tempo->setValue(90.0);
        QCOMPARE(scale.firstNode()->tempo, 120.0f);
        QCOMPARE(scale.lastNode()->tempo, 90.0f);
        QCOMPARE(scale.lastNode()->beatsPerBar, uint16_t(3));
        QCOMPARE(act(form, "editUndoAction")->text(), QStringLiteral("&Undo (update tempo node)"));
        act(form, "editUndoAction")->trigger();
        QCOMPARE(scale.lastNode()->tempo, 100.0f);

        // In the first section the song's own tempo changes.
        session->locate(0);
        QTRY_COMPARE(meter->text(), QStringLiteral("4/4"));
        QTRY_COMPARE(tempo->value(), 120.0);
        tempo->setValue(130.0);
        QCOMPARE(session->tempo(), 130.0f);
        QCOMPARE(scale.lastNode()->tempo, 100.0f);
        QCOMPARE(act(form, "editUndoAction")->text(), QStringLiteral("&Undo (session tempo)"));
    }

    void midiOnOffMutesTheMelodyWithoutAnUndoStep()
    {
        Settings settings;
        MainWindow form(&settings);
        act(form, "midiOnOffAction")->trigger(); // off
        QVERIFY(form.melodyTrack()->isMuted());
        QCOMPARE(form.session()->commands().current(), nullptr);
        act(form, "midiOnOffAction")->trigger(); // on
        QVERIFY(!form.melodyTrack()->isMuted());
    }

    void helpPagesOpenBesideTheProgram()
    {
        Settings settings;
        MainWindow form(&settings);
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "openUrl");
        for (const char* name : {"index.html", "help.html"}) {
            QFile page(m_env->programDir() + QLatin1Char('/') + QLatin1String(name));
            QVERIFY(page.open(QIODevice::WriteOnly));
        }
        act(form, "quickHelpAction")->trigger();
        act(form, "helpContentsAction")->trigger();
        QFile::remove(m_env->programDir() + QStringLiteral("/help.html"));
        ScriptedAnswers answers;
        act(form, "helpContentsAction")->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

        QCOMPARE(catcher.urls.size(), 2);
        QCOMPARE(catcher.urls.at(0).toLocalFile(), m_env->programDir() + "/index.html");
        QCOMPARE(catcher.urls.at(1).toLocalFile(), m_env->programDir() + "/help.html");
        QCOMPARE(answers.asked().size(), 1);
        QVERIFY(answers.asked().first().text.contains(QStringLiteral("help.html")));
    }

    void aboutBoxShowsTheExtraMessageFirst()
    {
        Settings settings;
        MainWindow form(&settings);
        ScriptedAnswers answers;
        form.helpAbout(QStringLiteral("findChord: null chord"));
        QCOMPARE(answers.asked().size(), 1);
        QCOMPARE(answers.asked().first().title, QStringLiteral("About Cantova"));
        QVERIFY(answers.asked().first().text.startsWith(
            QStringLiteral("findChord: null chord\n\nCantova\nVersion " CANTOVA_VERSION)));
    }

    void featuresOfLaterWorkSaySoPlainly_data()
    {
        QTest::addColumn<QString>("action");
        // Audio to MIDI works now (tst_audio_to_midi).
        for (const char* name : {"transportPlayAction", "transportRecordAction"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void featuresOfLaterWorkSaySoPlainly()
    {
        QFETCH(QString, action);
        Settings settings;
        MainWindow form(&settings);
        ScriptedAnswers answers;
        ScriptedFiles files;
        form.findChild<QAction*>(action)->trigger();
        QVERIFY(!form.findChild<QAction*>(action)->isChecked());
        QCOMPARE(answers.asked().size(), 1);
        QVERIFY(answers.asked().first().text.contains(QStringLiteral("not available")));
        QVERIFY(files.asked().isEmpty()); // no file dialog for what cannot be opened
        QCOMPARE(form.session()->tracks().at(0), form.audioTrack());
    }

    void pianoRollEditsTheMelodyBelowTheTracks()
    {
        Settings settings;
        settings.noteZoom = 150;
        settings.noteEditMode = true;
        MainWindow form(&settings);
        ScriptedAnswers answers;
        PianoRoll* roll = form.pianoRoll();
        QVERIFY(roll);
        QCOMPARE(roll->clip(), melody(form));
        QCOMPARE(roll->heightZoom(), 150);
        QVERIFY(roll->isEditMode());
        QVERIFY(act(form, "editMidiModeAction")->isChecked());
        act(form, "editMidiModeAction")->trigger();
        QVERIFY(!roll->isEditMode());
        auto* toolbar = form.findChild<QToolBar*>(QStringLiteral("timeToolbar"));
        for (const char* name : {"KeyButton", "TransposeButton", "TransposeSpinBox", "StyleButton"})
            QVERIFY2(toolbar->findChild<QWidget*>(QLatin1String(name)), name);
        QCOMPARE(toolbar->findChild<QToolButton*>(QStringLiteral("StyleButton"))->text(),
                 QStringLiteral("Default Piano"));

        // The window's Delete removes the roll's selection as one undoable step.
        giveMelodyANoteUnannounced(form);
        form.viewRefresh();
        roll->select(melody(form)->sequence().first(), Qt::NoModifier);
        act(form, "editDeleteAction")->trigger();
        QVERIFY(melody(form)->sequence().isEmpty());
        QVERIFY(answers.asked().isEmpty());
        QCOMPARE(act(form, "editUndoAction")->isEnabled(), true);
        form.editUndo();
        QCOMPARE(melody(form)->sequence().count(), 1);

        // Zooming the roll vertically is kept; its horizontal zoom is the tracks view's.
        roll->verticalZoomInSlot();
        QCOMPARE(settings.noteZoom, 170);
        QTest::mouseClick(roll->zoomButton("HorizontalZoomIn"), Qt::LeftButton);
        QVERIFY(form.session()->scale().timeZoom() > 100);
        QCOMPARE(roll->timeZoom(), int(form.session()->scale().timeZoom()));
        // Both scroll together.
        roll->scrollToX(300);
        QCOMPARE(form.tracksView()->xOffset(), 300);
        form.tracksView()->scrollToFrame(form.session()->scale().pixelToFrame(100));
        QCOMPARE(roll->xOffset(), 100);
        // A new song points the roll at the new melody clip.
        form.fileNew();
        QCOMPARE(roll->clip(), melody(form));
        QVERIFY(roll->selection().empty());
    }

    void makeSongArrangesTheMelodyOrSaysWhatIsMissing()
    {
        Settings settings;
        MainWindow form(&settings);
        {
            // No melody and no recording: nothing to transcribe either.
            ScriptedAnswers answers;
            act(form, "makeSongAction")->trigger();
            QCOMPARE(answers.asked().size(), 1);
            QVERIFY(answers.asked().first().text.startsWith(
                QStringLiteral("Nothing to transcribe.\nPlease record your audio melody")));
        }
        giveMelodyANoteUnannounced(form);
        ScriptedAnswers answers;
        act(form, "makeSongAction")->trigger();
        QVERIFY(answers.asked().isEmpty());
        QVERIFY(findLaneEvent(melody(form)->sequence(), 0, ChordLane));
        QVERIFY(findLaneEvent(melody(form)->sequence(), 0, SectionLane));
        const SongState& song = *SongState::of(form.session());
        QCOMPARE(song.arrangedTracks.size(), size_t(1)); // the default piano
        QVERIFY(!static_cast<MidiClip*>(song.arrangedTracks[0]->firstClip())->sequence().isEmpty());
    }

    void savingAudioAppendsTheSuffixAndAsksBeforeReplacing()
    {
        Settings settings;
        MainWindow form(&settings);
        Clip* clip = addRecording(form, QStringLiteral("take.wav"));
        const QString typed = m_files.filePath(QStringLiteral("voice"));
        const QString target = typed + QStringLiteral(".wav");
        writeFile(target, "older");

        ScriptedFiles files({{typed}, {typed}});
        ScriptedAnswers answers({QMessageBox::No, QMessageBox::Yes});
        act(form, "saveAudioAction")->trigger(); // No: nothing is replaced
        QCOMPARE(readFile(target), QByteArray("older"));
        QVERIFY(clip->isModified());
        act(form, "saveAudioAction")->trigger(); // Yes
        QCOMPARE(answers.asked().size(), 2);
        QCOMPARE(answers.asked().at(1).text,
                 QStringLiteral("The file already exists:\n\n\"%1\"\n\nDo you want to replace it?")
                     .arg(target));
        QCOMPARE(files.asked().first().title, QStringLiteral("Save Audio File - Cantova"));
        QCOMPARE(files.asked().first().filter, QStringLiteral("Audio files (*.wav)"));
        QCOMPARE(readFile(target), QByteArray("recorded"));
        QVERIFY(!clip->isModified());
        QCOMPARE(clip->filePath(), m_files.filePath(QStringLiteral("take.wav"))); // kept
        QCOMPARE(form.audioTrack()->name(), QStringLiteral("voice.wav"));
        QCOMPARE(settings.audioDir, m_files.path());
    }

    void savingAudioOntoItsOwnFileOnlyClearsTheMark()
    {
        Settings settings;
        MainWindow form(&settings);
        Clip* clip = addRecording(form, QStringLiteral("own.wav"));
        ScriptedFiles files({{clip->filePath()}});
        ScriptedAnswers answers;
        act(form, "saveAudioAction")->trigger();
        QVERIFY(answers.asked().isEmpty());
        QCOMPARE(readFile(clip->filePath()), QByteArray("recorded"));
        QVERIFY(!clip->isModified());
    }

    void closingWithAModifiedRecordingAndCancelKeepsRunning()
    {
        Settings settings;
        MainWindow form(&settings);
        Clip* clip = addRecording(form, QStringLiteral("kept.wav"));
        {
            ScriptedAnswers answers({QMessageBox::Cancel});
            QVERIFY(!form.close());
            QCOMPARE(answers.asked().first().text,
                     QStringLiteral("The current audio file has been changed:\n\n\"Untitled.wav\""
                                    "\n\nDo you want to save the changes?"));
        }
        QVERIFY(form.isVisible());
        QCOMPARE(form.audioClip(), clip);
        // Discard closes the recording for good: closing is no undo step.
        const int steps = form.session()->commands().count();
        ScriptedAnswers answers({QMessageBox::Discard});
        act(form, "newAudioAction")->trigger();
        QCOMPARE(form.audioClip(), nullptr);
        QCOMPARE(form.session()->commands().count(), steps);
    }

    void typedTimeMovesThePlayPosition()
    {
        Settings settings;
        MainWindow form(&settings);
        auto* time = form.findChild<QAbstractSpinBox*>(QStringLiteral("TimeSpinBox"));
        time->setFocus();
        time->selectAll();
        QTest::keyClicks(time, QStringLiteral("00:00:02.000"));
        QTest::keyClick(time, Qt::Key_Return);
        QCOMPARE(form.session()->playHead(), 88200u);
        QCOMPARE(form.tracksView()->playHead(), 88200u);
    }

    void chordsOnOffMutesTheArrangementWithoutAnUndoStep()
    {
        Settings settings;
        MainWindow form(&settings);
        SongState* song = SongState::of(form.session());
        QVERIFY(!song->arrangedTracks.empty());    // the default piano style
        act(form, "chordsOnOffAction")->trigger(); // off
        QVERIFY(song->arrangementOff);
        for (Track* track : song->arrangedTracks)
            QVERIFY(track->isMuted());
        QVERIFY(!form.melodyTrack()->isMuted());
        QCOMPARE(form.session()->commands().current(), nullptr);
        act(form, "chordsOnOffAction")->trigger(); // on
        for (Track* track : song->arrangedTracks)
            QVERIFY(!track->isMuted());
    }

    void aStyleThatCannotBeReadLeavesTheDefaultStyle()
    {
        Settings settings;
        settings.styleDir = m_files.path();
        MainWindow form(&settings);
        const QString path = m_files.filePath(QStringLiteral("broken.sty"));
        writeFile(path, "not a style");
        ScriptedFiles files({{path}});
        ScriptedAnswers answers;
        act(form, "openStyleAction")->trigger();
        QCOMPARE(files.asked().first().title, QStringLiteral("Open Style File - Cantova"));
        QCOMPARE(files.asked().first().filter, QStringLiteral("Style files (*.sty *.STY)"));
        QCOMPARE(files.asked().first().dir, m_files.path());
        QVERIFY(!answers.asked().isEmpty());
        QVERIFY(answers.asked().last().text.contains(
            QStringLiteral("The style file was not loaded:\n\n\"%1\"").arg(path)));
        QCOMPARE(form.stylePath(), QString());
        QVERIFY(!SongState::of(form.session())->arrangedTracks.empty());
    }

    void makeChordsKeepsTheMelody()
    {
        Settings settings;
        MainWindow form(&settings);
        MidiSequence& notes = melody(form)->sequence();
        for (int i = 0; i < 8; ++i)
            notes.insert(MidiEvent::note(uint32_t(i) * 960, uint8_t(i % 2 ? 64 : 60), 100, 900));
        melody(form)->setLength(8 * 22050);
        ScriptedAnswers answers;
        act(form, "makeChordsAction")->trigger();
        QCOMPARE(form.session()->tracks().at(1), form.melodyTrack());
        QCOMPARE(melody(form)->sequence().first()->data1, uint8_t(60));
    }

    void snapSelectorSetsTheSessionSnap()
    {
        Settings settings;
        MainWindow form(&settings);
        auto* snap = form.findChild<QComboBox*>(QStringLiteral("SnapPerBeatComboBox"));
        QCOMPARE(snap->currentIndex(), 0);
        QCOMPARE(form.session()->scale().snapPerBeat(), uint16_t(0));
        snap->setCurrentIndex(4);
        emit snap->activated(4);
        QCOMPARE(form.session()->scale().snapPerBeat(), TimeScale::snapValue(4));
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_main_window.moc"
