#include "alsa_midi_output.h"

#include <QFileInfo>

#include <alsa/asoundlib.h>

namespace {

const char* const kPortName = "Cantova";

QString alsaError(int code)
{
    return QString::fromLocal8Bit(snd_strerror(code));
}

} // namespace

bool AlsaMidiOutput::sequencerAvailable()
{
    return QFileInfo::exists(QStringLiteral("/dev/snd/seq"));
}

QList<AlsaMidiOutput::Port> AlsaMidiOutput::synthPorts()
{
    if (!sequencerAvailable())
        return {};
    snd_seq_t* sequencer = nullptr;
    if (snd_seq_open(&sequencer, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0)
        return {};
    const QList<Port> ports = synthPorts(sequencer);
    snd_seq_close(sequencer);
    return ports;
}

QList<AlsaMidiOutput::Port> AlsaMidiOutput::synthPorts(snd_seq_t* sequencer)
{
    constexpr unsigned kWritable = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
    const int self = snd_seq_client_id(sequencer);
    QList<Port> ports;
    snd_seq_client_info_t* clientInfo = nullptr;
    snd_seq_port_info_t* portInfo = nullptr;
    snd_seq_client_info_alloca(&clientInfo);
    snd_seq_port_info_alloca(&portInfo);
    snd_seq_client_info_set_client(clientInfo, -1);
    while (snd_seq_query_next_client(sequencer, clientInfo) >= 0) {
        const int client = snd_seq_client_info_get_client(clientInfo);
        if (client == SND_SEQ_CLIENT_SYSTEM || client == self)
            continue;
        snd_seq_port_info_set_client(portInfo, client);
        snd_seq_port_info_set_port(portInfo, -1);
        while (snd_seq_query_next_port(sequencer, portInfo) >= 0) {
            const unsigned caps = snd_seq_port_info_get_capability(portInfo);
            if ((caps & kWritable) != kWritable || (caps & SND_SEQ_PORT_CAP_NO_EXPORT))
                continue;
            if (!(snd_seq_port_info_get_type(portInfo) & SND_SEQ_PORT_TYPE_MIDI_GENERIC))
                continue;
            ports.append(Port{client, snd_seq_port_info_get_port(portInfo),
                              QString::fromUtf8(snd_seq_client_info_get_name(clientInfo)),
                              QString::fromUtf8(snd_seq_port_info_get_name(portInfo))});
        }
    }
    return ports;
}

bool AlsaMidiOutput::toAlsaEvent(uint32_t word, snd_seq_event* event)
{
    snd_seq_ev_clear(event);
    const int channel = static_cast<int>(word & 0x0F);
    const int data1 = static_cast<int>(word >> 8 & 0x7F);
    const int data2 = static_cast<int>(word >> 16 & 0x7F);
    switch (word & 0xF0) {
    case 0x90:
        snd_seq_ev_set_noteon(event, channel, data1, data2);
        return true;
    case 0x80:
        snd_seq_ev_set_noteoff(event, channel, data1, data2);
        return true;
    case 0xB0:
        snd_seq_ev_set_controller(event, channel, data1, data2);
        return true;
    case 0xC0:
        snd_seq_ev_set_pgmchange(event, channel, data1);
        return true;
    default:
        return false;
    }
}

AlsaMidiOutput::AlsaMidiOutput(const QString& clientName, const QString& portName)
    : m_clientName(clientName), m_portName(portName)
{
}

AlsaMidiOutput::~AlsaMidiOutput()
{
    close();
}

bool AlsaMidiOutput::open(QString* error)
{
    if (m_sequencer)
        return true;
    if (!sequencerAvailable()) {
        *error = QStringLiteral("The ALSA sequencer is not available (no /dev/snd/seq)");
        return false;
    }
    int result = snd_seq_open(&m_sequencer, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK);
    if (result < 0) {
        m_sequencer = nullptr;
        *error = QStringLiteral("%1 < snd_seq_open").arg(alsaError(result));
        return false;
    }
    snd_seq_set_client_name(m_sequencer, kPortName);
    m_port = snd_seq_create_simple_port(
        m_sequencer, kPortName, SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (m_port < 0) {
        *error = QStringLiteral("%1 < snd_seq_create_simple_port").arg(alsaError(m_port));
        close();
        return false;
    }
    if (!connectToDestination(error)) {
        close();
        return false;
    }
    return true;
}

bool AlsaMidiOutput::connectToDestination(QString* error)
{
    const bool anyPort = m_clientName.isEmpty() && m_portName.isEmpty();
    for (const Port& port : synthPorts(m_sequencer)) {
        if (!anyPort && (port.clientName != m_clientName || port.portName != m_portName))
            continue;
        const int result = snd_seq_connect_to(m_sequencer, m_port, port.client, port.port);
        if (result < 0) {
            *error = QStringLiteral("%1 < snd_seq_connect_to %2:%3")
                         .arg(alsaError(result))
                         .arg(port.client)
                         .arg(port.port);
            return false;
        }
        return true;
    }
    *error = anyPort ? QStringLiteral("No ALSA MIDI synth port was found")
                     : QStringLiteral("The ALSA MIDI port \"%1: %2\" was not found")
                           .arg(m_clientName, m_portName);
    return false;
}

void AlsaMidiOutput::close()
{
    if (m_sequencer)
        snd_seq_close(m_sequencer); // also deletes the port and its connection
    m_sequencer = nullptr;
    m_port = -1;
}

int AlsaMidiOutput::send(uint32_t message, int64_t)
{
    snd_seq_event_t event;
    if (!m_sequencer || !toAlsaEvent(message, &event))
        return 0;
    snd_seq_ev_set_source(&event, m_port);
    snd_seq_ev_set_subs(&event);
    snd_seq_ev_set_direct(&event);
    const int result = snd_seq_event_output_direct(m_sequencer, &event);
    return result < 0 ? result : 0;
}
