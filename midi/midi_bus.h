#pragma once

#include "bus.h"
#include "midi_monitor.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <memory>
#include <vector>

/**
 * MidiBus: a MIDI bus of the MIDI engine.
 *
 * It has a port id while open (-1 closed), an input monitor when its mode has the input bit, an
 * output monitor and a list of SysEx setup messages when it has the output bit, and a patch map
 * from channel (0..15) to the instrument, bank-select method, bank and program last set on it.
 * Changing the mode bits creates or drops the monitors and the SysEx list to match.
 * GUI thread only; the engine's output thread reads the port id and the output monitor.
 */
class MidiBus : public Bus
{
public:
    struct Patch
    {
        QString instrument;
        int bankMethod = 0;
        int bank = -1;
        int program = -1;
        bool set = false;
    };

    MidiBus(const QString& name, int flags, const QString& instrument = QString());

    void setFlags(int flags) override;
    Monitor* inputMonitor() const override { return m_input.get(); }
    Monitor* outputMonitor() const override { return m_output.get(); }
    MidiMonitor* midiInputMonitor() const { return m_input.get(); }
    MidiMonitor* midiOutputMonitor() const { return m_output.get(); }
    QString instrumentName() const override { return m_instrument; }
    void setInstrumentName(const QString& name) override { m_instrument = name; }

    /** The port id while open, -1 while closed. */
    int port() const { return m_port; }
    void setPort(int port) { m_port = port; }
    bool isOpen() const { return m_port >= 0; }

    /** SysEx messages sent when the bus is set up; empty without the output bit. */
    std::vector<QByteArray>& sysexList() { return m_sysex; }

    /** The patch of a channel (masked to 4 bits). */
    const Patch& patch(int channel) const { return m_patches[size_t(channel & 0x0F)]; }
    void setPatch(int channel, const Patch& patch);
    void clearPatches();

private:
    void matchFlags();

    QString m_instrument;
    int m_port = -1;
    std::unique_ptr<MidiMonitor> m_input;
    std::unique_ptr<MidiMonitor> m_output;
    std::vector<QByteArray> m_sysex;
    std::array<Patch, 16> m_patches;
};
