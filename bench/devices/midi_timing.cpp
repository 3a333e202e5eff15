// Measures how late the real-time MIDI scheduler delivers: 1,000 notes (2,000 messages) over
// 10 s on the system clock into a recording output, lateness = arrival - due time.
// Target: 99th percentile under 2 ms. Run by hand: build-bench/bench/devices/devices_midi_timing

#include "recording_midi_output.h"
#include "scheduler_clock.h"
#include "sequencer_layer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

constexpr int kNotes = 1000;
constexpr uint32_t kFirstTick = 200; // ticks are milliseconds at 1000 ticks per second
constexpr uint32_t kSpacing = 10;
constexpr uint32_t kDuration = 5;

double percentile(const std::vector<double>& sorted, double fraction)
{
    const size_t index = std::min(sorted.size() - 1, size_t(fraction * (sorted.size() - 1) + 0.5));
    return sorted[index];
}

} // namespace

int main()
{
    RecordingMidiOutput output(4 * kNotes);
    SequencerLayer layer;
    layer.setOutput(&output);
    if (layer.open(SequencerLayer::Clock::System) != 0) {
        std::fprintf(stderr, "the sequencer layer did not open\n");
        return 1;
    }
    layer.setQueueTempo(500, 500000);
    layer.controlQueue(SequencerLayer::kQueueStart);
    for (int i = 0; i < kNotes; ++i) {
        const auto key = static_cast<uint8_t>(36 + i % 48);
        layer.outputEvent(
            SequencerEvent::note(kFirstTick + i * kSpacing, i % 16, key, 100, kDuration));
    }
    const auto total = std::chrono::milliseconds(kFirstTick + kNotes * kSpacing + 300);
    std::this_thread::sleep_for(total);
    layer.close();

    const auto messages = output.messages();
    std::vector<double> lateMs;
    for (const auto& message : messages)
        lateMs.push_back((message.arrivalNs - message.timeMs * 1000000) / 1e6);
    if (lateMs.empty()) {
        std::fprintf(stderr, "nothing was delivered\n");
        return 1;
    }
    std::sort(lateMs.begin(), lateMs.end());
    const double p99 = percentile(lateMs, 0.99);
    std::printf("messages delivered: %zu of %d (lost %zu)\n", messages.size(), 2 * kNotes,
                output.lost());
    std::printf("lateness: min %.3f ms, median %.3f ms, p99 %.3f ms, max %.3f ms\n", lateMs.front(),
                percentile(lateMs, 0.5), p99, lateMs.back());
    std::printf("target p99 < 2 ms: %s\n", p99 < 2.0 ? "met" : "missed");
    return 0;
}
