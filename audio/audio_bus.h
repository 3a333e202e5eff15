#pragma once

#include "bus.h"

#include <cstdint>
#include <memory>
#include <vector>

class AudioMonitor;

/**
 * AudioBus: an input and/or output connection of the audio engine.
 *
 * Each cycle prepare() points the bus's channels at the device channels of the same index (a
 * channel the device lacks gets a scratch buffer of the cycle's size): input channels are
 * measured by the input monitor, output channels start from silence, or from a copy of the
 * input when the bus passes its input through. Clips mix into the output channels; commit()
 * then applies the output monitor's per-channel gains in place. Every bus the program creates
 * has 2 channels, so all output buses sum into the one stereo device output.
 *
 * Threads: construction and setFlags() on the GUI thread under the session's edit lock;
 * prepare(), commit() and the channel arrays in the audio callback only.
 */
class AudioBus : public Bus
{
public:
    AudioBus(const QString& name, int flags, int channels, uint32_t maxFrames);
    ~AudioBus() override;

    int channels() const { return int(m_output.size()); }
    /** The largest cycle prepare() accepts. */
    uint32_t maxFrames() const { return m_maxFrames; }

    /** Creates or drops the monitors to match the new direction bits. */
    void setFlags(int flags) override;
    Monitor* inputMonitor() const override;
    Monitor* outputMonitor() const override;
    AudioMonitor* audioInputMonitor() const { return m_inputMonitor.get(); }
    AudioMonitor* audioOutputMonitor() const { return m_outputMonitor.get(); }

    /**
     * Audio callback: binds the channels to the device's for a cycle of `frames` frames
     * (at most maxFrames()). The device arrays hold deviceChannels pointers, any of them none.
     */
    void prepare(const float* const* deviceInput, float* const* deviceOutput, int deviceChannels,
                 uint32_t frames);
    /** Audio callback: applies the output monitor to the output channels. */
    void commit(uint32_t frames);

    /** Audio callback, between prepare() and commit(): the cycle's channel buffers. */
    const float* const* inputChannels() const { return m_input.data(); }
    float* const* outputChannels() const { return m_output.data(); }

private:
    void updateMonitors();

    uint32_t m_maxFrames;
    std::vector<const float*> m_input;
    std::vector<float*> m_output;
    std::vector<float> m_silence;              // stands in for device inputs that do not exist
    std::vector<std::vector<float>> m_scratch; // stands in for device outputs that do not exist
    std::unique_ptr<AudioMonitor> m_inputMonitor;
    std::unique_ptr<AudioMonitor> m_outputMonitor;
};
