#include "midi_bus.h"

MidiBus::MidiBus(const QString& name, int flags, const QString& instrument)
    : Bus(name, flags), m_instrument(instrument)
{
    matchFlags();
}

void MidiBus::setFlags(int flags)
{
    Bus::setFlags(flags);
    matchFlags();
}

void MidiBus::matchFlags()
{
    // Monitors start with gain 1.0 and pan 0.0; one that stays keeps its values.
    if (isInput() && !m_input)
        m_input = std::make_unique<MidiMonitor>();
    else if (!isInput())
        m_input.reset();
    if (isOutput() && !m_output)
        m_output = std::make_unique<MidiMonitor>();
    else if (!isOutput()) {
        m_output.reset();
        m_sysex.clear();
    }
}

void MidiBus::setPatch(int channel, const Patch& patch)
{
    Patch& kept = m_patches[size_t(channel & 0x0F)];
    kept = patch;
    kept.set = true;
}

void MidiBus::clearPatches()
{
    m_patches = {};
}
