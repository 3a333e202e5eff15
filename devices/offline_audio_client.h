#pragma once

#include "audio_client.h"

#include <atomic>
#include <thread>
#include <vector>

class FrameClockListener;

/**
 * An audio client without a device: runs the same cycles as the sound card would, as fast as
 * possible or paced to real time, and hands each rendered block to an output of the caller's.
 *
 * Its frame clock is exact: frame 0 is the first frame rendered after construction, and a
 * frame clock listener (the sequencer layer opened on audio frames) is advanced to the end of
 * every block before the synthesizer is mixed, so MIDI lands on the frame it is due at.
 *
 * Cycles run either on a render thread of the client (activate .. deactivate) or on the caller's
 * thread (render()) while not active. The output, input and listener are called on whichever
 * thread runs the cycles; set them while no cycle runs.
 *
 * An unpaced render outruns the MIDI engine's output thread, so a song render has the MIDI
 * engine schedule each window on the render cycle itself (see EngineFactory::offline).
 */
class OfflineAudioClient : public AudioClient
{
public:
    /** Receives every rendered block: kChannels arrays of `frames` samples. */
    class Output
    {
    public:
        virtual ~Output() = default;
        virtual void write(const float* const* channels, uint32_t frames) = 0;
    };

    /** Fills the input channels of each cycle; without one the input is silence. */
    class Input
    {
    public:
        virtual ~Input() = default;
        virtual void read(float* const* channels, uint32_t frames) = 0;
    };

    OfflineAudioClient();
    ~OfflineAudioClient() override;

    void setOutput(Output* output) { m_sink = output; }
    void setInput(Input* input) { m_source = input; }
    /** Stands for a sound card that opened without input (recording then has nothing). */
    void setInputAvailable(bool available) { setHasInput(available); }
    void setFrameClockListener(FrameClockListener* listener) { m_listener = listener; }
    /** Paced: each block is rendered no earlier than its time since activate(). */
    void setPacedToRealTime(bool paced) { m_paced = paced; }
    /**
     * Stands for a sound card unplugged (true) or plugged back in: while lost, a cycle renders
     * nothing and ends the stream, as a device's stream ends when the device goes away.
     */
    void setDeviceLost(bool lost) { m_deviceLost.store(lost, std::memory_order_release); }

    /** Starts the render thread. */
    int activate() override;
    /** Stops and joins the render thread; a stream that had ended counts as stopped. */
    int deactivate() override;
    bool isActive() const override { return m_thread.joinable(); }

    /**
     * Runs `cycles` cycles on the calling thread, as fast as possible, while not active.
     * Returns 0, or -1 when the process callback failed (the cycles stop there).
     */
    int render(uint32_t cycles);

    /** Frames rendered so far: the scheduler frame of the next block. */
    int64_t frameClock() const { return m_frame.load(std::memory_order_acquire); }

private:
    int runCycle();
    void run();

    Output* m_sink = nullptr;
    Input* m_source = nullptr;
    FrameClockListener* m_listener = nullptr;
    bool m_paced = false;
    std::vector<float> m_inputData;
    std::vector<float> m_outputData;
    float* m_inputChannels[kChannels] = {};
    float* m_outputChannels[kChannels] = {};
    std::atomic<int64_t> m_frame{0};
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_deviceLost{false};
    std::thread m_thread;
};
