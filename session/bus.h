#pragma once

#include <QString>

class Monitor;

/**
 * Bus: a named input and/or output connection of an engine.
 *
 * The audio and MIDI engines derive their buses from it. Tracks find their buses by name and
 * fall back to the first bus that can serve the direction. GUI thread only (engines read the
 * bus objects, the GUI creates and deletes them under the session's edit lock).
 */
class Bus
{
public:
    enum Flag { Input = 1, Output = 2, Duplex = Input | Output };

    Bus(const QString& name, int flags) : m_name(name), m_flags(flags) {}
    virtual ~Bus() = default;

    const QString& name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    int flags() const { return m_flags; }
    /** Changes the direction bits; an engine's bus creates or drops its monitors to match. */
    virtual void setFlags(int flags) { m_flags = flags; }
    bool isInput() const { return (m_flags & Input) != 0; }
    bool isOutput() const { return (m_flags & Output) != 0; }

    /** Input copied to the output (audio buses). */
    bool passThrough() const { return m_passThrough; }
    void setPassThrough(bool on) { m_passThrough = on; }

    /** The gain and pan stages of each direction; none where the bus has no such direction. */
    virtual Monitor* inputMonitor() const { return nullptr; }
    virtual Monitor* outputMonitor() const { return nullptr; }

    /** MIDI buses: the name of the instrument definition the bus plays; empty otherwise. */
    virtual QString instrumentName() const { return QString(); }
    virtual void setInstrumentName(const QString& name) { (void)name; }

private:
    QString m_name;
    int m_flags;
    bool m_passThrough = false;
};
