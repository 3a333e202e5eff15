// The MIDI engine's playback: a song scheduled window by window ahead of a play head that the
// test moves like the audio cycle, delivered on the layer's audio-frame clock.
#include "midi_engine_harness.h"
#include "midi_monitor.h"
#include "midi_output_thread.h"

#include <QTest>

#include <csignal>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// 120 bpm, 960 ticks per beat, 44100 Hz: a beat is 22050 frames, 960 ticks and 500 ms; the
// queue runs at 1920 ticks per second, so tick t is delivered at millisecond t * 1000 / 1920.
constexpr uint32_t kBeatFrames = 22050;
constexpr uint32_t kBeatTicks = 960;

int64_t msOfTick(uint64_t tick)
{
    return int64_t(tick * 1000 / 1920);
}

/** The note on and note off the layer delivers for a note at tick with duration. */
void expectNote(std::vector<Delivered>& out, int channel, uint64_t tick, int key, int velocity,
                uint32_t duration)
{
    const int64_t on = msOfTick(tick);
    const int64_t off = std::max(msOfTick(tick + std::max<uint32_t>(duration, 1) - 1), on + 1);
    out.push_back({on, shortWord(0x90 | channel, key, velocity)});
    out.push_back({off, shortWord(0x80 | channel, key, 0)});
}

/** Prints both lists from the first difference on, so a failure shows what moved. */
void reportDifference(const std::vector<Delivered>& actual, const std::vector<Delivered>& expected)
{
    size_t i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i])
        ++i;
    for (size_t k = i; k < i + 8; ++k) {
        const QString a =
            k < actual.size()
                ? QStringLiteral("%1 ms %2").arg(actual[k].ms).arg(actual[k].word, 6, 16)
                : QStringLiteral("-");
        const QString e =
            k < expected.size()
                ? QStringLiteral("%1 ms %2").arg(expected[k].ms).arg(expected[k].word, 6, 16)
                : QStringLiteral("-");
        qWarning("#%zu actual %s   expected %s", k, qPrintable(a), qPrintable(e));
    }
}

std::vector<Delivered> upTo(std::vector<Delivered> list, int64_t lastMs)
{
    list.erase(std::remove_if(list.begin(), list.end(),
                              [lastMs](const Delivered& d) { return d.ms > lastMs; }),
               list.end());
    std::sort(list.begin(), list.end());
    return list;
}

bool isNoteOn(const Delivered& d, int channel)
{
    return (d.word & 0xFF) == uint32_t(0x90 | channel);
}

/** The plain engine standing in for an audio engine on a sound card's real-time callback. */
class RealTimeAudioEngine : public Engine
{
public:
    explicit RealTimeAudioEngine(Session* session) : Engine(session, AudioKind) {}
    bool hasRealTimeClient() const override { return realTime; }
    bool realTime = true;
};

/** A session whose MIDI engine runs on `layer` and whose audio engine is RealTimeAudioEngine. */
std::unique_ptr<Session> realTimeSession(SequencerLayer& layer, MidiEngine*& midi,
                                         RealTimeAudioEngine*& audio)
{
    return std::make_unique<Session>([&](Session* s, int kind) -> std::unique_ptr<Engine> {
        if (kind == Engine::AudioKind) {
            auto engine = std::make_unique<RealTimeAudioEngine>(s);
            audio = engine.get();
            return engine;
        }
        auto engine = std::make_unique<MidiEngine>(s, &layer);
        midi = engine.get();
        return engine;
    });
}

/** Runs `body` in a forked child; true when the child ended on an abort (a failed assertion). */
bool abortsInChild(const std::function<void()>& body)
{
    const pid_t child = fork();
    if (child == 0) {
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT;
}

} // namespace

class TestMidiEngine : public QObject
{
    Q_OBJECT

    /** A song of 60 beats: melody, bass from bar 2, chords in two clips, and the metronome. */
    struct Song
    {
        std::vector<Delivered> expected;
    };

    static Song buildSong(MidiEngineHarness& h)
    {
        Song song;
        Track* melody = h.addTrack(0);
        MidiClip* m = h.addClip(melody, 0, 60 * kBeatFrames);
        for (uint32_t k = 0; k < 60; ++k) {
            h.addNote(m, k * kBeatTicks, 60 + int(k % 12), 90, 480);
            expectNote(song.expected, 0, k * kBeatTicks, 60 + int(k % 12), 90, 480);
        }

        Track* bass = h.addTrack(1);
        MidiClip* b = h.addClip(bass, 8 * kBeatFrames, 40 * kBeatFrames);
        b->sequence().insert(MidiEvent::channel(0, MidiEvent::Controller, 7, 100));
        song.expected.push_back({msOfTick(8 * kBeatTicks), shortWord(0xB1, 7, 100)});
        for (uint32_t k = 0; k < 40; k += 2) {
            h.addNote(b, k * kBeatTicks, 36 + int(k % 5), 100, 1800);
            expectNote(song.expected, 1, (8 + k) * kBeatTicks, 36 + int(k % 5), 100, 1800);
        }

        // Chords: bars of 4 beats in [0, 16) and [24, 56) beats; the second clip's material
        // runs past its end and is cut there.
        Track* chords = h.addTrack(2);
        const std::pair<uint32_t, uint32_t> clips[] = {{0, 16}, {24, 32}};
        for (const auto& [first, beats] : clips) {
            MidiClip* c = h.addClip(chords, first * kBeatFrames, beats * kBeatFrames);
            for (uint32_t bar = 0; bar * 4 < beats + 8; ++bar)
                for (int key : {48, 52, 55}) {
                    h.addNote(c, bar * 4 * kBeatTicks, key, 70, 4 * kBeatTicks - 10);
                    if (bar * 4 < beats)
                        expectNote(song.expected, 2, (first + bar * 4) * kBeatTicks, key, 70,
                                   4 * kBeatTicks - 10);
                }
        }

        // The metronome on channel 10: note 76 at 96 for 48 ticks on the first beat of each
        // bar, note 77 at 64 for 24 ticks on the others.
        for (uint32_t k = 0; k < 64; ++k) {
            const bool bar = k % 4 == 0;
            expectNote(song.expected, 9, k * kBeatTicks, bar ? 76 : 77, bar ? 96 : 64,
                       bar ? 48 : 24);
        }
        // Playing starts with every track's volume and pan (no programs are set here).
        for (int channel = 0; channel < 3; ++channel) {
            song.expected.push_back({0, shortWord(0xB0 | channel, 7, 127)});
            song.expected.push_back({0, shortWord(0xB0 | channel, 10, 64)});
        }
        h.engine->setMetronomeOn(true);
        return song;
    }

private Q_SLOTS:
    void songIsDeliveredInOrderAndTime()
    {
        MidiEngineHarness h;
        QVERIFY(h.open());
        const Song song = buildSong(h);
        h.play();
        h.run(30 * 44100);

        const int64_t last = h.deliveredUpToMs();
        QVERIFY(last >= 29990);
        const auto actual = upTo(h.delivered(), last);
        const auto expected = upTo(song.expected, last);
        if (actual != expected)
            reportDifference(actual, expected);
        QCOMPARE(actual.size(), expected.size());
        QVERIFY(actual == expected);
        QCOMPARE(h.output.lost(), size_t(0));

        // Scheduling stayed between one and two read-aheads in front of the play head.
        const uint32_t head = h.session->playHead();
        const uint32_t scheduled = h.engine->cursor()->frame();
        QVERIFY(scheduled > head + h.engine->readAhead());
        QVERIFY(scheduled <= head + 2 * h.engine->readAhead() + MidiEngineHarness::kCycle);

        // Stopping silences every channel at once.
        h.output.clear();
        h.stop();
        h.run(MidiEngineHarness::kCycle);
        int allNotesOff = 0;
        for (const Delivered& d : h.delivered())
            allNotesOff += (d.word & 0xF0) == 0xB0 && (d.word >> 8 & 0x7F) == 123;
        QCOMPARE(allNotesOff, 16);
    }

    void offlineRendersAreIdentical()
    {
        auto render = [] {
            MidiEngineHarness h;
            h.open();
            buildSong(h);
            h.play();
            h.run(10 * 44100);
            return h.delivered();
        };
        const auto first = render();
        QVERIFY(first.size() > 100);
        QVERIFY(first == render());
    }

    void loopShorterThanReadAheadKeepsQueueTimesRising()
    {
        MidiEngineHarness h;
        QVERIFY(h.open());
        Track* track = h.addTrack(0);
        MidiClip* clip = h.addClip(track, 0, 4 * kBeatFrames);
        h.addNote(clip, 0, 60, 100, 100);
        h.addNote(clip, 240, 62, 100, 100);
        // A quarter of a second, 480 ticks: every window of half a second wraps twice.
        h.session->setLoop(0, kBeatFrames / 2);
        h.play();
        h.run(5 * 44100);

        const auto notes = h.eventsOfType(SequencerEvent::NoteWithDuration);
        QVERIFY(notes.size() > 40);
        for (size_t i = 0; i < notes.size(); ++i) {
            QCOMPARE(notes[i].time, uint32_t(240 * i));
            QCOMPARE(int(notes[i].data.note.key), i % 2 ? 62 : 60);
        }
        QVERIFY(h.engine->tickOffset() < 0);
        QCOMPARE(h.engine->tickOffset() % 480, int64_t(0)); // one loop length per wrap

        int64_t previous = -1;
        for (const Delivered& d : h.delivered())
            if (isNoteOn(d, 0)) {
                QVERIFY(d.ms > previous);
                QCOMPARE(d.ms % 125, int64_t(0));
                previous = d.ms;
            }
        QVERIFY(previous >= 4875);
    }

    void mutedTrackKeepsControllersAndSoloSilencesOthers()
    {
        MidiEngineHarness h;
        QVERIFY(h.open());
        Track* muted = h.addTrack(0);
        Track* soloed = h.addTrack(1);
        Track* other = h.addTrack(2);
        for (Track* t : {muted, soloed, other}) {
            MidiClip* c = h.addClip(t, 0, 8 * kBeatFrames);
            c->sequence().insert(MidiEvent::channel(0, MidiEvent::Controller, 11, 80));
            c->sequence().insert(MidiEvent::channel(10, MidiEvent::Program, 5));
            h.addNote(c, 960, 60, 100, 200);
        }
        h.session->mute(muted, true);
        h.play();
        h.run(2 * 44100);
        const auto all = h.delivered();
        auto has = [&all](uint32_t status) {
            return std::any_of(all.begin(), all.end(),
                               [status](const Delivered& d) { return (d.word & 0xFF) == status; });
        };
        QVERIFY(has(0xB0) && has(0xC0)); // the muted track's controller and program
        QVERIFY(!has(0x90));
        QVERIFY(has(0x91) && has(0x92));

        // Solo: only the soloed track's notes start; controllers still go everywhere.
        MidiEngineHarness s;
        QVERIFY(s.open());
        Track* a = s.addTrack(0);
        Track* b = s.addTrack(1);
        for (Track* t : {a, b}) {
            MidiClip* c = s.addClip(t, 0, 8 * kBeatFrames);
            c->sequence().insert(MidiEvent::channel(0, MidiEvent::Controller, 11, 80));
            s.addNote(c, 960, 60, 100, 200);
        }
        s.session->solo(b, true);
        s.play();
        s.run(2 * 44100);
        const auto soloed2 = s.delivered();
        auto hasS = [&soloed2](uint32_t status) {
            return std::any_of(soloed2.begin(), soloed2.end(),
                               [status](const Delivered& d) { return (d.word & 0xFF) == status; });
        };
        QVERIFY(hasS(0xB0) && hasS(0xB1));
        QVERIFY(!hasS(0x90));
        QVERIFY(hasS(0x91));
    }

    void muteDuringPlaybackSilencesAndUnmuteReschedules()
    {
        MidiEngineHarness h;
        QVERIFY(h.open());
        Track* track = h.addTrack(0);
        MidiClip* clip = h.addClip(track, 0, 20 * kBeatFrames);
        h.addNote(clip, 0, 50, 100, 3000); // sounding when the track is muted
        for (uint32_t k = 4; k < 16; ++k)
            h.addNote(clip, k * kBeatTicks, 60 + int(k), 100, 100);
        h.play();
        h.run(44100 / 5);
        h.session->mute(track, true);
        h.run(2 * 44100);
        h.session->mute(track, false);
        h.run(3 * 44100);

        const auto all = h.delivered();
        std::vector<int64_t> ons;
        bool longNoteEnded = false;
        bool silenced = false;
        for (const Delivered& d : all) {
            if (isNoteOn(d, 0))
                ons.push_back(d.ms);
            longNoteEnded |= d.word == shortWord(0x80, 50, 0) && d.ms == msOfTick(2999);
            silenced |= d.word == shortWord(0xB0, 123, 0) && d.ms < 300;
        }
        QVERIFY(silenced);
        QVERIFY(longNoteEnded); // its note off was scheduled with it
        // Muted from 0.2 s to about 2.2 s: the note at 2.0 s is lost, every later one plays
        // once; those scheduled while the track was muted are queued again at unmute.
        std::vector<int64_t> expected{0};
        for (uint32_t k = 5; k < 16; ++k)
            if (msOfTick(k * kBeatTicks) <= h.deliveredUpToMs())
                expected.push_back(msOfTick(k * kBeatTicks));
        QCOMPARE(expected.size(), size_t(7));
        QCOMPARE(ons, expected);
    }

    void fadeGainScalesVelocity_data()
    {
        QTest::addColumn<float>("gain");
        QTest::addColumn<int>("velocity");
        QTest::newRow("unity") << 1.0f << 100;
        QTest::newRow("half") << 0.5f << 50;
        QTest::newRow("above unity is clamped, not wrapped") << 1.5f << 127;
    }

    void fadeGainScalesVelocity()
    {
        QFETCH(float, gain);
        QFETCH(int, velocity);
        MidiEngineHarness h;
        QVERIFY(h.open());
        MidiClip* clip = h.addClip(h.addTrack(3), 0, 4 * kBeatFrames);
        clip->setGain(gain);
        h.addNote(clip, 480, 64, 100, 120);
        h.play();
        const auto notes = h.eventsOfType(SequencerEvent::NoteWithDuration);
        QCOMPARE(notes.size(), size_t(1));
        QCOMPARE(int(notes[0].data.note.velocity), velocity);
        QCOMPARE(int(notes[0].data.note.channel), 3);
        QCOMPARE(notes[0].data.note.duration, 120u);
        QCOMPARE(notes[0].time, 480u);
    }

    void metronomeBeatOnWindowStartPlaysOnWindowEndWaits()
    {
        MidiEngineHarness h;
        QVERIFY(h.open());
        h.engine->setMetronomeOn(true);
        // The first window is [0, 22050) frames = [0, 960) ticks: the beat on tick 0 is in it,
        // the beat on tick 960 belongs to the next window.
        h.play();
        auto clicks = h.eventsOfType(SequencerEvent::NoteWithDuration);
        QCOMPARE(clicks.size(), size_t(1));
        QCOMPARE(clicks[0].time, 0u);
        QCOMPARE(int(clicks[0].tag), int(SequencerEvent::kMetronomeTag));
        h.cycle();
        clicks = h.eventsOfType(SequencerEvent::NoteWithDuration);
        QCOMPARE(clicks.size(), size_t(2));
        QCOMPARE(clicks[1].time, 960u);
        const auto& beat = clicks[1].data.note;
        QCOMPARE(int(beat.channel), 9);
        QCOMPARE(int(beat.key), 77);
        QCOMPARE(int(beat.velocity), 64);
        QCOMPARE(beat.duration, 24u);
        const auto& bar = clicks[0].data.note;
        QCOMPARE(int(bar.key), 76);
        QCOMPARE(int(bar.velocity), 96);
        QCOMPARE(bar.duration, 48u);
    }

    void tempoChangeKeepsEventsOnTheirTime()
    {
        // 120 bpm for two bars, then 60 bpm: the queue keeps its tempo, so the beats after the
        // change come every second on the queue's clock and reach the output on time.
        MidiEngineHarness h;
        QVERIFY(h.open());
        h.session->scale().setNode(8 * kBeatFrames, 60.0f, 2, 4, 2);
        h.session->afterTempoChange();
        h.engine->setMetronomeOn(true);
        h.play();
        h.run(8 * 44100);
        std::vector<int64_t> beats;
        for (const Delivered& d : h.delivered())
            if (isNoteOn(d, 9))
                beats.push_back(d.ms);
        QVERIFY(beats.size() >= 11);
        for (size_t k = 0; k < 9; ++k)
            QCOMPARE(beats[k], int64_t(500 * k));
        QCOMPARE(beats[9], int64_t(5000));
        QCOMPARE(beats[10], int64_t(6000));
        const auto tempos = h.eventsOfType(SequencerEvent::Tempo);
        QCOMPARE(tempos.size(), size_t(1));
        QCOMPARE(tempos[0].data.queueControl.value, 1000000);
        QCOMPARE(int(tempos[0].destinationClient), 0);
        QCOMPARE(tempos[0].time, 7680u);
    }

    void outputThreadSchedulesWhenWoken()
    {
        MidiEngineHarness h(false);
        QVERIFY(h.open());
        MidiClip* clip = h.addClip(h.addTrack(0), 0, 8 * kBeatFrames);
        for (uint32_t k = 0; k < 8; ++k)
            h.addNote(clip, k * kBeatTicks, 60, 100, 100);
        QVERIFY(h.engine->outputThread() && h.engine->outputThread()->isRunning());
        h.play();
        QCOMPARE(h.engine->windowCount(), uint64_t(1)); // start schedules the first window
        // The thread may skip a wake-up while busy; the next cycle asks again.
        for (int i = 0; i < 200 && h.engine->windowCount() < 2; ++i) {
            h.cycle();
            QTest::qWait(5);
        }
        QVERIFY(h.engine->windowCount() >= 2);
        h.stop();
        QVERIFY(h.engine->clean());
        QVERIFY(!h.engine->outputThread());
    }

    // Scheduling on the cycle would allocate in a sound card's callback: debug builds stop at
    // an assertion, other builds refuse and leave the windows to the output thread.
    void scheduleOnCycleIsRefusedOnRealTimeClient()
    {
        RecordingMidiOutput output(1024);
        SequencerLayer layer;
        layer.setOutput(&output);
        MidiEngine* midi = nullptr;
        RealTimeAudioEngine* audio = nullptr;
        std::unique_ptr<Session> session = realTimeSession(layer, midi, audio);
        midi->setLayerClock(SequencerLayer::Clock::AudioFrames);

        audio->realTime = false; // an offline client first: allowed
        QVERIFY(midi->setScheduleOnCycle(true));
        QVERIFY(midi->scheduleOnCycle());
        QVERIFY(midi->setScheduleOnCycle(false));
        audio->realTime = true;
#ifndef QT_NO_DEBUG
        QVERIFY(abortsInChild([midi] { midi->setScheduleOnCycle(true); }));
        QVERIFY(!midi->scheduleOnCycle());
        // Switched on before the real-time client opened: start stops at the assertion. The
        // child starts the output thread, which ThreadSanitizer refuses after a fork.
#ifndef __SANITIZE_THREAD__
        QVERIFY(abortsInChild([&] {
            audio->realTime = false;
            midi->setScheduleOnCycle(true);
            audio->realTime = true;
            if (midi->init() && audio->init() && midi->activate() && audio->activate())
                session->setPlaying(true);
        }));
#endif
#else
        QVERIFY(!midi->setScheduleOnCycle(true));
        QVERIFY(!midi->scheduleOnCycle());
        QVERIFY(midi->setScheduleOnCycle(false)); // turning it off is always fine

        // Switched on before the real-time client opened: start falls back to the thread.
        audio->realTime = false;
        QVERIFY(midi->setScheduleOnCycle(true));
        audio->realTime = true;
        QVERIFY(midi->init() && audio->init() && midi->activate() && audio->activate());
        session->setPlaying(true);
        QVERIFY(!midi->scheduleOnCycle());
        QVERIFY(midi->outputThread() && midi->outputThread()->isRunning());
        session->setPlaying(false);
        QVERIFY(midi->clean());
#endif
    }
};

QTEST_GUILESS_MAIN(TestMidiEngine)
#include "tst_midi_engine.moc"
