#include "audio_client.h"

#include "output_mixer_slot.h"

#include <algorithm>

const char* const AudioClient::kNoInputMessage = "No audio input device is available";

AudioClient::AudioClient()
{
    m_errors.start();
}

AudioClient::~AudioClient()
{
    m_errors.stop();
    m_errors.flush();
}

void AudioClient::setProcessCallback(ProcessCallback callback, void* argument)
{
    m_callback = callback;
    m_argument = argument;
}

int AudioClient::transportQuery(TransportPosition* position) const
{
    position->frame = m_transportFrame.load(std::memory_order_relaxed);
    return m_rolling.load(std::memory_order_acquire) ? 1 : 0;
}

const float* AudioClient::inputBuffer(int channel) const
{
    if (channel < 0 || channel >= kChannels || !m_input)
        return nullptr;
    return m_input[channel];
}

float* AudioClient::outputBuffer(int channel) const
{
    if (channel < 0 || channel >= kChannels || !m_output)
        return nullptr;
    return m_output[channel];
}

void AudioClient::setDeviceLatencies(double playback, double recording)
{
    m_playbackLatency = playback;
    m_recordingLatency = recording;
}

int AudioClient::processCycle(const float* const* input, float* const* output, uint32_t frames)
{
    m_input = input ? input : m_silentInput;
    m_output = output;
    // The device hands over output buffers with undefined contents, and the engine skips a cycle
    // while the session is being changed: start every cycle from silence.
    for (int channel = 0; channel < kChannels; ++channel)
        std::fill_n(output[channel], frames, 0.0f);
    if (!m_rolling.load(std::memory_order_acquire))
        return kContinue;
    m_transportFrame.fetch_add(frames, std::memory_order_relaxed);
    if (!m_callback)
        return kContinue;
    const int result = m_callback(frames, m_argument);
    if (result == 0)
        return kContinue;
    m_errors.post("%1 < client->fProcess < PaCallback", result);
    markStreamEnded();
    return kAbort;
}

void AudioClient::mixOutputs(float* const* output, uint32_t frames, int64_t firstFrame)
{
    OutputMixerSlot::shared().mix(output, kChannels, frames, firstFrame);
}
