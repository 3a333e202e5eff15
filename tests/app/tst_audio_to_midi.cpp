// Audio to MIDI in the window, and Make Song from a recording: the recording's notes land in the
// emptied melody at their own time, the same notes "cantova transcribe" writes for the file, and
// the song made from them plays, saves and reopens whole.
#include "app_test_environment.h"
#include "window_engines.h"

#include "audio_to_midi.h"
#include "engine_factory.h"
#include "error_log.h"
#include "file_dialog.h"
#include "main_window.h"
#include "message_box.h"
#include "settings.h"

#include "audio_engine.h"
#include "clip.h"
#include "command_list.h"
#include "lane_events.h"
#include "midi_file.h"
#include "offline_audio_client.h"
#include "recording_midi_output.h"
#include "sequencer_layer.h"
#include "session.h"
#include "song_state.h"
#include "track.h"
#include "transcribe_command.h"

#include <sndfile.h>

#include <QDir>
#include <QFile>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <vector>

namespace {

const QString kFlute = QStringLiteral(CANTOVA_TEST_DATA "/transcribe/flute_melody.flac");

QString sample(const QString& name)
{
    return QDir(QStringLiteral(CANTOVA_SAMPLES_DIR)).filePath(name + QStringLiteral(".flac"));
}

bool writeSilence(const QString& path, int frames)
{
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file)
        return false;
    const std::vector<float> zeros(size_t(frames), 0.0f);
    const bool ok = sf_writef_float(file, zeros.data(), frames) == frames;
    sf_close(file);
    return ok;
}

/** Every event of a sequence as text, sorted (a file keeps no order among events at one tick):
 *  what a song keeps of its melody. */
QStringList dump(const MidiSequence& sequence)
{
    QStringList events;
    for (const MidiEvent* e = sequence.first(); e; e = e->next())
        events << QStringLiteral("%1 %2 %3 %4 %5 %6")
                      .arg(e->time)
                      .arg(e->status)
                      .arg(e->metaType)
                      .arg(e->data1)
                      .arg(e->isNote() ? e->duration : 0)
                      .arg(QString::fromLatin1(e->data().toHex()));
    events.sort();
    return events;
}

/** The notes alone, as (tick, key, length, velocity). */
QStringList notesOf(const MidiSequence& sequence)
{
    QStringList notes;
    for (const MidiEvent* e = sequence.first(); e; e = e->next())
        if (e->isNote())
            notes << QStringLiteral("%1 %2 %3 %4")
                         .arg(e->time)
                         .arg(e->data1)
                         .arg(e->duration)
                         .arg(e->data2);
    return notes;
}

/** The notes "cantova transcribe" writes for the file. */
QStringList transcribeCommandNotes(const QString& input, const QString& output)
{
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    if (TranscribeCommand::run({input, output}, out, err) != 0)
        return {errText};
    MidiFile file;
    MidiSequence sequence;
    if (!file.open(output, MidiFile::Read) || !file.readTrack(sequence, 1))
        return {QStringLiteral("unreadable")};
    return notesOf(sequence);
}

/** Presses Abort once the progress dialog has shown `blocks` blocks read. */
class Aborter : public QObject
{
public:
    Aborter(QWidget* window, int blocks) : m_window(window), m_blocks(blocks)
    {
        m_timer.setInterval(0);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto* dialog = m_window->findChild<QProgressDialog*>();
            if (dialog && dialog->value() >= m_blocks && !dialog->wasCanceled()) {
                m_maximum = dialog->maximum();
                m_at = dialog->value();
                dialog->cancel();
            }
        });
        m_timer.start();
    }
    int at() const { return m_at; }
    int maximum() const { return m_maximum; }

private:
    QWidget* m_window;
    int m_blocks;
    int m_at = -1;
    int m_maximum = -1;
    QTimer m_timer;
};

} // namespace

class TestAudioToMidi : public QObject
{
    Q_OBJECT

    AppTestEnvironment* m_env = nullptr;
    QTemporaryDir m_files;

    QString path(const QString& name) const { return m_files.filePath(name); }
    static Session* session() { return Session::instance(); }

    static const MidiSequence& melodyEvents(MainWindow& form) { return melody(form)->sequence(); }

    static void openAudio(MainWindow& form, const QString& file)
    {
        ScriptedAnswers answers({QMessageBox::Discard});
        QVERIFY2(form.openAudioFile(file), qPrintable(ErrorLog::take()));
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_env = new AppTestEnvironment;
        programLayer();
        Session::setEngineFactory(EngineFactory::offline(&programLayer().layer));
        QVERIFY(writeSilence(path(QStringLiteral("silence.wav")), 2 * 44100));
    }
    void cleanupTestCase()
    {
        session()->setEngines(std::make_unique<Engine>(session(), Engine::AudioKind),
                              std::make_unique<Engine>(session(), Engine::MidiKind));
        delete m_env;
    }
    void init()
    {
        m_env->clearSettings();
        ErrorLog::take();
    }

    void withNothingToReadTheMelodyStays()
    {
        Settings settings;
        MainWindow form(&settings);
        giveMelodyANote(form);
        const QStringList before = dump(melodyEvents(form));
        {
            ScriptedAnswers answers;
            act(form, "audioToMidiAction")->trigger();
            QCOMPARE(answers.asked().size(), 1);
            QCOMPARE(answers.asked().first().text,
                     QStringLiteral("Nothing to transcribe.\nPlease record your audio melody or "
                                    "open an audio file.\n"));
        }
        // A clip of no length is nothing either.
        openAudio(form, kFlute);
        form.audioClip()->setLength(0);
        ScriptedAnswers answers;
        act(form, "audioToMidiAction")->trigger();
        QCOMPARE(answers.asked().size(), 1);
        QVERIFY(answers.asked().first().text.startsWith(QStringLiteral("Nothing to transcribe.")));
        QCOMPARE(dump(melodyEvents(form)), before);
        QVERIFY(melody(form)->isModified());
    }

    void cancellingOrFailingTheSaveLeavesTheMelody()
    {
        Settings settings;
        MainWindow form(&settings);
        openAudio(form, kFlute);
        giveMelodyANote(form);
        const QStringList before = dump(melodyEvents(form));
        {
            ScriptedAnswers answers({QMessageBox::Cancel});
            act(form, "audioToMidiAction")->trigger();
            QCOMPARE(answers.asked().size(), 1);
            QVERIFY(answers.asked().first().text.startsWith(
                QStringLiteral("The current Midi file has been changed:")));
        }
        QCOMPARE(dump(melodyEvents(form)), before);
        // Save chosen, the file dialog cancelled: the save failed, so nothing happens.
        ScriptedAnswers answers({QMessageBox::Save});
        ScriptedFiles files(QList<QStringList>{QStringList()});
        act(form, "audioToMidiAction")->trigger();
        QCOMPARE(dump(melodyEvents(form)), before);
        QVERIFY(form.audioClip()->needsTranscription());
    }

    void silenceWarnsAndLeavesTheMelodyEmpty()
    {
        Settings settings;
        MainWindow form(&settings);
        openAudio(form, path(QStringLiteral("silence.wav")));
        giveMelodyANote(form);
        ScriptedAnswers answers({QMessageBox::Discard});
        act(form, "audioToMidiAction")->trigger();
        QCOMPARE(answers.asked().size(), 2);
        const MessageBox::Request& warning = answers.asked().last();
        QCOMPARE(warning.text,
                 QStringLiteral("Cannot transcribe any MIDI notes from this audio.\n"));
        QVERIFY(warning.title.startsWith(AudioToMidi::progressLabel()));
        QVERIFY(melodyEvents(form).isEmpty());
        QVERIFY(form.audioClip()->needsTranscription());
        // The emptied melody undoes back to the old one.
        act(form, "editUndoAction")->trigger();
        QCOMPARE(notesOf(melodyEvents(form)).size(), 1);
    }

    void anUnreadableFileShowsTheErrorBoxAndLeavesTheMelodyEmpty()
    {
        const QString copy = path(QStringLiteral("going.flac"));
        QVERIFY(QFile::copy(kFlute, copy));
        Settings settings;
        MainWindow form(&settings);
        openAudio(form, copy);
        giveMelodyANote(form);
        melody(form)->setModified(false);
        QVERIFY(QFile::remove(copy));
        ScriptedAnswers answers;
        act(form, "audioToMidiAction")->trigger();
        QCOMPARE(answers.asked().size(), 1);
        QVERIFY2(answers.asked().first().text.startsWith(
                     QStringLiteral("audio2midi: Cannot read the audio data from file.")),
                 qPrintable(answers.asked().first().text));
        QVERIFY(melodyEvents(form).isEmpty());
        QVERIFY(form.audioClip()->needsTranscription());
    }

    // Notes 3 and 4 of the flute tune (C4 at 1.3 s, D4 at 1.8 s) are selected.
    void aSelectionTranscribesOnlyItsPartAtItsTime()
    {
        Settings settings;
        MainWindow form(&settings);
        openAudio(form, kFlute);
        Clip* clip = form.audioClip();
        // The flute plays legato: the selection starts just before C4, too late for the end of
        // the D4 before it to make a note.
        clip->setSelection(uint32_t(1.28 * 44100), uint32_t(2.28 * 44100));
        ScriptedAnswers answers;
        act(form, "audioToMidiAction")->trigger();
        QVERIFY2(answers.asked().isEmpty(), qPrintable(answers.asked().value(0).text));
        QStringList keys;
        uint32_t first = UINT32_MAX;
        for (const MidiEvent* e = melodyEvents(form).first(); e; e = e->next())
            if (e->isNote()) {
                keys << QString::number(e->data1);
                first = std::min(first, e->time);
            }
        QCOMPARE(keys, (QStringList{QStringLiteral("60"), QStringLiteral("62")}));
        // 1.3 s on the timeline at 120 bpm, 1920 ticks a second, within an analysis hop.
        QVERIFY2(std::abs(double(first) - 1.3 * 1920) <= 256.0 / 11025 * 1920,
                 qPrintable(QString::number(first)));
        QVERIFY(!clip->needsTranscription());
        QVERIFY(melody(form)->isModified());
    }

    void abortKeepsTheNotesReadSoFar()
    {
        Settings settings;
        MainWindow form(&settings);
        openAudio(form, sample(QStringLiteral("ode-to-joy")));
        ScriptedAnswers answers;
        Aborter aborter(&form, 8);
        act(form, "audioToMidiAction")->trigger();
        QVERIFY(aborter.at() >= 8);
        QVERIFY(aborter.at() < aborter.maximum());
        const QStringList notes = notesOf(melodyEvents(form));
        QVERIFY(!notes.isEmpty());
        QCOMPARE(answers.asked().size(), 0);
        // Only what was read: nothing after the blocks read (and the one being read).
        const int block = 8192;
        const double readSeconds = double(aborter.at() + 2) * block / 11025.0;
        for (const MidiEvent* e = melodyEvents(form).first(); e; e = e->next())
            QVERIFY2(!e->isNote() || e->time <= readSeconds * 1920,
                     qPrintable(QString::number(e->time)));
        QVERIFY(!form.audioClip()->needsTranscription());
    }

    void makeSongTranscribesAFreshRecordingFirst()
    {
        Settings settings;
        MainWindow form(&settings);
        openAudio(form, kFlute);
        ScriptedAnswers answers;
        act(form, "makeSongAction")->trigger();
        QVERIFY(!form.audioClip()->needsTranscription());
        QCOMPARE(notesOf(melodyEvents(form)).size(), 6);
        QVERIFY(!SongState::of(session())->key.isEmpty());
        // Made again, the melody is kept: nothing to transcribe.
        act(form, "makeSongAction")->trigger();
        QCOMPARE(notesOf(melodyEvents(form)).size(), 6);

        // Audio to MIDI again: the chords, the sections and the arrangement go with the melody.
        answers.push(QMessageBox::Discard);
        act(form, "audioToMidiAction")->trigger();
        QCOMPARE(notesOf(melodyEvents(form)).size(), 6);
        for (const MidiEvent* e = melodyEvents(form).first(); e; e = e->next())
            QCOMPARE(laneKind(e), int(NoLane));
        for (Track* track : SongState::of(session())->arrangedTracks)
            for (Clip* clip = track->firstClip(); clip; clip = clip->next())
                if (auto* midi = dynamic_cast<MidiClip*>(clip))
                    QCOMPARE(notesOf(midi->sequence()).size(), 0);
    }

    void theWholeRoad_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* name :
             {"ode-to-joy", "twinkle-twinkle", "frere-jacques", "amazing-grace", "greensleeves"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    // Open the sample as audio, Audio to MIDI, Make Song, Play, Save, reopen.
    void theWholeRoad()
    {
        QFETCH(QString, name);
        const QString file = sample(name);
        Settings settings;
        MainWindow form(&settings);
        openAudio(form, file);
        ScriptedAnswers answers;
        act(form, "audioToMidiAction")->trigger();
        QVERIFY2(answers.asked().isEmpty(), qPrintable(answers.asked().value(0).text));
        QCOMPARE(notesOf(melodyEvents(form)),
                 transcribeCommandNotes(file, path(name + QStringLiteral(".mid"))));

        form.openFile(QStringLiteral(CANTOVA_STYLES_DIR "/Pop 8 Beat.sty"));
        act(form, "makeSongAction")->trigger();
        SongState* song = SongState::of(session());
        QCOMPARE(song->styleName, QStringLiteral("Pop 8 Beat"));
        QVERIFY(!song->key.isEmpty());
        int chords = 0, sections = 0;
        for (const MidiEvent* e = melodyEvents(form).first(); e; e = e->next()) {
            chords += laneKind(e) == ChordLane;
            sections += laneKind(e) == SectionLane;
        }
        QVERIFY(chords >= 4);
        QVERIFY(sections >= 3); // intro, main parts with their fills, and ending
        QVERIFY(!song->arrangedTracks.empty());

        programLayer().output.clear();
        act(form, "transportPlayAction")->trigger();
        QVERIFY(session()->isPlaying());
        auto* client = static_cast<OfflineAudioClient*>(
            static_cast<AudioEngine*>(session()->audioEngine())->client());
        QCOMPARE(client->render(uint32_t(4 * 44100 / 512)), 0);
        act(form, "transportStopAction")->trigger();
        QVERIFY(!programLayer().output.messages().empty());

        const QStringList made = dump(melodyEvents(form));
        const QString key = song->key;
        const QString style = song->styleName;
        const QString saved = path(name + QStringLiteral("-song.mid"));
        QVERIFY(form.saveSong(saved));
        QVERIFY(form.newSong());
        QVERIFY(melodyEvents(form).isEmpty());
        QVERIFY(form.openSong(saved));
        QCOMPARE(dump(melodyEvents(form)), made);
        QCOMPARE(SongState::of(session())->key, key);
        QCOMPARE(SongState::of(session())->styleName, style);
    }
};

QTEST_MAIN(TestAudioToMidi)
#include "tst_audio_to_midi.moc"
