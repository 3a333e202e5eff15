#pragma once

#include <QtGlobal>
#include <atomic>
#include <cstdint>

/**
 * Something that adds its own sound to the audio client's output after the process callback:
 * the built-in General MIDI synthesizer.
 */
class AudioOutputMixer
{
public:
    virtual ~AudioOutputMixer() = default;

    /**
     * Adds `frames` frames to the output channels. `firstFrame` is the scheduler frame (see
     * SchedulerClock) that the first frame of the block stands for. Runs in the audio callback:
     * must not lock, allocate, log or do I/O.
     */
    virtual void mix(float* const* channels, int channelCount, uint32_t frames,
                     int64_t firstFrame) = 0;
};

/**
 * The place where a mixer is attached for the audio callback to find.
 *
 * The audio callback enters the slot, uses the mixer and leaves; detach() waits until no callback
 * is inside, so the mixer may be destroyed as soon as detach() returns. The handshake is a store
 * then a load on each side, both sequentially consistent: either the callback sees the cleared
 * pointer, or detach() sees the callback inside and waits.
 *
 * One slot is shared by the program (shared()): the sequencer layer attaches the built-in synth
 * there and every audio client mixes what it finds there.
 */
class OutputMixerSlot
{
public:
    static OutputMixerSlot& shared();

    /** Ordinary threads only. Replaces any mixer that was attached. */
    void attach(AudioOutputMixer* mixer);

    /** Ordinary threads only. Returns once no audio callback uses the old mixer. */
    void detach(AudioOutputMixer* mixer);

    /**
     * Runs in the audio callback: mixes through the attached mixer, if any. The mixer reads a
     * single-consumer ring, so one audio callback at a time may mix: a second one that comes
     * while the first is inside is a fault of the program (asserted; it mixes nothing).
     */
    void mix(float* const* channels, int channelCount, uint32_t frames, int64_t firstFrame)
    {
        const bool alone = m_inside.fetch_add(1, std::memory_order_seq_cst) == 0;
        Q_ASSERT_X(alone, "OutputMixerSlot::mix", "two audio callbacks mix at once");
        if (AudioOutputMixer* mixer = m_mixer.load(std::memory_order_seq_cst); mixer && alone)
            mixer->mix(channels, channelCount, frames, firstFrame);
        m_inside.fetch_sub(1, std::memory_order_seq_cst);
    }

private:
    void waitUntilUnused() const;

    std::atomic<AudioOutputMixer*> m_mixer{nullptr};
    std::atomic<int> m_inside{0};
};
