#include "audio_bus.h"

#include "audio_monitor.h"

#include <algorithm>

AudioBus::AudioBus(const QString& name, int flags, int channels, uint32_t maxFrames)
    : Bus(name, flags), m_maxFrames(maxFrames),
      m_input(size_t(std::clamp(channels, 1, AudioMonitor::kMaxChannels)), nullptr),
      m_output(m_input.size(), nullptr), m_silence(maxFrames, 0.0f),
      m_scratch(m_input.size(), std::vector<float>(maxFrames, 0.0f))
{
    updateMonitors();
}

AudioBus::~AudioBus() = default;

void AudioBus::setFlags(int flags)
{
    Bus::setFlags(flags);
    updateMonitors();
}

void AudioBus::updateMonitors()
{
    if (isInput() && !m_inputMonitor)
        m_inputMonitor = std::make_unique<AudioMonitor>(channels());
    else if (!isInput())
        m_inputMonitor.reset();
    if (isOutput() && !m_outputMonitor)
        m_outputMonitor = std::make_unique<AudioMonitor>(channels());
    else if (!isOutput())
        m_outputMonitor.reset();
}

Monitor* AudioBus::inputMonitor() const
{
    return m_inputMonitor.get();
}

Monitor* AudioBus::outputMonitor() const
{
    return m_outputMonitor.get();
}

void AudioBus::prepare(const float* const* deviceInput, float* const* deviceOutput,
                       int deviceChannels, uint32_t frames)
{
    frames = std::min(frames, m_maxFrames);
    const int count = channels();
    if (isInput()) {
        for (int i = 0; i < count; ++i) {
            const float* device = i < deviceChannels && deviceInput ? deviceInput[i] : nullptr;
            m_input[size_t(i)] = device ? device : m_silence.data();
        }
        m_inputMonitor->measure(m_input.data(), count, frames);
    }
    if (!isOutput())
        return;
    const bool copyInput = isInput() && passThrough();
    for (int i = 0; i < count; ++i) {
        float* device = i < deviceChannels && deviceOutput ? deviceOutput[i] : nullptr;
        float* channel = device ? device : m_scratch[size_t(i)].data();
        m_output[size_t(i)] = channel;
        if (copyInput)
            std::copy_n(m_input[size_t(i)], frames, channel);
        else
            std::fill_n(channel, frames, 0.0f);
    }
}

void AudioBus::commit(uint32_t frames)
{
    if (isOutput())
        m_outputMonitor->process(m_output.data(), channels(), std::min(frames, m_maxFrames));
}
