// The audio engine's process cycle on an offline client, as the sound card would run it every
// 512 frames (11.6 ms at 44100 Hz): tracks whose clips mix a block into the Master bus, the bus
// commit with its gain and pan, the play head and the MIDI wake-up.
//
// Tracks/N: N audio tracks, each with one clip mixing every frame of the cycle. ShortLoop/N: the
// same with a 100-frame loop, so every cycle wraps five times and each clip renders six ranges.
// The budget_share counter is the cycle's time as a share of the 11.6 ms the device allows (1 =
// all of it; the counter prints SI prefixes, so "1m" is a thousandth).
#include "audio_bus.h"
#include "audio_engine.h"
#include "audio_monitor.h"
#include "offline_audio_client.h"

#include "clip.h"
#include "session.h"
#include "track.h"

#include <benchmark/benchmark.h>

namespace {

/** Mixes a ramp into its track's bus for the frames of the range it covers. */
class RampClip : public Clip
{
public:
    RampClip() { setLength(1u << 30); }
    void process(uint32_t first, uint32_t last) override
    {
        auto* engine = static_cast<AudioEngine*>(track()->engine());
        auto* bus = static_cast<AudioBus*>(track()->outputBus());
        const uint32_t base = engine->framesThisCycle();
        for (int channel = 0; channel < bus->channels(); ++channel) {
            float* out = bus->outputChannels()[channel] + base;
            for (uint32_t k = 0; k < last - first; ++k)
                out[k] += float(first + k) * 1e-9f;
        }
    }
};

struct Rig
{
    Session session;
    AudioEngine* audio = nullptr;
    OfflineAudioClient* client = nullptr;

    explicit Rig(int tracks)
    {
        auto engine = std::make_unique<AudioEngine>(&session, [this] {
            auto made = std::make_unique<OfflineAudioClient>();
            client = made.get();
            return std::unique_ptr<AudioClient>(std::move(made));
        });
        engine->setDrivenByCaller(true);
        audio = engine.get();
        session.setEngines(std::move(engine), std::make_unique<Engine>(&session, Engine::MidiKind));
        session.clear();
        for (Engine* e : {session.audioEngine(), session.midiEngine()})
            e->init(), e->activate();
        session.ensureMasterBuses();
        for (int i = 0; i < tracks; ++i) {
            auto* track = new Track(&session, Track::AudioTrack);
            track->addClip(new RampClip);
            session.addTrack(track);
        }
        session.audioEngine()->buses().front()->outputMonitor()->setPanning(0.3f);
        session.setPlaying(true);
    }
};

void runCycles(benchmark::State& state, bool shortLoop)
{
    Rig rig(int(state.range(0)));
    if (shortLoop)
        rig.session.setLoop(1000, 1100);
    for (auto _ : state)
        rig.client->render(1);
    const double cycleSeconds = double(AudioClient::kBufferSize) / AudioClient::kSampleRate;
    // Rate of (iterations x cycle length) inverted: elapsed time over the time the device allows.
    state.counters["budget_share"] =
        benchmark::Counter(double(state.iterations()) * cycleSeconds,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void Tracks(benchmark::State& state)
{
    runCycles(state, false);
}

void ShortLoop(benchmark::State& state)
{
    runCycles(state, true);
}

} // namespace

BENCHMARK(Tracks)->Arg(1)->Arg(8)->Arg(32)->Unit(benchmark::kMicrosecond);
BENCHMARK(ShortLoop)->Arg(1)->Arg(8)->Arg(32)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
