// The audio engine's process cycle on an offline client whose cycles the test runs: play head,
// loop wraps, fades, the process lock, the MIDI wake-up, the gain and pan law and the render.
#include "audio_bus.h"
#include "audio_engine.h"
#include "audio_monitor.h"
#include "offline_audio_engine.h"
#include "offline_render.h"

#include "clip.h"
#include "error_log.h"
#include "session.h"
#include "session_cursor.h"
#include "track.h"

#include <QTest>
#include <atomic>
#include <cmath>
#include <vector>

namespace {

constexpr uint32_t kBlock = AudioClient::kBufferSize;

/** Keeps every block the client writes. */
struct CapturedOutput : OfflineAudioClient::Output
{
    std::vector<float> left, right;
    void write(const float* const* channels, uint32_t frames) override
    {
        left.insert(left.end(), channels[0], channels[0] + frames);
        right.insert(right.end(), channels[1], channels[1] + frames);
    }
    void clear() { left.clear(), right.clear(); }
};

/** Input whose left channel counts frames and whose right channel is constant. */
struct RampInput : OfflineAudioClient::Input
{
    float next = 0;
    void read(float* const* channels, uint32_t frames) override
    {
        for (uint32_t k = 0; k < frames; ++k) {
            channels[0][k] = next++;
            channels[1][k] = -0.5f;
        }
    }
};

/** A MIDI engine that counts the audio cycle's wake-ups. */
class CountingMidiEngine : public Engine
{
public:
    explicit CountingMidiEngine(Session* session) : Engine(session, MidiKind) {}
    void wakeOutput() override { wakes.fetch_add(1, std::memory_order_relaxed); }
    std::atomic<int> wakes{0};
};

/**
 * A clip that mixes `level` into its track's output bus for the frames of the range it covers
 * and remembers every range it was asked to render.
 */
class ToneClip : public Clip
{
public:
    ToneClip(uint32_t start, uint32_t length, float level) : m_level(level)
    {
        setStart(start);
        setLength(length);
    }
    void process(uint32_t first, uint32_t last) override
    {
        ranges.push_back({first, last});
        auto* engine = static_cast<AudioEngine*>(track()->engine());
        auto* bus = static_cast<AudioBus*>(track()->outputBus());
        const uint32_t base = engine->framesThisCycle();
        for (uint32_t f = std::max(first, start()); f < std::min(last, end()); ++f)
            for (int channel = 0; channel < bus->channels(); ++channel)
                bus->outputChannels()[channel][base + f - first] += m_level;
    }
    std::vector<std::pair<uint32_t, uint32_t>> ranges;

private:
    float m_level;
};

/** A session with the audio engine on an offline client the test drives, and a counting MIDI
 * engine. */
struct Rig
{
    Session session;
    AudioEngine* audio = nullptr;
    CountingMidiEngine* midi = nullptr;
    OfflineAudioClient* client = nullptr;
    CapturedOutput output;

    explicit Rig(bool open = true)
    {
        auto engine = makeOfflineAudioEngine(&session, &client);
        audio = engine.get();
        auto counting = std::make_unique<CountingMidiEngine>(&session);
        midi = counting.get();
        session.setEngines(std::move(engine), std::move(counting));
        session.clear();
        if (open)
            start();
    }

    void start()
    {
        QVERIFY(audio->init());
        QVERIFY(audio->activate());
        QVERIFY(midi->init());
        QVERIFY(midi->activate());
        QVERIFY(session.ensureMasterBuses());
        client->setOutput(&output);
    }

    ToneClip* addTone(uint32_t start, uint32_t length, float level = 1.0f)
    {
        auto* track = new Track(&session, Track::AudioTrack);
        auto* clip = new ToneClip(start, length, level);
        track->addClip(clip);
        session.addTrack(track);
        return clip;
    }

    void play()
    {
        session.setPlaying(true);
        audio->discardFadeRequest(); // full level from the first cycle
    }

    void render(uint32_t cycles) { QCOMPARE(client->render(cycles), 0); }
    uint32_t head() const { return session.playHead(); }
    AudioBus* master() const { return static_cast<AudioBus*>(audio->buses().front().get()); }
};

bool allEqual(const std::vector<float>& samples, size_t from, size_t to, float value)
{
    for (size_t k = from; k < to; ++k)
        if (samples[k] != value)
            return false;
    return true;
}

} // namespace

class TestAudioEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initOpensTheClientNamesTheSessionAndCreatesStereoBuses()
    {
        Rig rig;
        QCOMPARE(rig.session.clientName(), QStringLiteral("Cantova"));
        QCOMPARE(rig.session.scale().sampleRate(), 44100u);
        QVERIFY(rig.audio->hasDeviceClient());
        QCOMPARE(rig.audio->buses().size(), size_t(1));
        QCOMPARE(rig.master()->name(), QStringLiteral("Master"));
        QCOMPARE(rig.master()->channels(), 2);
        QVERIFY(rig.master()->audioInputMonitor() && rig.master()->audioOutputMonitor());
        QVERIFY(rig.audio->clean());
        QVERIFY(!rig.audio->hasDeviceClient());
    }

    void aClientThatCannotOpenFailsInit()
    {
        Session session;
        AudioEngine engine(&session, [] { return std::unique_ptr<AudioClient>(); });
        QVERIFY(!engine.init());
        QVERIFY(!engine.isInitialized());
        QVERIFY(!engine.activate());
        QVERIFY(!engine.start());
        QVERIFY(!engine.isPlaying());
    }

    void playHeadMovesByOneBlockPerCycleAndWakesTheMidiEngineEachTime()
    {
        Rig rig;
        ToneClip* tone = rig.addTone(0, 100000);
        rig.render(2); // stopped: nothing moves, nothing renders
        QCOMPARE(rig.head(), 0u);
        QCOMPARE(rig.midi->wakes.load(), 0);
        QVERIFY(tone->ranges.empty());

        rig.play();
        rig.render(3);
        QCOMPARE(rig.head(), 3 * kBlock);
        QCOMPARE(rig.audio->cursor()->frameCount(), 3 * kBlock);
        QCOMPARE(rig.midi->wakes.load(), 3);
        QCOMPARE(rig.audio->framesThisCycle(), kBlock);
        QCOMPARE(tone->ranges.size(), size_t(3));
        QCOMPARE(tone->ranges.back(), std::make_pair(2 * kBlock, 3 * kBlock));
        QVERIFY(allEqual(rig.output.left, 0, 2 * kBlock, 0.0f));
        QVERIFY(allEqual(rig.output.left, 2 * kBlock, 5 * kBlock, 1.0f));

        rig.session.setPlaying(false);
        rig.render(2);
        QCOMPARE(rig.head(), 3 * kBlock);
        QCOMPARE(rig.midi->wakes.load(), 3);
    }

    void transportFollowsStartStopAndLoopWrapsOnlyWithItsModeBit()
    {
        Rig rig;
        TransportPosition position;
        rig.session.setLoop(100, 300);
        rig.play();
        QCOMPARE(rig.client->transportQuery(&position), 1);
        rig.render(1);
        rig.client->transportQuery(&position);
        // Located with the play head after the last wrap, not left behind at the loop start.
        QCOMPARE(position.frame, rig.head());
        QVERIFY(position.frame > 100u && position.frame < 300u);
        rig.session.setPlaying(false);
        QCOMPARE(rig.client->transportQuery(&position), 0);

        rig.audio->setTransportMode(1);
        rig.session.setPlaying(true);
        QVERIFY(rig.audio->isPlaying());
        QCOMPARE(rig.client->transportQuery(&position), 0); // never rolls: the cycle never runs
        const uint32_t head = rig.head();
        rig.render(2);
        QCOMPARE(rig.head(), head);
    }

    void loopShorterThanACycleWrapsSeveralTimes()
    {
        Rig rig;
        ToneClip* tone = rig.addTone(0, 100000);
        rig.session.setLoop(100, 300);
        rig.play();
        rig.render(1);
        // [0, 300), then [100, 300) twice more would be 700 > 512: 300 + 200 + 12.
        const std::vector<std::pair<uint32_t, uint32_t>> expected{{0, 300}, {100, 300}, {100, 112}};
        QCOMPARE(tone->ranges, expected);
        QCOMPARE(rig.head(), 112u);
        QCOMPARE(rig.audio->framesThisCycle(), kBlock);
        QCOMPARE(rig.audio->cursor()->frameCount(), kBlock);
        // The tone filled the whole block, part after part, without gaps or overlaps.
        QVERIFY(allEqual(rig.output.left, 0, kBlock, 1.0f));

        rig.render(1); // [112, 300) = 188, [100, 300) = 200, [100, 224) = 124
        QCOMPARE(rig.head(), 224u);
        QCOMPARE(rig.midi->wakes.load(), 2);
    }

    void aLoopAheadOfThePlayHeadWrapsOnlyWhenReached()
    {
        Rig rig;
        ToneClip* tone = rig.addTone(0, 100000);
        rig.session.setLoop(1000, 1100);
        rig.play();
        rig.render(2);
        QCOMPARE(rig.head(), 1024u);
        rig.render(1); // [1024, 1100) then [1000, 1100) four times and [1000, 1036)
        QCOMPARE(rig.head(), 1036u);
        QCOMPARE(tone->ranges.size(), size_t(2 + 6));

        // A play head already past the loop end plays on.
        rig.session.locate(5000);
        rig.play();
        rig.render(1);
        QCOMPARE(rig.head(), 5000 + kBlock);
    }

    void aCycleEndingOnTheLoopEndWrapsToItsStart()
    {
        Rig rig;
        ToneClip* tone = rig.addTone(0, 100000);
        rig.session.setLoop(kBlock / 2, 2 * kBlock);
        rig.play();
        rig.render(2); // the second cycle ends exactly on the loop end
        QCOMPARE(rig.head(), kBlock / 2);
        rig.render(1);
        QCOMPARE(rig.head(), kBlock / 2 + kBlock);
        QCOMPARE(tone->ranges.front(), std::make_pair(0u, kBlock));
    }

    void fadeOutSilencesWithinOneCycleThenOnlyTheHeadMoves()
    {
        Rig rig;
        ToneClip* tone = rig.addTone(0, 100000);
        rig.play();
        rig.render(1);
        rig.audio->requestFade(-1);
        QCOMPARE(rig.audio->pendingFade(), -1);
        rig.render(1);
        QCOMPARE(rig.audio->pendingFade(), 0);
        QVERIFY(rig.audio->isStopping());
        // Frame k of the fading cycle is scaled by 1 - k / 512.
        for (uint32_t k : {0u, 1u, 256u, 511u}) {
            QCOMPARE(rig.output.left[kBlock + k], 1.0f - float(k) / float(kBlock));
            QCOMPARE(rig.output.right[kBlock + k], 1.0f - float(k) / float(kBlock));
        }
        const size_t rendered = tone->ranges.size();
        const int wakes = rig.midi->wakes.load();
        rig.render(2);
        QCOMPARE(rig.head(), 4 * kBlock);
        QCOMPARE(rig.audio->cursor()->frameCount(), 4 * kBlock);
        QVERIFY(allEqual(rig.output.left, 2 * kBlock, 4 * kBlock, 0.0f));
        QCOMPARE(tone->ranges.size(), rendered);
        QCOMPARE(rig.midi->wakes.load(), wakes);

        // A fade-in ends the stopping: the next cycle rises from 0.
        rig.audio->requestFade(+1);
        QVERIFY(!rig.audio->isStopping());
        rig.render(1);
        QCOMPARE(rig.output.left[4 * kBlock], 0.0f);
        QCOMPARE(rig.output.left[4 * kBlock + 256], 0.5f);
        rig.render(1);
        QVERIFY(allEqual(rig.output.left, 5 * kBlock, 6 * kBlock, 1.0f));
    }

    void fadeRequestsAreOnlyMadeWhilePlaying()
    {
        Rig rig;
        rig.audio->requestFade(-1);
        QCOMPARE(rig.audio->pendingFade(), 0);
        QVERIFY(!rig.audio->isStopping());
    }

    void aHeldProcessLockRendersNothing()
    {
        Rig rig;
        ToneClip* tone = rig.addTone(0, 100000);
        rig.play();
        rig.render(1);
        rig.session.lockEdit();
        rig.output.clear();
        const size_t rendered = tone->ranges.size();
        rig.render(3);
        QCOMPARE(rig.head(), kBlock);
        QCOMPARE(rig.audio->framesThisCycle(), 0u);
        QCOMPARE(rig.midi->wakes.load(), 1);
        QCOMPARE(tone->ranges.size(), rendered);
        QVERIFY(allEqual(rig.output.left, 0, 3 * kBlock, 0.0f));
        rig.session.unlockEdit();
        // The lock's release fades back in.
        rig.render(1);
        QCOMPARE(rig.head(), 2 * kBlock);
        QCOMPARE(rig.output.left[3 * kBlock], 0.0f);
        QCOMPARE(rig.output.left[3 * kBlock + 511], 511.0f / 512.0f);
    }

    void silencedTracksAreNotRendered()
    {
        Rig rig;
        ToneClip* first = rig.addTone(0, 100000, 0.25f);
        ToneClip* second = rig.addTone(0, 100000, 0.5f);
        rig.play();
        rig.render(1);
        QCOMPARE(rig.output.left[10], 0.75f);
        rig.session.mute(first->track(), true);
        rig.render(1);
        QCOMPARE(rig.output.left[kBlock + 10], 0.5f);
        rig.session.mute(first->track(), false);
        rig.session.solo(first->track(), true);
        rig.render(1);
        QCOMPARE(rig.output.left[2 * kBlock + 10], 0.25f);
        QCOMPARE(second->ranges.size(), size_t(2));
    }

    void clipsOutsideTheCycleAreLeftAlone()
    {
        Rig rig;
        ToneClip* later = rig.addTone(2000, 100);
        rig.play();
        rig.render(3); // up to 1536: the clip starts after every cycle's end
        QVERIFY(later->ranges.empty());
        rig.render(1);
        QCOMPARE(later->ranges.size(), size_t(1));
        QVERIFY(allEqual(rig.output.left, 0, 2000, 0.0f));
        QVERIFY(allEqual(rig.output.left, 2000, 2048, 1.0f));
    }

    void gainAndPanLaw_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<float>("gain");
        QTest::addColumn<float>("pan");
        QTest::addColumn<QList<float>>("expected");
        const float r2 = float(std::sqrt(2.0));
        const float c38 = float(std::cos(3.0 * M_PI / 8.0)),
                    s38 = float(std::sin(3.0 * M_PI / 8.0));
        QTest::newRow("centre") << 2 << 0.8f << 0.0f << QList<float>{0.8f, 0.8f};
        QTest::newRow("near centre counts as centre")
            << 2 << 0.8f << 0.0005f << QList<float>{0.8f, 0.8f};
        QTest::newRow("hard right") << 2 << 1.0f << 1.0f << QList<float>{0.0f, r2};
        QTest::newRow("hard left") << 2 << 0.5f << -1.0f << QList<float>{r2 * 0.5f, 0.0f};
        QTest::newRow("half right") << 2 << 1.0f << 0.5f << QList<float>{r2 * c38, r2 * s38};
        QTest::newRow("pairs, last unpaired plain")
            << 3 << 1.0f << 1.0f << QList<float>{0.0f, r2, 1.0f};
        QTest::newRow("out of range pan is a hard pan")
            << 2 << 1.0f << 7.0f << QList<float>{0.0f, r2};
    }

    void gainAndPanLaw()
    {
        QFETCH(int, channels);
        QFETCH(float, gain);
        QFETCH(float, pan);
        QFETCH(QList<float>, expected);
        AudioMonitor monitor(channels);
        monitor.setGain(gain);
        monitor.setPanning(pan);
        for (int channel = 0; channel < channels; ++channel)
            QVERIFY2(std::fabs(monitor.channelGain(channel) - expected[channel]) < 1e-6f,
                     qPrintable(QStringLiteral("channel %1: %2")
                                    .arg(channel)
                                    .arg(monitor.channelGain(channel))));
        QCOMPARE(monitor.channelGain(channels), 0.0f);
    }

    void theMasterMonitorPansTheOutputAndMetersIt()
    {
        Rig rig;
        rig.addTone(0, 100000, 0.5f);
        rig.master()->audioOutputMonitor()->setPanning(1.0f);
        rig.play();
        rig.render(1);
        QVERIFY(std::fabs(rig.output.left[0]) < 1e-6f);
        QVERIFY(std::fabs(rig.output.right[0] - float(std::sqrt(2.0) * 0.5)) < 1e-6f);
        QVERIFY(std::fabs(rig.master()->audioOutputMonitor()->takePeak(1) -
                          float(std::sqrt(2.0) * 0.5)) < 1e-6f);
        QCOMPARE(rig.master()->audioOutputMonitor()->takePeak(1), 0.0f); // taken
    }

    void passThroughCopiesTheInputAndTheInputMonitorMetersIt()
    {
        Rig rig;
        RampInput input;
        rig.client->setInput(&input);
        rig.master()->setPassThrough(true);
        rig.play();
        rig.render(1);
        QCOMPARE(rig.output.left[0], 0.0f);
        QCOMPARE(rig.output.left[511], 511.0f);
        QCOMPARE(rig.output.right[7], -0.5f);
        QCOMPARE(rig.master()->audioInputMonitor()->takePeak(0), 511.0f);
        QCOMPARE(rig.master()->audioInputMonitor()->takePeak(1), 0.5f);

        // Without pass-through the input is only metered.
        rig.master()->setPassThrough(false);
        rig.render(1);
        QVERIFY(allEqual(rig.output.left, kBlock, 2 * kBlock, 0.0f));
        QCOMPARE(rig.master()->audioInputMonitor()->takePeak(0), 1023.0f);
    }

    void aBusWithoutOutputGetsNoMonitorAndIsNotCommitted()
    {
        AudioBus bus(QStringLiteral("In"), Bus::Input, 2, kBlock);
        QVERIFY(bus.audioInputMonitor());
        QVERIFY(!bus.outputMonitor());
        bus.setFlags(Bus::Output);
        QVERIFY(!bus.inputMonitor());
        QVERIFY(bus.audioOutputMonitor());
        // Channels the device lacks get scratch buffers of the cycle's size.
        float left[kBlock] = {}, right[kBlock] = {};
        float* device[] = {left, right};
        AudioBus wide(QStringLiteral("Wide"), Bus::Duplex, 4, kBlock);
        wide.prepare(nullptr, device, 2, kBlock);
        QCOMPARE(wide.outputChannels()[1], right);
        QVERIFY(wide.outputChannels()[3] != nullptr && wide.outputChannels()[3] != right);
        QVERIFY(wide.inputChannels()[0] != nullptr);
        wide.outputChannels()[3][kBlock - 1] = 1.0f;
        wide.commit(kBlock);
    }

    void renderPlaysTheSongFromTheStartToItsEnd()
    {
        Rig rig;
        rig.client->setOutput(nullptr);
        rig.addTone(1000, 1000, 0.5f);
        rig.session.setLoop(0, 600);
        rig.session.locate(3000);
        CapturedOutput out;
        QVERIFY(renderSongOffline(rig.session, out));
        QCOMPARE(out.left.size(), size_t(4 * kBlock)); // ceil(2000 / 512) blocks
        QVERIFY(allEqual(out.left, 0, 1000, 0.0f));
        QVERIFY(allEqual(out.left, 1000, 2000, 0.5f)); // at full level from the first frame
        QVERIFY(allEqual(out.left, 2000, out.left.size(), 0.0f));
        QVERIFY(!rig.session.isPlaying());
        QCOMPARE(rig.head(), 0u);
        QCOMPARE(rig.session.loopIn(), 0u);
        QCOMPARE(rig.session.loopOut(), 600u);

        CapturedOutput tail;
        QVERIFY(renderSongOffline(rig.session, tail, 1000));
        QCOMPARE(tail.left.size(), size_t(6 * kBlock));
        QVERIFY(std::equal(out.left.begin(), out.left.end(), tail.left.begin()));
        QVERIFY(allEqual(tail.left, out.left.size(), tail.left.size(), 0.0f));
    }

    void renderRefusesAnEngineWithoutAnOfflineClient()
    {
        Session session;
        CapturedOutput out;
        ErrorLog::clear();
        QVERIFY(!renderSongOffline(session, out));
        QVERIFY(ErrorLog::text().contains(QStringLiteral("renderSongOffline")));
        ErrorLog::clear();
        QVERIFY(out.left.empty());
    }
};

QTEST_GUILESS_MAIN(TestAudioEngine)
#include "tst_audio_engine.moc"
