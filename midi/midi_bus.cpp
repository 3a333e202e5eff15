#include "midi_bus.h"

vx22Bus::vx22Bus(const QString& name, int flags, const QString& instrument)
    : vx99Bus(name, flags), m_instrument(instrument)
{
    matchFlags();
}

void vx22Bus::setFlags(int flags)
{
    vx99Bus::setFlags(flags);
    matchFlags();
}

void vx22Bus::matchFlags()
{
    // Monitors start with gain 1.0 and pan 0.0; one that stays keeps its values.
    if (isInput() && !m_input)
        m_input = std::make_unique<vx22Monitor>();
    else if (!isInput())
        m_input.reset();
    if (isOutput() && !m_output)
        m_output = std::make_unique<vx22Monitor>();
    else if (!isOutput()) {
        m_output.reset();
        m_sysex.clear();
    }
}

void vx22Bus::setPatch(int channel, const Patch& patch)
{
    Patch& kept = m_patches[size_t(channel & 0x0F)];
    kept = patch;
    kept.set = true;
}

void vx22Bus::clearPatches()
{
    m_patches = {};
}
