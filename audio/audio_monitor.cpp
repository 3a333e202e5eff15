#include "audio_monitor.h"

#include <algorithm>
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
    for (int channel = 0; channel < m_channels; ++channel) {
        const bool unpaired = channel == m_channels - 1 && channel % 2 == 0;
        const float value = unpaired ? gain : (channel % 2 == 0 ? left : right);
        m_channelGains[size_t(channel)].store(value, std::memory_order_relaxed);
    }
}

float AudioMonitor::channelGain(int channel) const
{
    if (channel < 0 || channel >= m_channels)
        return 0.0f;
    return m_channelGains[size_t(channel)].load(std::memory_order_relaxed);
}

void AudioMonitor::notePeak(int channel, float peak)
{
    std::atomic<float>& stored = m_peaks[size_t(channel)];
    if (peak > stored.load(std::memory_order_relaxed))
        stored.store(peak, std::memory_order_relaxed);
}

void AudioMonitor::process(float* const* buffers, int channels, uint32_t frames)
{
    for (int channel = 0; channel < std::min(channels, m_channels); ++channel) {
        float* samples = buffers[channel];
        if (!samples)
            continue;
        const float gain = channelGain(channel);
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
