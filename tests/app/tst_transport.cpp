// The main window's transport on the real engines, with an offline audio client whose cycles the
// test runs and a sequencer layer that records the MIDI it is given: play and pause, stop and
// backward, the time display, the song end and the loop, the metronome, following the device's
// transport, the device-failure message; and rendering a song offline through the same engines.
#include "app_test_environment.h"
#include "window_engines.h"

#include "engine_factory.h"
#include "error_log.h"
#include "main_window.h"
#include "message_box.h"
#include "settings.h"

#include "audio_engine.h"
#include "clip.h"
#include "clip_command.h"
#include "midi_engine.h"
#include "offline_audio_client.h"
#include "offline_render.h"
#include "recording_midi_output.h"
#include "sequencer_layer.h"
#include "session.h"
#include "time_spin_box.h"
#include "track.h"

#include <QAction>
#include <QFile>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <vector>

namespace {

constexpr uint32_t kBlock = AudioClient::kBufferSize;

} // namespace

class TestTransport : public QObject, protected WindowEngines
{
    Q_OBJECT

    AppTestEnvironment* m_env = nullptr;
    QTemporaryDir m_takes; // the temporary folder recordings go to

    static void render(uint32_t cycles) { QCOMPARE(client()->render(cycles), 0); }
    static unsigned long shownTime(MainWindow& form)
    {
        return form.findChild<TimeSpinBox*>(QStringLiteral("TimeSpinBox"))->value();
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_env = new AppTestEnvironment;
        qputenv("TMPDIR", QFile::encodeName(m_takes.path()));
        programLayer();
        Session::setEngineFactory(EngineFactory::offline(&programLayer().layer));
    }
    void cleanupTestCase()
    {
        installBaseEngines(); // the engines let go of the layer before it goes
        delete m_env;
    }
    void init() { m_env->clearSettings(); }

    void theFirstSongOpensTheEnginesAtFrameZero()
    {
        Settings settings;
        MainWindow form(&settings);
        QVERIFY(session()->isActive());
        QVERIFY(!session()->isPlaying());
        QCOMPARE(session()->playHead(), 0u);
        QCOMPARE(session()->clientName(), QStringLiteral("Cantova"));
        QVERIFY(form.audioTrack()->outputBus());
        QVERIFY(form.melodyTrack()->outputBus());
        // MIDI is scheduled later by the playback latency from the settings.
        QCOMPARE(programLayer().layer.playbackLatency(), AppTestEnvironment::kPlaybackLatency);
    }

    void playAndPauseMoveTheHeadAndTheTimeDisplayFollowsWhatIsHeard()
    {
        Settings settings;
        MainWindow form(&settings);
        giveTheSongAnEnd(form, 10 * 44100);
        ScriptedAnswers answers;
        act(form, "transportPlayAction")->trigger();
        QVERIFY(session()->isPlaying());
        QVERIFY(act(form, "transportPlayAction")->isChecked());

        render(2);
        tick(form);
        // What is heard lags the play head by the playback latency, but never shows a time
        // before the start of playback.
        QCOMPARE(session()->playHead(), 2 * kBlock);
        QCOMPARE(shownTime(form), 0ul);
        render(8);
        tick(form);
        const auto latency = uint32_t(AppTestEnvironment::kPlaybackLatency * 44100);
        QCOMPARE(shownTime(form), 10ul * kBlock - latency);

        act(form, "transportPlayAction")->trigger();
        QVERIFY(!session()->isPlaying());
        QVERIFY(!act(form, "transportPlayAction")->isChecked());
        render(3);
        tick(form);
        QCOMPARE(session()->playHead(), 10 * kBlock); // paused where it was
        QCOMPARE(shownTime(form), 10ul * kBlock);

        // Play again from there.
        act(form, "transportPlayAction")->trigger();
        render(1);
        QCOMPARE(session()->playHead(), 11 * kBlock);
        QVERIFY(answers.asked().isEmpty());
        act(form, "transportPlayAction")->trigger();
    }

    void stopPausesAndGoesBackToTheStart()
    {
        Settings settings;
        MainWindow form(&settings);
        giveTheSongAnEnd(form, 10 * 44100);
        act(form, "transportPlayAction")->trigger();
        render(4);
        act(form, "transportStopAction")->trigger();
        QVERIFY(!session()->isPlaying());
        QVERIFY(!act(form, "transportPlayAction")->isChecked());
        QCOMPARE(session()->playHead(), 0u);
        QCOMPARE(shownTime(form), 0ul);
        render(2);
        QCOMPARE(session()->playHead(), 0u);

        // Stopped, it still goes back.
        form.transportTimeChanged(5000);
        QCOMPARE(session()->playHead(), 5000u);
        act(form, "transportStopAction")->trigger();
        QCOMPARE(session()->playHead(), 0u);
    }

    void aTypedTimeWhilePlayingPlaysOnFromThere()
    {
        Settings settings;
        MainWindow form(&settings);
        giveTheSongAnEnd(form, 10 * 44100);
        act(form, "transportPlayAction")->trigger();
        render(2);
        form.transportTimeChanged(44100);
        QVERIFY(session()->isPlaying());
        render(1);
        QCOMPARE(session()->playHead(), 44100 + kBlock);
        act(form, "transportPlayAction")->trigger();
    }

    void theSongEndStopsTheTransport()
    {
        Settings settings;
        MainWindow form(&settings);
        giveTheSongAnEnd(form, 3000);
        act(form, "transportPlayAction")->trigger();
        render(5); // 2560: not yet past the end
        tick(form, 4);
        QVERIFY(session()->isPlaying());
        render(1);     // 3072
        tick(form, 3); // the end is looked at once more than 232 ms have passed
        QVERIFY(session()->isPlaying());
        tick(form);
        QVERIFY(!session()->isPlaying());
        QVERIFY(!act(form, "transportPlayAction")->isChecked());
        QCOMPARE(session()->playHead(), 6 * kBlock); // stopped, not rewound
    }

    void pastTheSongEndAndTheLoopThePlayHeadGoesToTheLoopStart()
    {
        Settings settings;
        MainWindow form(&settings);
        giveTheSongAnEnd(form, 3000);
        session()->setLoop(1000, 2000);
        form.transportTimeChanged(5000);
        act(form, "transportPlayAction")->trigger();
        render(1);
        tick(form, 4);
        QVERIFY(session()->isPlaying());
        QCOMPARE(session()->playHead(), 1000u);
        // From there the engine wraps at the loop end.
        render(2); // 1000 + 1024 crosses 2000 once
        QCOMPARE(session()->playHead(), 1024u);
        tick(form, 4);
        QVERIFY(session()->isPlaying());
        act(form, "transportPlayAction")->trigger();
    }

    void theOnOffSwitchesSilenceTheirTracksWhilePlaying()
    {
        Settings settings;
        MainWindow form(&settings);
        CountingClip* recording = giveTheSongAnEnd(form, 10 * 44100);
        const int steps = session()->commands().count();
        act(form, "transportPlayAction")->trigger();
        render(2);
        QCOMPARE(recording->ranges.load(), 2);

        act(form, "audioOnOffAction")->trigger(); // off
        QVERIFY(form.audioTrack()->isMuted());
        render(2);
        QCOMPARE(recording->ranges.load(), 2);
        act(form, "audioOnOffAction")->trigger(); // on again
        render(1);
        QCOMPARE(recording->ranges.load(), 3);

        // The melody's channel falls silent at once: all sound off and all notes off.
        const int channel = form.melodyTrack()->properties().channel;
        programLayer().output.clear();
        act(form, "midiOnOffAction")->trigger();
        QVERIFY(form.melodyTrack()->isMuted());
        render(1);
        QStringList controllers;
        for (const auto& m : programLayer().output.messages())
            if ((m.word & 0xFF) == uint32_t(0xB0 | channel))
                controllers << QString::number(m.word >> 8 & 0x7F);
        QVERIFY2(controllers.contains(QStringLiteral("120")) &&
                     controllers.contains(QStringLiteral("123")),
                 qPrintable(controllers.join(QLatin1Char(' '))));
        QVERIFY(session()->isPlaying());
        QCOMPARE(session()->commands().count(), steps); // switches are not undo steps
        act(form, "transportPlayAction")->trigger();
    }

    void theMetronomeActionSwitchesTheMidiMetronomeWithTheProgramsNotes()
    {
        Settings settings;
        MainWindow form(&settings);
        QVERIFY(act(form, "transportMetroAction")->isChecked()); // "/Metronome" defaults to on
        QVERIFY(midi()->isMetronomeOn());
        const MetronomeSound sound = midi()->metronomeSound();
        QCOMPARE(sound.channel, 9);
        QCOMPARE(sound.barNote, 36);
        QCOMPARE(sound.beatNote, 38);
        QCOMPARE(sound.barVelocity, 96);
        QCOMPARE(sound.beatVelocity, 64);
        QCOMPARE(sound.barDuration, 48);
        QCOMPARE(sound.beatDuration, 24);
        QVERIFY(!midi()->metronomeOwnBus());
        QVERIFY(midi()->metronomeBus());
        QVERIFY(!audio()->isMetronomeOn()); // the audio metronome is off in the settings

        act(form, "transportMetroAction")->trigger();
        QVERIFY(!midi()->isMetronomeOn());
        QVERIFY(!settings.metronome);
        act(form, "transportMetroAction")->trigger();
        QVERIFY(midi()->isMetronomeOn());

        // With the MIDI metronome routed off, the action cannot switch it on.
        settings.metronomeRouting.midi = false;
        settings.metronomeRouting.audio = true;
        act(form, "transportMetroAction")->trigger();
        act(form, "transportMetroAction")->trigger();
        QVERIFY(!midi()->isMetronomeOn());
        QVERIFY(audio()->isMetronomeOn());
    }

    void theWindowFollowsTheDevicesTransport()
    {
        Settings settings;
        MainWindow form(&settings);
        giveTheSongAnEnd(form, 100 * 44100);
        act(form, "transportPlayAction")->trigger();
        render(2);
        tick(form, 2);
        QCOMPARE(session()->playHead(), 2 * kBlock);

        // A device position within the drift tolerance (7 blocks at 66 ms) is left alone.
        client()->transportLocate(2 * kBlock + 7 * kBlock);
        tick(form, 2);
        QCOMPARE(session()->playHead(), 2 * kBlock);

        client()->transportLocate(44100);
        tick(form);
        QCOMPARE(session()->playHead(), 44100u);
        QVERIFY(session()->isPlaying());

        // The device stopped rolling: the window pauses.
        client()->transportStop();
        tick(form);
        QVERIFY(!session()->isPlaying());
        QVERIFY(!act(form, "transportPlayAction")->isChecked());
    }

    void recordMakesAnUndoableTakeAndRecordAgainEndsIt()
    {
        Settings settings;
        MainWindow form(&settings);
        ScriptedAnswers answers;
        act(form, "transportRecordAction")->trigger();
        QVERIFY(session()->isRecording());
        QVERIFY(session()->isPlaying());
        QVERIFY(act(form, "transportRecordAction")->isChecked());
        QVERIFY(form.audioTrack()->recordingClip());
        render(20);
        act(form, "transportRecordAction")->trigger();
        QVERIFY(!session()->isRecording());
        QVERIFY(!session()->isPlaying());
        QVERIFY(!act(form, "transportRecordAction")->isChecked());
        QVERIFY(answers.asked().isEmpty());

        // Recorded from frame 0: the part before 0 after the latency shift is cut off.
        Clip* take = form.audioTrack()->firstClip();
        QVERIFY(take);
        const auto shift = uint32_t(AppTestEnvironment::kRecordingLatency * 44100);
        QCOMPARE(take->start(), 0u);
        QCOMPARE(take->offset(), shift);
        QCOMPARE(take->length(), session()->playHead() - shift);
        QVERIFY(take->needsTranscription());
        QCOMPARE(session()->commands().current()->name(), QStringLiteral("record clip"));
        QVERIFY(session()->commands().revert());
        QCOMPARE(form.audioTrack()->clipCount(), 0);
        QVERIFY(session()->commands().redo());
        QCOMPARE(form.audioTrack()->firstClip(), take);
    }

    void recordWithoutAnInputDeviceSaysSoAndChangesNothing()
    {
        Settings settings;
        MainWindow form(&settings);
        ScriptedAnswers answers;
        client()->setInputAvailable(false);
        act(form, "transportRecordAction")->trigger();
        client()->setInputAvailable(true);
        QCOMPARE(answers.asked().size(), 1);
        QCOMPARE(answers.asked().first().text,
                 QStringLiteral("No audio input device is available"));
        QVERIFY(!session()->isRecording());
        QVERIFY(!session()->isPlaying());
        QVERIFY(!act(form, "transportRecordAction")->isChecked());
        QVERIFY(!form.audioTrack()->recordingClip());
        QCOMPARE(session()->commands().current(), nullptr);
    }

    void theStoredRecordingLatencyPlacesTakes()
    {
        {
            Settings settings; // -1: the recommended latency
            MainWindow form(&settings);
            QCOMPARE(audio()->recordingLatency(), AppTestEnvironment::kRecordingLatency);
        }
        Settings settings;
        settings.audioRecordLatency = 0.0; // none
        MainWindow form(&settings);
        QCOMPARE(audio()->recordingLatency(), 0.0);
    }

    void devicesThatCannotStartAreReportedAndNothingPlays()
    {
        installEngines(EngineFactory::make([] { return std::unique_ptr<AudioClient>(); }));
        {
            ScriptedAnswers answers;
            Settings settings;
            MainWindow form(&settings);         // the window starts all the same and says so once
            QVERIFY(answers.asked().isEmpty()); // the box waits until the window is up
            QTRY_COMPARE(answers.asked().size(), 1);
            const QString text = answers.asked().first().text;
            QVERIFY(text.startsWith(QStringLiteral("There is no audio output")));
            QVERIFY(text.contains(QStringLiteral("can still be made and saved")));
            QVERIFY(!text.contains(QStringLiteral("Error >")));
            QVERIFY(!text.contains(QLatin1Char('_'))); // no function names of the libraries
            QVERIFY(ErrorLog::isEmpty());              // the detail went to the diagnostic output
            QCOMPARE(form.statusBar()->currentMessage(), text);
            QVERIFY(!act(form, "transportPlayAction")->isEnabled());
            act(form, "transportPlayAction")->trigger();
            QCOMPARE(answers.asked().size(), 1);
            QVERIFY(!session()->isPlaying());
            QVERIFY(!act(form, "transportPlayAction")->isChecked());
            QVERIFY(!session()->isActive());
        }
        installEngines(EngineFactory::offline(&programLayer().layer));
    }

    void renderingASongPlaysItsMidiInStepWithTheAudioEveryTime()
    {
        RecordingLayer recorded;
        Session song(EngineFactory::offline(&recorded.layer));
        auto* metronome = static_cast<MidiEngine*>(song.midiEngine());
        metronome->setMetronomeOn(true);
        auto* track = new Track(&song, Track::AudioTrack);
        auto* clip = new Clip();
        clip->setLength(2 * 44100); // two seconds at 120 bpm: four beats and the next bar
        track->addClip(clip);
        song.addTrack(track);

        struct Blocks : OfflineAudioClient::Output
        {
            uint32_t frames = 0;
            void write(const float* const*, uint32_t n) override { frames += n; }
        } blocks;
        QVERIFY(renderSongOffline(song, blocks));
        QCOMPARE(blocks.frames, 173 * kBlock); // ceil(88200 / 512) blocks
        using Note = std::tuple<int64_t, int, int>;
        const std::vector<Note> clicks{
            {0, 76, 96}, {500, 77, 64}, {1000, 77, 64}, {1500, 77, 64}, {2000, 76, 96}};
        QCOMPARE(recorded.noteOns(), clicks);

        recorded.output.clear();
        QVERIFY(renderSongOffline(song, blocks));
        QCOMPARE(recorded.noteOns(), clicks);
    }
};

QTEST_MAIN(TestTransport)
#include "tst_transport.moc"
