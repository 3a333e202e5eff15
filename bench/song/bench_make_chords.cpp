// Make Chords without dialogs on a long melody: 400 bars of 4/4 with 3,000 notes of a C major
// tune, the chord lane and the suggestions written afresh each run, with each chord finder (the
// progression finder decodes the whole melody in every key it tries). Goal: under 20 ms.
#include "chord_maker.h"
#include "midi_sequence.h"
#include "song_state.h"

#include <benchmark/benchmark.h>

namespace {

constexpr uint32_t kBar = 3840;

void fillMelody(MidiSequence& melody)
{
    static const int scale[] = {60, 62, 64, 65, 67, 69, 71, 72};
    uint32_t seed = 12345;
    uint32_t t = 0;
    for (int i = 0; i < 3000; ++i) {
        seed = seed * 1103515245u + 12345u; // the same melody every run
        const int key = scale[(seed >> 16) % 8];
        const uint32_t length = 480 + 32 * ((seed >> 8) % 8); // 400 bars for 3000 notes
        melody.insert(MidiEvent::note(t, uint8_t(key), 100, length));
        t += length;
    }
    melody.setLength(400 * kBar);
}

void makeChords400Bars(benchmark::State& state, ChordFinderKind kind)
{
    MidiSequence melody(QString(), 0, 960);
    fillMelody(melody);
    SongState song;
    for (auto _ : state) {
        ChordMaker(song, melody, kBar, kind).run();
        benchmark::DoNotOptimize(melody.count());
    }
    state.counters["events"] = melody.count();
}
BENCHMARK_CAPTURE(makeChords400Bars, progression, ChordFinderKind::Progression)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(makeChords400Bars, classic, ChordFinderKind::Classic)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
