// Speed of Audio to MIDI on a three-minute recording at 44100 Hz, stereo: the clip's region read
// through its own audio buffer (file, conversion to 11025 Hz, ring), with and without the
// transcription engine, next to "cantova transcribe" on the same file (the same reading and run,
// plus writing the MIDI file).
// The "x_realtime" counter is seconds of audio per second of wall time.

#include "clip_audio_source.h"
#include "transcribe_command.h"
#include "transcription_engine.h"
#include "transcription_region.h"
#include "transcription_run.h"

#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kSeconds = 180.0;

/** A voice singing up and down a major scale, half a second a note, with vibrato. */
QString recording()
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("three-minutes.wav"));
    if (QFile::exists(path))
        return path;
    static const int scale[] = {0, 2, 4, 5, 7, 9, 11, 12, 11, 9, 7, 5, 4, 2};
    const auto frames = size_t(kSeconds * kRate);
    std::vector<float> interleaved(2 * frames);
    const size_t noteFrames = kRate / 2;
    double phase = 0.0;
    for (size_t i = 0; i < frames; ++i) {
        const size_t n = i / noteFrames;
        const double t = double(i % noteFrames) / kRate;
        const double note = 60 + scale[n % std::size(scale)];
        const double vibrato = 0.3 * std::sin(2 * std::numbers::pi * 5.5 * t);
        phase += 2 * std::numbers::pi * 440.0 * std::pow(2.0, (note + vibrato - 69) / 12.0) / kRate;
        const double envelope = std::min({1.0, t / 0.03, (0.45 - t) / 0.03});
        double voice = 0.0;
        for (int h = 1; h <= 6; ++h)
            voice += std::sin(h * phase) / h;
        interleaved[2 * i] = interleaved[2 * i + 1] = float(0.2 * std::max(envelope, 0.0) * voice);
    }
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    sf_writef_float(file, interleaved.data(), sf_count_t(frames));
    sf_close(file);
    return path;
}

TranscriptionRegion region()
{
    TranscriptionRegion r;
    TranscriptionRegion::ofFile(recording(), kRate, &r);
    return r;
}

/** Reading alone: file, conversion and ring, the part the engine waits on. */
void readClipBuffer(benchmark::State& state)
{
    const TranscriptionRegion r = region();
    long long frames = 0;
    for (auto _ : state) {
        ClipAudioSource source(r);
        source.open();
        std::vector<float> a(size_t(source.blockSize())), b(a.size());
        float* channels[] = {a.data(), b.data()};
        frames = 0;
        while (long long got = source.read(channels, source.blockSize()))
            frames += got;
    }
    state.counters["x_realtime"] =
        benchmark::Counter(kSeconds, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["frames"] = double(frames);
}

/** Audio to MIDI below its dialogs: the clip buffer feeding the engine. */
void audioToMidiThroughTheClipBuffer(benchmark::State& state)
{
    const TranscriptionRegion r = region();
    TranscriptionEngine engine;
    for (auto _ : state) {
        ClipAudioSource source(r);
        source.open();
        TranscriptionRun::run(engine, source, source.length());
    }
    state.counters["x_realtime"] =
        benchmark::Counter(kSeconds, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["notes"] = engine.result().noteCount;
}

void transcribeCommand(benchmark::State& state)
{
    const QString input = recording();
    QTemporaryDir out;
    QString text;
    QTextStream stream(&text);
    for (auto _ : state)
        TranscribeCommand::run({input, out.filePath(QStringLiteral("melody.mid"))}, stream, stream);
    state.counters["x_realtime"] =
        benchmark::Counter(kSeconds, benchmark::Counter::kIsIterationInvariantRate);
}

} // namespace

BENCHMARK(readClipBuffer)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(audioToMidiThroughTheClipBuffer)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(transcribeCommand)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

BENCHMARK_MAIN();
