#include "offline_audio_client.h"

#include "frame_clock_listener.h"

#include <algorithm>
#include <chrono>

OfflineAudioClient::OfflineAudioClient()
    : m_inputData(kChannels * kBufferSize), m_outputData(kChannels * kBufferSize)
{
    for (int channel = 0; channel < kChannels; ++channel) {
        m_inputChannels[channel] = m_inputData.data() + channel * kBufferSize;
        m_outputChannels[channel] = m_outputData.data() + channel * kBufferSize;
    }
    // A rendered stream: no device latency.
    setDeviceLatencies(0.0, 0.0);
}

OfflineAudioClient::~OfflineAudioClient()
{
    deactivate();
}

int OfflineAudioClient::activate()
{
    if (m_thread.joinable())
        return 0;
    m_running.store(true, std::memory_order_relaxed);
    m_thread = std::thread([this] { run(); });
    return 0;
}

int OfflineAudioClient::deactivate()
{
    clearStreamEnded();
    if (!m_thread.joinable())
        return 0;
    m_running.store(false, std::memory_order_relaxed);
    m_thread.join();
    m_errors.flush();
    return 0;
}

int OfflineAudioClient::render(uint32_t cycles)
{
    if (m_thread.joinable())
        return -1;
    for (uint32_t cycle = 0; cycle < cycles; ++cycle) {
        if (runCycle() == kAbort) {
            m_errors.flush();
            return -1;
        }
    }
    return 0;
}

void OfflineAudioClient::run()
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const int64_t firstFrame = frameClock();
    while (m_running.load(std::memory_order_relaxed)) {
        if (m_paced) {
            const auto due =
                std::chrono::nanoseconds((frameClock() - firstFrame) * 1000000000LL / kSampleRate);
            std::this_thread::sleep_until(start + due);
        }
        if (runCycle() == kAbort)
            break; // like a device stream after its callback failed: stopped until deactivated
    }
}

int OfflineAudioClient::runCycle()
{
    if (m_deviceLost.load(std::memory_order_acquire)) {
        markStreamEnded();
        return kAbort;
    }
    if (m_source)
        m_source->read(m_inputChannels, kBufferSize);
    else
        std::fill(m_inputData.begin(), m_inputData.end(), 0.0f);
    const int result = processCycle(m_inputChannels, m_outputChannels, kBufferSize);
    const int64_t first = frameClock();
    if (m_listener)
        m_listener->advanceToFrame(first + kBufferSize);
    mixOutputs(m_outputChannels, kBufferSize, first);
    if (m_sink)
        m_sink->write(m_outputChannels, kBufferSize);
    m_frame.store(first + kBufferSize, std::memory_order_release);
    return result;
}
