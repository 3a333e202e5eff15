// Frame -> tick -> frame conversions through a TimeScaleCursor on a 1000-node tempo map.
//
// ForwardWalk converts positions in increasing order, as the engines do block by block: the
// cursor stays on or next to the governing node, so a lookup costs a few comparisons. RandomAccess
// converts the same positions in shuffled order: each lookup walks from the last node found to the
// new one (on average a third of the map). SingleNode is the floor: the default one-node scale.
// Each iteration is one round trip (two conversions); the per_conversion counter is the time
// of one conversion.
#include "time_scale.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

constexpr int kNodes = 1000;
constexpr size_t kPositions = 1 << 16;

/** kNodes nodes, one every two bars, with changing tempos and meters. */
void buildMap(TimeScale& scale, int count)
{
    scale.reset();
    for (int i = 1; i < count; ++i) {
        const float tempo = 80.0f + float((i * 37) % 90);
        const uint16_t beats = (i % 3 == 0) ? 3 : 4;
        const TempoNode* last = scale.lastNode();
        const uint32_t frame =
            last->frame +
            uint32_t(2.0 * last->beatsPerBar * scale.framesPerMinute() / last->meterBeatsPerMinute);
        scale.setNode(frame, tempo, 2, beats, 2);
    }
}

/** kPositions frames spread evenly over the map and one bar beyond, in increasing order. */
std::vector<uint32_t> positions(const TimeScale& scale)
{
    const uint64_t end = uint64_t(scale.lastNode()->frame) + 400000;
    std::vector<uint32_t> frames(kPositions);
    for (size_t i = 0; i < kPositions; ++i)
        frames[i] = uint32_t(end * i / kPositions);
    return frames;
}

void run(benchmark::State& state, TimeScale& scale, const std::vector<uint32_t>& frames)
{
    TimeScaleCursor cursor(scale);
    size_t i = 0;
    for (auto _ : state) {
        const uint32_t tick = cursor.frameToTick(frames[i]);
        benchmark::DoNotOptimize(cursor.tickToFrame(tick));
        i = (i + 1) & (kPositions - 1);
    }
    state.SetItemsProcessed(state.iterations() * 2);
    // Seconds per conversion, shown with an SI prefix (e.g. "2.1n" = 2.1 ns).
    state.counters["per_conversion"] = benchmark::Counter(
        2, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["nodes"] = scale.nodeCount();
}

void BM_ForwardWalk(benchmark::State& state)
{
    TimeScale scale;
    buildMap(scale, kNodes);
    run(state, scale, positions(scale));
}

void BM_RandomAccess(benchmark::State& state)
{
    TimeScale scale;
    buildMap(scale, kNodes);
    std::vector<uint32_t> frames = positions(scale);
    std::shuffle(frames.begin(), frames.end(), std::mt19937(12345));
    run(state, scale, frames);
}

void BM_SingleNode(benchmark::State& state)
{
    TimeScale scale;
    std::vector<uint32_t> frames(kPositions);
    for (size_t i = 0; i < kPositions; ++i)
        frames[i] = uint32_t(i * 5000);
    run(state, scale, frames);
}

} // namespace

BENCHMARK(BM_ForwardWalk);
BENCHMARK(BM_RandomAccess);
BENCHMARK(BM_SingleNode);
BENCHMARK_MAIN();
