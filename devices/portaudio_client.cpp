#include "portaudio_client.h"

#include "error_log.h"
#include "scheduler_clock.h"

#include <portaudio.h>

namespace {

void report(const char* format, PaError error)
{
    ErrorLog::add(QString::fromLatin1(format).arg(QString::fromUtf8(Pa_GetErrorText(error))));
}

} // namespace

std::unique_ptr<PortAudioClient> PortAudioClient::open()
{
    const PaError error = Pa_Initialize();
    if (error != paNoError) {
        report("%1 < _Initialize < _client_open", error);
        return nullptr;
    }
    SchedulerClock::systemNanoseconds(); // captures the clock origin before any callback runs
    std::unique_ptr<PortAudioClient> client(new PortAudioClient);
    client->m_initialized = true;
    client->readDeviceLatencies();
    return client;
}

PortAudioClient::~PortAudioClient()
{
    deactivate();
    if (m_initialized)
        close();
}

void PortAudioClient::readDeviceLatencies()
{
    // A machine without an output device has no device info: the latencies stay 0.
    const PaDeviceIndex device = Pa_GetDefaultOutputDevice();
    const PaDeviceInfo* info = device == paNoDevice ? nullptr : Pa_GetDeviceInfo(device);
    if (info)
        setDeviceLatencies(info->defaultHighOutputLatency,
                           info->defaultLowInputLatency + info->defaultHighInputLatency);
}

int PortAudioClient::close()
{
    deactivate();
    const PaError error = Pa_Terminate();
    if (error != paNoError) {
        report("%1 < _Terminate < _client_close", error);
        return -1;
    }
    m_initialized = false;
    return 0;
}

int PortAudioClient::openStream(int inputChannels)
{
    return Pa_OpenDefaultStream(&m_stream, inputChannels, kChannels, paFloat32 | paNonInterleaved,
                                kSampleRate, kBufferSize, streamCallback, this);
}

int PortAudioClient::activate()
{
    if (m_stream)
        return 0;
    const PaError duplexError = openStream(kChannels);
    m_inputUnavailableReason.clear();
    setHasInput(duplexError == paNoError);
    if (duplexError != paNoError) {
        m_stream = nullptr;
        // No usable input device: play anyway, recording reports that there is no input.
        if (openStream(0) != paNoError) {
            m_stream = nullptr;
            report("%1 < _OpenDefaultStream < _activate", duplexError);
            return -1;
        }
        m_inputUnavailableReason = QString::fromUtf8(Pa_GetErrorText(duplexError));
    }
    const PaError error = Pa_StartStream(m_stream);
    if (error != paNoError) {
        report("%1 < _StartStream < _activate", error);
        Pa_CloseStream(m_stream);
        m_stream = nullptr;
        return -1;
    }
    return 0;
}

int PortAudioClient::deactivate()
{
    if (!m_stream)
        return 0;
    PaError error = Pa_StopStream(m_stream);
    if (error != paNoError) {
        report("%1 < _StopStream < _deactivate", error);
        return -1;
    }
    error = Pa_CloseStream(m_stream);
    if (error != paNoError) {
        report("%1 < _CloseStream < _deactivate", error);
        return -1;
    }
    m_stream = nullptr;
    m_errors.flush();
    return 0;
}

int PortAudioClient::streamCallback(const void* input, void* output, unsigned long frames,
                                    const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags,
                                    void* data)
{
    auto* client = static_cast<PortAudioClient*>(data);
    auto* const* outputs = static_cast<float* const*>(output);
    const auto count = static_cast<uint32_t>(frames);
    const int result =
        client->processCycle(static_cast<const float* const*>(input), outputs, count);
    // The block just rendered stands for the last `frames` frames of the scheduler's clock.
    client->mixOutputs(outputs, count, SchedulerClock::systemNowFrame() - count);
    return result == kAbort ? paAbort : paContinue;
}
