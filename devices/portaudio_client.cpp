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
    m_stopping.store(false, std::memory_order_release);
    clearStreamEnded();
    // PortAudio calls this when the stream stops by itself too: a device that went away.
    Pa_SetStreamFinishedCallback(m_stream, streamFinished);
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
    // A stream whose device went away may refuse to stop or close; its handle is dropped all
    // the same, so that the next activate() opens a new stream instead of keeping a dead one.
    const bool ended = hasStreamEnded();
    m_stopping.store(true, std::memory_order_release);
    int result = 0;
    PaError error = Pa_StopStream(m_stream);
    if (error != paNoError) {
        report("%1 < _StopStream < _deactivate", error);
        if (!ended)
            return -1;
        result = -1;
    }
    error = Pa_CloseStream(m_stream);
    if (error != paNoError) {
        report("%1 < _CloseStream < _deactivate", error);
        if (!ended)
            return -1;
        result = -1;
    }
    m_stream = nullptr;
    clearStreamEnded();
    m_errors.flush();
    return result;
}

bool PortAudioClient::hasStreamEnded() const
{
    if (AudioClient::hasStreamEnded())
        return true;
    // 1 while running; 0 once the stream stopped, a negative error for a handle gone bad.
    return m_stream && !m_stopping.load(std::memory_order_acquire) &&
           Pa_IsStreamActive(m_stream) != 1;
}

void PortAudioClient::streamFinished(void* data)
{
    // PortAudio's thread, once the stream has stopped: only an atomic is touched here.
    auto* client = static_cast<PortAudioClient*>(data);
    if (!client->m_stopping.load(std::memory_order_acquire))
        client->markStreamEnded();
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
