// Scheduling a dense three-minute song window by window, as the MIDI output thread does while
// the song plays: 16 tracks of sixteenth notes with a controller every beat, and the metronome.
#include "engine.h"
#include "midi_clip.h"
#include "midi_engine.h"
#include "recording_midi_output.h"
#include "sequencer_layer.h"
#include "session.h"
#include "session_cursor.h"
#include "track.h"

#include <benchmark/benchmark.h>
#include <memory>
#include <mutex>

namespace {

constexpr int Tracks = 16;
constexpr uint32_t SongFrames = 180 * 44100; // 3 minutes at 44100 Hz
constexpr uint32_t BeatTicks = 960;          // 120 bpm: 360 beats

struct DenseSong
{
    RecordingMidiOutput output{1 << 20};
    SequencerLayer layer;
    std::unique_ptr<Session> session;
    MidiEngine* engine = nullptr;

    DenseSong()
    {
        layer.setOutput(&output);
        session =
            std::make_unique<Session>([this](Session* s, int kind) -> std::unique_ptr<Engine> {
                if (kind != Engine::MidiKind)
                    return nullptr;
                auto midi = std::make_unique<MidiEngine>(s, &layer);
                engine = midi.get();
                return midi;
            });
        engine->setLayerClock(SequencerLayer::Clock::AudioFrames);
        engine->init();
        session->audioEngine()->init();
        engine->activate();
        session->audioEngine()->activate();
        session->ensureMasterBuses();
        engine->busesChanged();
        engine->setMetronomeOn(true);
        for (int t = 0; t < Tracks; ++t)
            addTrack(t);
    }

    ~DenseSong() { session.reset(); }

    void addTrack(int t)
    {
        auto* track = new Track(session.get(), Track::MidiTrack);
        Track::Properties props = track->properties();
        props.channel = uint16_t(t);
        props.outputBus = QStringLiteral("Master");
        track->setProperties(props);
        session->addTrack(track);
        auto* clip = new MidiClip(session.get());
        track->addClip(clip);
        clip->setLength(SongFrames);
        clip->updateTicksFromFrames();
        for (uint32_t n = 0; n < 360 * 4; ++n) {
            const uint32_t time = n * BeatTicks / 4;
            clip->sequence().insert(
                MidiEvent::note(time, uint8_t(36 + (n * 7 + t) % 60), uint8_t(40 + n % 80), 200));
            if (n % 4 == 0)
                clip->sequence().insert(MidiEvent::channel(time, 0xB0, 11, uint8_t(n % 128)));
        }
        session->trackChanged(track);
    }
};

void BM_ScheduleDenseSong(benchmark::State& state)
{
    DenseSong song;
    int64_t windows = 0;
    int64_t clock = 0; // the layer's frame clock, delivered up to the window just scheduled
    const uint32_t readAhead = song.engine->readAhead();
    for (auto _ : state) {
        song.session->setPlaying(true);
        // Each window is processed under the output mutex, as the output thread does. Delivery
        // keeps the scheduler's queue as short as in real time but is not measured.
        while (song.engine->cursor()->frame() < SongFrames) {
            {
                std::lock_guard<std::mutex> lock(song.engine->outputMutex());
                song.engine->processWindow();
            }
            ++windows;
            state.PauseTiming();
            clock += readAhead;
            song.layer.advanceToFrame(clock);
            state.ResumeTiming();
        }
        state.PauseTiming();
        song.session->setPlaying(false);
        song.session->locateCursors(0, true);
        song.output.clear();
        state.ResumeTiming();
    }
    state.counters["windows/s"] = benchmark::Counter(double(windows), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_ScheduleDenseSong)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
