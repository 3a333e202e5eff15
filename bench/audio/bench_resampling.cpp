// Reading three minutes of 44.1 kHz stereo at the 11025 Hz analysis rate, as transcription reads
// its input: through the polyphase decimator (4:1) and, for comparison, through libsamplerate at
// 48000 Hz to 11025 Hz, a ratio that is not a whole number.
#include "long_wav_file.h"
#include "resampling_reader.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>

namespace {

constexpr int kSeconds = 180;
constexpr double kAnalysisRate = 11025.0;

QString longWav(QTemporaryDir& dir, int rate)
{
    const QString path = dir.filePath(QStringLiteral("long-%1.wav").arg(rate));
    double phase = 0.0;
    writeLongStereoWav(path, kSeconds, rate, [&](double t, float& left, float& right) {
        // A voice-like tone gliding around 300 Hz with a few harmonics.
        phase += 2.0 * M_PI * (300.0 + 40.0 * std::sin(t)) / rate;
        left = float(0.3 * std::sin(phase) + 0.1 * std::sin(3.0 * phase));
        right = float(0.2 * std::sin(2.0 * phase));
    });
    return path;
}

void readAtAnalysisRate(benchmark::State& state, int rate)
{
    QTemporaryDir dir;
    const QString path = longWav(dir, rate);
    std::vector<float> left(4096), right(4096);
    float* channels[] = {left.data(), right.data()};
    long long frames = 0;
    for (auto _ : state) {
        auto file = AudioFormatRegistry::instance().create(path);
        ResamplingReader reader;
        if (!file || !file->open(path, AudioFile::Reading) || !reader.open(*file, kAnalysisRate)) {
            state.SkipWithError("cannot read the test file");
            return;
        }
        frames = 0;
        while (const long long got = reader.read(channels, 4096))
            frames += got;
        benchmark::DoNotOptimize(left.data());
    }
    state.counters["x real time"] = benchmark::Counter(
        double(kSeconds) * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["frames"] = double(frames);
}

void decimate44100(benchmark::State& state)
{
    readAtAnalysisRate(state, 44100);
}
BENCHMARK(decimate44100)->Unit(benchmark::kMillisecond);

void resample48000(benchmark::State& state)
{
    readAtAnalysisRate(state, 48000);
}
BENCHMARK(resample48000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
