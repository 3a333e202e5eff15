#pragma once

#include "midi_output.h"

#include <QList>
#include <QString>

typedef struct _snd_seq snd_seq_t;
struct snd_seq_event;

/**
 * MIDI output through the ALSA sequencer: an output port named "Cantova" connected to a synth
 * port of another client (a hardware synth, or a software synth running on the desktop).
 *
 * Exists only where /dev/snd/seq does. The sequencer is opened non-blocking, so send() never
 * waits: when the kernel queue is full it returns the error for the caller to report.
 * open(), close() and the port listing on ordinary threads; send() on the delivery thread.
 */
class AlsaMidiOutput : public MidiOutput
{
public:
    struct Port
    {
        int client = 0;
        int port = 0;
        QString clientName;
        QString portName;
    };

    /** Whether this machine has the ALSA sequencer at all. */
    static bool sequencerAvailable();

    /** The ports that accept MIDI from other clients; empty without the sequencer. */
    static QList<Port> synthPorts();

    /** Converts a short message into an ALSA event (source, destination and time not set). */
    static bool toAlsaEvent(uint32_t word, snd_seq_event* event);

    /** The destination by its names; both empty means the first synth port found. */
    AlsaMidiOutput(const QString& clientName, const QString& portName);
    ~AlsaMidiOutput() override;

    bool open(QString* error) override;
    void close() override;
    int send(uint32_t message, int64_t timeMs) override;

private:
    static QList<Port> synthPorts(snd_seq_t* sequencer);
    bool connectToDestination(QString* error);

    QString m_clientName;
    QString m_portName;
    snd_seq_t* m_sequencer = nullptr;
    int m_port = -1;
};
