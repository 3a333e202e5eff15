#include "output_mixer_slot.h"

#include <thread>

OutputMixerSlot& OutputMixerSlot::shared()
{
    static OutputMixerSlot slot;
    return slot;
}

void OutputMixerSlot::attach(AudioOutputMixer* mixer)
{
    m_mixer.store(mixer, std::memory_order_seq_cst);
    waitUntilUnused();
}

void OutputMixerSlot::detach(AudioOutputMixer* mixer)
{
    AudioOutputMixer* expected = mixer;
    m_mixer.compare_exchange_strong(expected, nullptr, std::memory_order_seq_cst);
    waitUntilUnused();
}

void OutputMixerSlot::waitUntilUnused() const
{
    // A callback spends well under a millisecond inside; a short sleep keeps this thread polite.
    while (m_inside.load(std::memory_order_seq_cst) != 0)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
}
