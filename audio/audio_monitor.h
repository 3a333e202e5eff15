#pragma once

#include "monitor.h"

#include <array>
#include <atomic>
#include <cstdint>

/**
 * AudioMonitor: the gain and pan stage of an audio bus or an audio track.
 *
 * Gain and pan are turned into one gain per channel (even channels left, odd channels right,
 * a last unpaired channel the plain gain) that the process cycle applies in place, and each
 * channel keeps the peak it saw for the level meters.
 *
 * Threads: construction, setGain() and setPanning() on the GUI thread; process() and measure()
 * run in the audio callback; channelGain() and takePeak() are safe from any thread. Left and
 * right gain are published together in one atomic word, so a cycle never applies half of a
 * pan change; peaks are raised by compare-exchange, so none is lost to a meter taking it.
 */
class AudioMonitor : public Monitor
{
public:
    static constexpr int kMaxChannels = 8;

    explicit AudioMonitor(int channels = 2, float gain = 1.0f, float panning = 0.0f);

    int channels() const { return m_channels; }
    void setGain(float gain) override;
    void setPanning(float panning) override;

    /** The gain channel `channel` is multiplied by; 0 for a channel the monitor lacks. */
    float channelGain(int channel) const;

    /** Audio callback: multiplies each channel by its gain in place and records the peaks. */
    void process(float* const* buffers, int channels, uint32_t frames);
    /** Audio callback: records the peaks without changing the samples (input monitors). */
    void measure(const float* const* buffers, int channels, uint32_t frames);

    /** The highest absolute sample since the last call; the meter takes it and resets it. */
    float takePeak(int channel);

private:
    static uint64_t packPair(float left, float right);
    float gainOf(uint64_t pair, int channel) const;
    void updateChannelGains();
    void notePeak(int channel, float peak);

    int m_channels;
    std::atomic<uint64_t> m_pairGains{0}; // left gain in the low half, right in the high half
    std::atomic<float> m_unpairedGain{0}; // a last channel without a partner
    std::array<std::atomic<float>, kMaxChannels> m_peaks{};
};
