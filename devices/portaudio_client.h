#pragma once

#include "audio_client.h"

#include <QString>

#include <atomic>
#include <memory>

typedef void PaStream;
struct PaStreamCallbackTimeInfo;
typedef unsigned long PaStreamCallbackFlags;

/**
 * The audio client on the sound card: one PortAudio stream on the default devices.
 *
 * A desktop without a usable input device still plays: when the duplex stream cannot be opened,
 * an output-only stream is opened instead, hasInput() turns false and the input channels read
 * silence. The stream callback runs on PortAudio's thread; the rest on the owning thread.
 */
class PortAudioClient : public AudioClient
{
public:
    /**
     * Client open: initialises PortAudio and reads the default devices' latencies. Returns none
     * after reporting "%1 < _Initialize < _client_open".
     */
    static std::unique_ptr<PortAudioClient> open();

    /** Deactivates, then closes if close() was not called. */
    ~PortAudioClient() override;

    /** Client close: terminates PortAudio. 0, or -1 after reporting. */
    int close();

    int activate() override;
    int deactivate() override;
    bool isActive() const override { return m_stream != nullptr; }
    /** Also true when PortAudio reports the stream inactive without deactivate() asking. */
    bool hasStreamEnded() const override;
    bool isRealTime() const override { return true; }

    /** Why the stream runs without input (the duplex open's error), empty when it has input. */
    QString inputUnavailableReason() const { return m_inputUnavailableReason; }

private:
    PortAudioClient() = default;
    static int streamCallback(const void* input, void* output, unsigned long frames,
                              const PaStreamCallbackTimeInfo* time, PaStreamCallbackFlags flags,
                              void* client);
    static void streamFinished(void* client);
    void readDeviceLatencies();
    int openStream(int inputChannels);

    PaStream* m_stream = nullptr;
    std::atomic<bool> m_stopping{false}; // deactivate() is stopping the stream
    bool m_initialized = false;
    QString m_inputUnavailableReason;
};
