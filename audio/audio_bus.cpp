#include "audio_bus.h"

#include "audio_monitor.h"

#include <algorithm>

vx23Bus::vx23Bus(const QString& name, int flags, int channels, uint32_t maxFrames)
    : vx99Bus(name, flags), m_maxFrames(maxFrames),
      m_input(size_t(std::clamp(channels, 1, vx23Monitor::kMaxChannels)), nullptr),
      m_output(m_input.size(), nullptr), m_silence(maxFrames, 0.0f),
      m_scratch(m_input.size(), std::vector<float>(maxFrames, 0.0f))
{
    updateMonitors();
}

vx23Bus::~vx23Bus() = default;

void vx23Bus::setFlags(int flags)
{
    vx99Bus::setFlags(flags);
    updateMonitors();
}

void vx23Bus::updateMonitors()
{
    if (isInput() && !m_inputMonitor)
        m_inputMonitor = std::make_unique<vx23Monitor>(channels());
    else if (!isInput())
        m_inputMonitor.reset();
    if (isOutput() && !m_outputMonitor)
        m_outputMonitor = std::make_unique<vx23Monitor>(channels());
    else if (!isOutput())
        m_outputMonitor.reset();
}

vx99Monitor* vx23Bus::inputMonitor() const
{
    return m_inputMonitor.get();
}

vx99Monitor* vx23Bus::outputMonitor() const
{
    return m_outputMonitor.get();
}

void vx23Bus::prepare(const float* const* deviceInput, float* const* deviceOutput,
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

void vx23Bus::commit(uint32_t frames)
{
    if (isOutput())
        m_outputMonitor->process(m_output.data(), channels(), std::min(frames, m_maxFrames));
}
