// The audio engine on the sound card path, its cycles on PortAudio's own thread: run with an
// ALSA configuration whose default device is a file (see tests/audio/CMakeLists.txt).
#include "audio_bus.h"
#include "audio_engine.h"
#include "audio_monitor.h"

#include "clip.h"
#include "session.h"
#include "track.h"

#include <QTest>
#include <thread>

namespace {

/** Mixes a constant into its track's bus; the file device runs faster than real time. */
class SlowTone : public Clip
{
public:
    SlowTone() { setLength(1u << 30); }
    void process(uint32_t first, uint32_t last) override
    {
        auto* engine = static_cast<AudioEngine*>(track()->engine());
        auto* bus = static_cast<AudioBus*>(track()->outputBus());
        const uint32_t base = engine->framesThisCycle();
        for (uint32_t k = 0; k < last - first; ++k)
            for (int channel = 0; channel < bus->channels(); ++channel)
                bus->outputChannels()[channel][base + k] += 0.25f;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
};

} // namespace

class TestAudioEngineDevice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fadesWaitForTheDevicesCycleAndPausingStopsTheHead()
    {
        Session session;
        auto engine = std::make_unique<AudioEngine>(&session); // the sound card's client
        AudioEngine* audio = engine.get();
        session.setEngines(std::move(engine), std::make_unique<Engine>(&session, Engine::MidiKind));
        QVERIFY(audio->init());
        QVERIFY(audio->activate());
        QVERIFY(session.midiEngine()->init() && session.midiEngine()->activate());
        QVERIFY(session.ensureMasterBuses());
        auto* track = new Track(&session, Track::AudioTrack);
        track->addClip(new SlowTone);
        session.addTrack(track);

        session.setPlaying(true); // returns once a cycle took the fade-in
        QCOMPARE(audio->pendingFade(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(session.playHead() >= 20 * 512, 20000);
        auto* master = static_cast<AudioBus*>(audio->buses().front().get());
        QCOMPARE(master->audioOutputMonitor()->takePeak(0), 0.25f);

        session.setPlaying(false); // returns once a cycle faded out
        QVERIFY(audio->isStopping());
        QVERIFY(!audio->isPlaying());
        QTest::qWait(30); // a cycle that began before the stop may still finish
        const uint32_t head = session.playHead();
        QTest::qWait(30);
        QCOMPARE(session.playHead(), head);

        QVERIFY(audio->clean());
        QVERIFY(!audio->hasDeviceClient());
    }
};

QTEST_GUILESS_MAIN(TestAudioEngineDevice)
#include "tst_audio_engine_device.moc"
