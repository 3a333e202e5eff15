#pragma once

#include "realtime_error_relay.h"

#include <atomic>
#include <cstdint>

/** The transport position a query fills in. */
struct TransportPosition
{
    uint32_t frame = 0;
};

/**
 * The audio client layer: the operation set the audio engine runs on.
 *
 * One stream of 2 input and 2 output channels, 32-bit float, non-interleaved, 44100 Hz, 512
 * frames per cycle. Each cycle runs the engine's process callback while the transport rolls
 * (and outputs silence otherwise), then adds the built-in synthesizer's sound when one is
 * attached to the shared output mixer slot. Only one client may be active at a time.
 *
 * Subclasses provide the device: PortAudioClient (the sound card) and OfflineAudioClient
 * (no device, for tests and rendering to a file).
 *
 * Threads: activate, deactivate and setProcessCallback on the owning ordinary thread; the
 * transport operations from the main thread (they are atomics) and the audio callback; the
 * channel buffers only inside the process callback. A failure of the process callback stops the
 * stream (hasStreamEnded() turns true); its message reaches the error log from a background
 * thread of the client.
 */
class AudioClient
{
public:
    using ProcessCallback = int (*)(uint32_t frames, void* argument);

    static constexpr uint32_t kSampleRate = 44100;
    static constexpr uint32_t kBufferSize = 512;
    static constexpr int kChannels = 2;
    /** What recording reports when the stream had to open without input. */
    static const char* const kNoInputMessage;

    AudioClient();
    virtual ~AudioClient();

    AudioClient(const AudioClient&) = delete;
    AudioClient& operator=(const AudioClient&) = delete;

    /** Starts the stream: 0 on success, -1 after reporting the failure. */
    virtual int activate() = 0;
    /** Stops the stream: 0 on success (also when not active), -1 after reporting. */
    virtual int deactivate() = 0;
    virtual bool isActive() const = 0;
    /**
     * True when the stream stopped by itself after activate(): its device went away, or a cycle
     * failed. Playing is over until the client is deactivated and activated again (which clears
     * it). Owner's thread.
     */
    virtual bool hasStreamEnded() const { return m_streamEnded.load(std::memory_order_acquire); }
    /** True when the cycles run on a device's real-time callback (nothing there may allocate). */
    virtual bool isRealTime() const { return false; }

    /** Set while the client is not active. */
    void setProcessCallback(ProcessCallback callback, void* argument);

    void transportStart() { m_rolling.store(true, std::memory_order_release); }
    void transportStop() { m_rolling.store(false, std::memory_order_release); }
    void transportLocate(uint32_t frame)
    {
        m_transportFrame.store(frame, std::memory_order_relaxed);
    }
    /** Returns 1 while rolling, else 0, and fills the transport frame. */
    int transportQuery(TransportPosition* position) const;

    /** Inside the process callback: channel i of the cycle's input (silence without input). */
    const float* inputBuffer(int channel) const;
    /** Inside the process callback: channel i of the cycle's output. */
    float* outputBuffer(int channel) const;

    uint32_t sampleRate() const { return kSampleRate; }
    uint32_t bufferSize() const { return kBufferSize; }

    /** The output device's default high output latency, seconds. */
    double recommendedPlaybackLatency() const { return m_playbackLatency; }
    /** That device's default low input latency plus its default high input latency, seconds. */
    double recommendedRecordingLatency() const { return m_recordingLatency; }

    /** False when the stream had to run without input (recording then reports kNoInputMessage). */
    bool hasInput() const { return m_hasInput.load(std::memory_order_relaxed); }

    /** Moves failures of the audio callback into the error log now. Ordinary threads only. */
    void flushErrors() { m_errors.flush(); }

    // The rest of the set does nothing.
    int setClientName(const char*) { return 0; }
    int registerPort(const char*, int) { return 0; }
    int unregisterPort(int) { return 0; }
    int setShutdownCallback(void (*)(void*), void*) { return 0; }
    int portLatency(int) const { return 0; }

protected:
    static constexpr int kContinue = 0;
    static constexpr int kAbort = 2;

    /**
     * Audio thread: the engine's part of a cycle. Stores the channel arrays, clears the output,
     * and while rolling advances the transport and calls the process callback. Returns kAbort
     * when the callback failed.
     */
    int processCycle(const float* const* input, float* const* output, uint32_t frames);

    /** Audio thread: adds the attached mixer's sound; firstFrame on the scheduler clock. */
    void mixOutputs(float* const* output, uint32_t frames, int64_t firstFrame);

    void setDeviceLatencies(double playback, double recording);
    void setHasInput(bool hasInput) { m_hasInput.store(hasInput, std::memory_order_relaxed); }
    /** Safe from any thread, the device's own included: the stream stopped by itself. */
    void markStreamEnded() noexcept { m_streamEnded.store(true, std::memory_order_release); }
    /** Owner's thread, while no stream runs. */
    void clearStreamEnded() { m_streamEnded.store(false, std::memory_order_release); }

    RealtimeErrorRelay m_errors;

private:
    ProcessCallback m_callback = nullptr;
    void* m_argument = nullptr;
    std::atomic<bool> m_rolling{false};
    std::atomic<uint32_t> m_transportFrame{0};
    std::atomic<bool> m_hasInput{true};
    std::atomic<bool> m_streamEnded{false};
    double m_playbackLatency = 0.0;
    double m_recordingLatency = 0.0;

    // Audio thread only.
    const float* const* m_input = nullptr;
    float* const* m_output = nullptr;
    float m_silence[kBufferSize] = {};
    const float* m_silentInput[kChannels] = {m_silence, m_silence};
};
