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
 * run in the audio callback; channelGain() and takePeak() are safe from any thread. The
 * per-channel values are atomics so the audio thread never sees a half-written gain.
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
    void updateChannelGains();
    void notePeak(int channel, float peak);

    int m_channels;
    std::array<std::atomic<float>, kMaxChannels> m_channelGains{};
    std::array<std::atomic<float>, kMaxChannels> m_peaks{};
};
