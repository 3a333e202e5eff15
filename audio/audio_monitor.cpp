#include "audio_monitor.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

AudioMonitor::AudioMonitor(int channels, float gain, float panning)
    : Monitor(gain, panning), m_channels(std::clamp(channels, 0, kMaxChannels))
{
    updateChannelGains();
}

void AudioMonitor::setGain(float gain)
{
    Monitor::setGain(gain);
    updateChannelGains();
}

void AudioMonitor::setPanning(float panning)
{
    Monitor::setPanning(panning);
    updateChannelGains();
}

// Constant-power pan law: a centred source keeps its gain on both sides, a source panned hard
// to one side gets sqrt(2) times the gain there and nothing on the other. Pans within 0.001 of
// the centre count as the centre, so a knob that does not quite return to 0 changes nothing.
void AudioMonitor::updateChannelGains()
{
    const float gain = this->gain();
    const float pan = std::clamp(panning(), -1.0f, 1.0f);
    float left = gain;
    float right = gain;
    if (std::fabs(pan) > 0.001f) {
        const double theta = (double(pan) + 1.0) * 0.5 * std::numbers::pi / 2.0;
        left = float(std::numbers::sqrt2 * std::cos(theta) * gain);
        right = float(std::numbers::sqrt2 * std::sin(theta) * gain);
    }
    // Left and right go out as one word, so a cycle never applies a new left with an old right.
    m_pairGains.store(packPair(left, right), std::memory_order_relaxed);
    m_unpairedGain.store(gain, std::memory_order_relaxed);
}

uint64_t AudioMonitor::packPair(float left, float right)
{
    return uint64_t(std::bit_cast<uint32_t>(left)) | uint64_t(std::bit_cast<uint32_t>(right)) << 32;
}

float AudioMonitor::gainOf(uint64_t pair, int channel) const
{
    if (channel < 0 || channel >= m_channels)
        return 0.0f;
    if (channel == m_channels - 1 && channel % 2 == 0)
        return m_unpairedGain.load(std::memory_order_relaxed);
    return std::bit_cast<float>(uint32_t(channel % 2 == 0 ? pair : pair >> 32));
}

float AudioMonitor::channelGain(int channel) const
{
    return gainOf(m_pairGains.load(std::memory_order_relaxed), channel);
}

void AudioMonitor::notePeak(int channel, float peak)
{
    // A compare-exchange, so a meter's takePeak() between the load and the store cannot lose
    // the peak (or bring back the one it took).
    std::atomic<float>& stored = m_peaks[size_t(channel)];
    float seen = stored.load(std::memory_order_relaxed);
    while (peak > seen && !stored.compare_exchange_weak(seen, peak, std::memory_order_relaxed)) {
    }
}

void AudioMonitor::process(float* const* buffers, int channels, uint32_t frames)
{
    const uint64_t pair = m_pairGains.load(std::memory_order_relaxed);
    for (int channel = 0; channel < std::min(channels, m_channels); ++channel) {
        float* samples = buffers[channel];
        if (!samples)
            continue;
        const float gain = gainOf(pair, channel);
        float peak = 0.0f;
        for (uint32_t k = 0; k < frames; ++k) {
            samples[k] *= gain;
            peak = std::max(peak, std::fabs(samples[k]));
        }
        notePeak(channel, peak);
    }
}

void AudioMonitor::measure(const float* const* buffers, int channels, uint32_t frames)
{
    for (int channel = 0; channel < std::min(channels, m_channels); ++channel) {
        const float* samples = buffers[channel];
        if (!samples)
            continue;
        float peak = 0.0f;
        for (uint32_t k = 0; k < frames; ++k)
            peak = std::max(peak, std::fabs(samples[k]));
        notePeak(channel, peak);
    }
}

float AudioMonitor::takePeak(int channel)
{
    if (channel < 0 || channel >= m_channels)
        return 0.0f;
    return m_peaks[size_t(channel)].exchange(0.0f, std::memory_order_relaxed);
}
