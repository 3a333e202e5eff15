// One audio engine cycle with file-backed clips: 8 tracks, each a stereo 48 kHz file converted
// to the engine's 44.1 kHz on its buffer thread, mixed with gain, pan and the per-frame gain ramp
// into the Master bus. The counter budget_share is the cycle's time as a share of the 11.6 ms a
// 512-frame cycle lasts at 44100 Hz (the target is under 0.05).
//
// Each iteration first lets the buffer threads fill (not timed), then times one cycle, so a ring
// never runs dry and the cycle always mixes every clip.
#include "audio_buffer.h"
#include "audio_clip.h"
#include "audio_engine.h"
#include "audio_file.h"
#include "audio_format_registry.h"
#include "offline_audio_client.h"

#include "session.h"
#include "track.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <chrono>
#include <cmath>

namespace {

constexpr double kCycleSeconds = 512.0 / 44100.0;

QString makeFile(const QTemporaryDir& dir)
{
    const QString path = dir.filePath(QStringLiteral("clip48k.wav"));
    AudioFormatRegistry::instance().chooseWriteFormat(QStringLiteral("wav"), 0x10000, 3, 4);
    auto file = AudioFormatRegistry::instance().create(path, 2, 48000, 4096);
    if (!file || !file->open(path, AudioFile::Writing))
        return {};
    std::vector<float> left(4800), right(4800);
    float* channels[] = {left.data(), right.data()};
    for (int block = 0; block < 200; ++block) { // 20 s
        for (size_t k = 0; k < left.size(); ++k) {
            const double t = double(block * 4800 + long(k)) / 48000.0;
            left[k] = float(0.3 * std::sin(2 * M_PI * 220.0 * t));
            right[k] = float(0.3 * std::sin(2 * M_PI * 330.0 * t));
        }
        file->write(channels, 4800);
    }
    file->close();
    return path;
}

void fileClipsCycle(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = makeFile(dir);
    Session session;
    OfflineAudioClient* client = nullptr;
    auto engine = std::make_unique<AudioEngine>(&session, [&client] {
        auto made = std::make_unique<OfflineAudioClient>();
        client = made.get();
        return std::unique_ptr<AudioClient>(std::move(made));
    });
    engine->setDrivenByCaller(true);
    session.setEngines(std::move(engine), std::make_unique<Engine>(&session, Engine::MidiKind));
    session.clear();
    for (Engine* e : {session.audioEngine(), session.midiEngine()})
        e->init(), e->activate();
    session.ensureMasterBuses();
    std::vector<AudioClip*> clips;
    for (int i = 0; i < state.range(0); ++i) {
        auto* track = new Track(&session, Track::AudioTrack);
        session.addTrack(track);
        track->setPanning(float(i) / 8.0f - 0.5f);
        auto* clip = new AudioClip;
        clip->setFilePath(path);
        track->addClip(clip);
        session.lockEdit();
        clip->open();
        session.trackChanged(track);
        session.unlockEdit();
        clips.push_back(clip);
    }
    session.setLoop(0, 44100 * 15);
    session.setPlaying(true);
    static_cast<AudioEngine*>(session.audioEngine())->discardFadeRequest();
    double timed = 0;
    for (auto _ : state) {
        for (AudioClip* clip : clips)
            clip->buffer()->waitForFill(5000);
        const auto start = std::chrono::steady_clock::now();
        client->render(1);
        const auto end = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(end - start).count();
        timed += seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["budget_share"] =
        timed / double(std::max<benchmark::IterationCount>(state.iterations(), 1)) / kCycleSeconds;
    session.setPlaying(false);
}

} // namespace

BENCHMARK(fileClipsCycle)->Arg(8)->UseManualTime()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
