// The main window when a device or the disk fails under it: the built-in synthesizer without a
// SoundFont, the sound card going away while a song plays or records, the disk filling during a
// take. Each time the window stays up, says what happened in plain words and keeps the song.
#include "app_test_environment.h"
#include "window_engines.h"

#include "engine_factory.h"
#include "error_log.h"
#include "file_size_limit.h"
#include "main_window.h"
#include "message_box.h"
#include "settings.h"

#include "audio_clip.h"
#include "audio_engine.h"
#include "audio_recorder.h"
#include "clip.h"
#include "clip_command.h"
#include "command_list.h"
#include "midi_engine.h"
#include "offline_audio_client.h"
#include "recording_midi_output.h"
#include "sequencer_layer.h"
#include "session.h"
#include "synth_midi_output.h"
#include "track.h"

#include <QAction>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr uint32_t kBlock = AudioClient::kBufferSize;

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestDeviceFaults : public QObject, protected WindowEngines
{
    Q_OBJECT

    AppTestEnvironment* m_env = nullptr;
    QTemporaryDir m_dir; // takes and songs

private Q_SLOTS:
    void initTestCase()
    {
        m_env = new AppTestEnvironment;
        qputenv("TMPDIR", QFile::encodeName(m_dir.path()));
        programLayer();
    }
    void cleanupTestCase()
    {
        installBaseEngines(); // the engines let go of the layers before they go
        delete m_env;
    }
    void init()
    {
        m_env->clearSettings();
        ErrorLog::clear();
        installEngines(EngineFactory::offline(&programLayer().layer));
    }

    // The program's own engines, on a sound card that plays in real time and the built-in
    // synthesizer, whose SoundFont is not there.
    void withoutASoundFontTheWindowSaysSoAndStillPlaysAudio()
    {
        const QString missing = m_dir.filePath(QStringLiteral("gone.sf2"));
        QSettings(QStringLiteral("Orvane"), QStringLiteral("Cantova"))
            .setValue(QString::fromLatin1(SynthMidiOutput::kSoundFontKey), missing);
        installEngines(EngineFactory::make([] {
            auto card = std::make_unique<OfflineAudioClient>();
            card->setPacedToRealTime(true);
            return std::unique_ptr<AudioClient>(std::move(card));
        }));
        {
            ScriptedAnswers answers;
            Settings settings;
            MainWindow form(&settings);
            QVERIFY(session()->isActive());
            auto* midi = static_cast<MidiEngine*>(session()->midiEngine());
            QVERIFY(midi->layer()->isOpen());
            QTRY_COMPARE(answers.asked().size(), 1);
            const QString text = answers.asked().first().text;
            QVERIFY2(text.startsWith(QStringLiteral("The MIDI output could not be opened, so the "
                                                    "melody and the chords are silent; the "
                                                    "metronome clicks through the audio output "
                                                    "and audio still plays.")),
                     qPrintable(text));
            QVERIFY2(text.contains(missing), qPrintable(text)); // which SoundFont, and where
            QVERIFY(form.statusBar()->currentMessage().startsWith(
                QStringLiteral("The MIDI output could not be opened")));
            QVERIFY(ErrorLog::isEmpty()); // said once, not again by the next operation

            // Play runs the audio clips and the metronome; MIDI goes nowhere.
            QVERIFY(act(form, "transportPlayAction")->isEnabled());
            QVERIFY(midi->isMetronomeOn());
            // The metronome is heard all the same: its audio clicks stand in, the settings'
            // choice of the MIDI metronome untouched.
            auto* audio = static_cast<AudioEngine*>(session()->audioEngine());
            QVERIFY(audio->isMetronomeOn());
            QVERIFY(!settings.metronomeRouting.audio);
            act(form, "transportMetroAction")->trigger(); // off
            QVERIFY(!audio->isMetronomeOn());
            act(form, "transportMetroAction")->trigger(); // on again
            QVERIFY(audio->isMetronomeOn());
            giveMelodyANote(form);
            CountingClip* recording = giveTheSongAnEnd(form, 20 * 44100);
            act(form, "transportPlayAction")->trigger();
            QVERIFY(session()->isPlaying());
            QTRY_VERIFY(session()->playHead() > 44100 / 4);
            tick(form, 5);
            QVERIFY(session()->isPlaying());
            QVERIFY(recording->ranges > 0);
            act(form, "transportStopAction")->trigger();
            QVERIFY(!session()->isPlaying());
            QCOMPARE(answers.asked().size(), 1);
        }
        installEngines(EngineFactory::offline(&programLayer().layer));
    }

    void theSoundCardGoingAwayStopsPlayingAndLeavesTheSongAsItWas()
    {
        ScriptedAnswers answers;
        Settings settings;
        MainWindow form(&settings);
        melody(form)->sequence().insert(MidiEvent::note(0, 60, 100, 960 * 16)); // 8 s
        melody(form)->setModified(true);
        // Saved twice: the first save names the tracks after the file.
        const QString path = m_dir.filePath(QStringLiteral("song.mid"));
        QVERIFY(form.saveSong(path) && form.saveSong(path));
        const QByteArray before = contents(path);
        const int steps = session()->commands().count();

        act(form, "transportPlayAction")->trigger();
        QCOMPARE(client()->render(8), 0);
        tick(form);
        QVERIFY(session()->isPlaying());
        client()->setDeviceLost(true); // unplugged
        QCOMPARE(client()->render(1), -1);
        QVERIFY(client()->hasStreamEnded());
        tick(form);
        QVERIFY(!session()->isPlaying());
        QVERIFY(!act(form, "transportPlayAction")->isChecked());
        QCOMPARE(answers.asked().size(), 1);
        const QString text = answers.asked().first().text;
        QVERIFY2(text.startsWith(QStringLiteral("The audio device stopped working, so playing "
                                                "stopped. The song is as it was.")),
                 qPrintable(text));
        tick(form, 3);
        QCOMPARE(answers.asked().size(), 1); // said once

        // Nothing of the song changed: saved again, it is the same file, and it reopens.
        QVERIFY(!form.isSongModified());
        QCOMPARE(session()->commands().count(), steps);
        QVERIFY(form.saveSong(path));
        QCOMPARE(contents(path), before);

        // Plugged in again, Play opens the device anew and plays on from where it stopped.
        client()->setDeviceLost(false);
        const uint32_t stoppedAt = session()->playHead();
        act(form, "transportPlayAction")->trigger();
        QVERIFY(session()->isPlaying());
        QVERIFY(!client()->hasStreamEnded());
        QCOMPARE(client()->render(2), 0);
        QCOMPARE(session()->playHead(), stoppedAt + 2 * kBlock);
        act(form, "transportStopAction")->trigger();
        QCOMPARE(answers.asked().size(), 1);

        // Reopened, the melody is there as it was.
        QVERIFY(form.openSong(path));
        int notes = 0;
        for (const MidiEvent* e = melody(form)->sequence().first(); e; e = e->next())
            if (e->isNote()) {
                ++notes;
                QCOMPARE(int(e->data1), 60);
                QCOMPARE(e->duration, 960u * 16);
            }
        QCOMPARE(notes, 1);
    }

    void theSoundCardGoingAwayWhileRecordingKeepsTheTake()
    {
        ScriptedAnswers answers;
        Settings settings;
        MainWindow form(&settings);
        act(form, "transportRecordAction")->trigger();
        QVERIFY(session()->isRecording());
        QCOMPARE(client()->render(40), 0);
        client()->setDeviceLost(true);
        QCOMPARE(client()->render(1), -1);
        tick(form);
        client()->setDeviceLost(false);
        QVERIFY(!session()->isRecording());
        QVERIFY(!session()->isPlaying());
        QCOMPARE(answers.asked().size(), 1);
        QVERIFY2(answers.asked().first().text.startsWith(
                     QStringLiteral("The audio device stopped working, so the recording stopped. "
                                    "What was recorded until then is kept.")),
                 qPrintable(answers.asked().first().text));
        Clip* take = form.audioTrack()->firstClip();
        QVERIFY(take);
        QCOMPARE(take->offset() + take->length(), 40 * kBlock);
        QCOMPARE(session()->commands().current()->name(), QStringLiteral("record clip"));
    }

    // The take's file may grow to 64 KB only, as if the disk were full there.
    void aFullDiskStopsTheTakeKeepsWhatWasRecordedAndSaysHowLong()
    {
        ScriptedAnswers answers;
        Settings settings;
        MainWindow form(&settings);
        act(form, "transportRecordAction")->trigger();
        QVERIFY(session()->isRecording());
        auto* take = dynamic_cast<AudioClip*>(form.audioTrack()->recordingClip());
        QVERIFY(take && take->recorder());
        {
            FileSizeLimit full(64 * 1024);
            QVERIFY(full.isActive());
            QCOMPARE(client()->render(100), 0); // 51200 frames: more than fits
            QTRY_VERIFY(take->recorder()->isDiskFull());
            const uint64_t written = take->recorder()->framesWritten();
            QVERIFY(written > 0 && written < 100 * kBlock);

            // The window's timer sees it within a quarter second and stops the take.
            tick(form, 3);
            QVERIFY(session()->isRecording());
            tick(form);
            QVERIFY(!session()->isRecording());
            QVERIFY(!session()->isPlaying());
            QVERIFY(!act(form, "transportRecordAction")->isChecked());

            QCOMPARE(answers.asked().size(), 1);
            const QString text = answers.asked().first().text;
            static const QRegularExpression said(QStringLiteral(
                "^The disk is full: the recording stopped after (\\d+\\.\\d{3}) s\\. "
                "What was recorded until then is kept\\.\n\nDo you want to copy"));
            const QRegularExpressionMatch match = said.match(text);
            QVERIFY2(match.hasMatch(), qPrintable(text));
            QCOMPARE(match.captured(1), QString::number(double(written) / 44100, 'f', 3));

            // What was recorded is a clip, through one undoable step.
            Clip* kept = form.audioTrack()->firstClip();
            QVERIFY(kept);
            QCOMPARE(uint64_t(kept->offset()) + kept->length(), written);
        }
        QCOMPARE(session()->commands().current()->name(), QStringLiteral("record clip"));
        QVERIFY(session()->commands().revert());
        QCOMPARE(form.audioTrack()->clipCount(), 0);
        QVERIFY(session()->commands().redo());
        QCOMPARE(form.audioTrack()->clipCount(), 1);
    }
};

QTEST_MAIN(TestDeviceFaults)
#include "tst_device_faults.moc"
