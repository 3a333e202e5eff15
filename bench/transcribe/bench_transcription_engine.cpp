// Speed of the whole transcription engine (pitch analysis, note building, tuning and key) on ten
// minutes of a sung-like melody at 11025 Hz.
// The "x_realtime" counter is seconds of audio analysed per second of wall time.

#include "transcription_engine.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace {

constexpr double kRate = 11025.0;
constexpr double kSeconds = 600.0;
constexpr long long kBlock = 4096; // about the block the driver reads per step

// Deterministic pseudo-random numbers, so every run analyses the same signal.
struct Random
{
    uint64_t state = 0x9e3779b97f4a7c15ull;
    double next() // uniform in [0, 1)
    {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state >> 11) / 9007199254740992.0;
    }
};

/**
 * A voice singing notes of a major scale for 0.2 to 0.8 s each with short breaths between:
 * twelve harmonics falling 6 dB per octave, 5.5 Hz vibrato of ±0.4 semitone, 30 ms attack
 * and release, and noise 50 dB below full scale throughout.
 */
std::vector<float> sungMelody()
{
    static const int scale[] = {0, 2, 4, 5, 7, 9, 11, 12, 14};
    Random random;
    std::vector<float> samples(static_cast<size_t>(kSeconds * kRate));
    size_t at = 0;
    double phase = 0.0;
    while (at < samples.size()) {
        const double note = 55 + scale[static_cast<int>(random.next() * 9)];
        const double f0 = 440.0 * std::pow(2.0, (note - 69) / 12.0);
        const auto length = static_cast<size_t>((0.2 + 0.6 * random.next()) * kRate);
        const auto gap = static_cast<size_t>(0.1 * random.next() * kRate);
        const double amplitude = 0.05 + 0.25 * random.next();
        for (size_t i = 0; i < length && at < samples.size(); ++i, ++at) {
            const double t = i / kRate;
            const double envelope = std::min({1.0, t / 0.03, (length - i) / kRate / 0.03});
            const double vibrato = 0.4 * std::sin(2 * std::numbers::pi * 5.5 * t);
            phase += 2 * std::numbers::pi * f0 * std::pow(2.0, vibrato / 12.0) / kRate;
            double voice = 0.0;
            for (int h = 1; h <= 12; ++h)
                voice += std::sin(h * phase) / h;
            samples[at] = static_cast<float>(amplitude * envelope * voice * 0.5);
        }
        at += gap;
    }
    for (float& s : samples)
        s += static_cast<float>(0.00316 * (2.0 * random.next() - 1.0) * 1.732);
    return samples;
}

void feedTenMinutes(benchmark::State& state)
{
    const std::vector<float> samples = sungMelody();
    TranscriptionEngine engine;
    for (auto _ : state) {
        engine.configure(static_cast<float>(kRate));
        for (size_t at = 0; at < samples.size(); at += kBlock) {
            const float* channels[] = {samples.data() + at};
            engine.feed(channels, std::min<long long>(kBlock, samples.size() - at));
        }
        engine.finish();
        benchmark::DoNotOptimize(engine.frameCount());
    }
    state.counters["x_realtime"] =
        benchmark::Counter(kSeconds, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["notes"] = engine.result().noteCount;
    state.counters["tracks"] = engine.tracker().bornCount();
    state.counters["stored_tracks"] = static_cast<double>(engine.tracker().storedCount());
}

} // namespace

BENCHMARK(feedTenMinutes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

BENCHMARK_MAIN();
