#include "midi_track_writer.h"

#include "conductor_hook.h"
#include "midi_sequence.h"
#include "midi_tempo_map.h"
#include "rounding.h"

#include <algorithm>
#include <cmath>

MidiTrackWriter::MidiTrackWriter(const Setup& setup) : m_setup(setup), m_out(m_bytes) {}

bool MidiTrackWriter::Later::operator()(const NoteOff& a, const NoteOff& b) const
{
    // Earliest first; at equal times the higher sequence index, then the order scheduled.
    if (a.time != b.time)
        return a.time > b.time;
    if (a.sequence != b.sequence)
        return a.sequence < b.sequence;
    return a.serial > b.serial;
}

QByteArray MidiTrackWriter::build()
{
    writeName(m_setup.main ? m_setup.main->name() : m_setup.conductorName);
    writeSongStructure();
    if (m_setup.main) {
        writePrograms();
        mergeSequences();
    }
    writeRest();
    // A track of one sequence ends at its length when that lies after its last event.
    const bool single = m_setup.main && m_setup.merged.size() <= 1;
    writeDelta(single ? std::max<uint64_t>(m_lastTime, m_setup.main->length()) : m_lastTime);
    writeMeta(0x2F, QByteArray());
    return m_bytes;
}

void MidiTrackWriter::writeName(const QString& name)
{
    if (name.isEmpty())
        return;
    // Names are 8-bit text, written and read as Latin-1.
    writeDelta(0);
    writeMeta(0x03, name.toLatin1());
}

void MidiTrackWriter::writeSongStructure()
{
    if (!m_setup.songStructure)
        return;
    MidiSequence events;
    m_setup.songStructure->writeConductor(events);
    // Only meta and system exclusive events: the first track may have no channel of its own.
    for (const MidiEvent* event = events.first(); event; event = event->next()) {
        if (event->isMeta() || event->isSysEx())
            writeEvent(0, *event, 0);
    }
}

void MidiTrackWriter::writePrograms()
{
    // Every merged sequence's program, so a format-0 track keeps the program of each channel.
    for (const MidiSequence* sequence : m_setup.merged) {
        if (!sequence || sequence->program() < 0)
            continue;
        writeDelta(0);
        writeChannelStatus(0xC0 | sequence->channel());
        m_out.writeByte(sequence->program() & 0x7F);
    }
}

uint64_t MidiTrackWriter::fileTime(const MidiSequence& sequence, uint64_t ticks) const
{
    if (sequence.resolution() == 0 || sequence.resolution() == m_setup.division)
        return ticks;
    return uint64_t(roundHalfAway((long double)ticks * m_setup.division / sequence.resolution()));
}

int MidiTrackWriter::pickSequence(std::vector<const MidiEvent*>& next, uint64_t& time) const
{
    int picked = -1;
    for (size_t k = 0; k < next.size(); ++k) {
        if (!next[k])
            continue;
        const uint64_t t = fileTime(*m_setup.merged[k], next[k]->time);
        // "<=": among equal times the sequence with the higher index goes first.
        if (picked < 0 || t <= time) {
            picked = int(k);
            time = t;
        }
    }
    return picked;
}

void MidiTrackWriter::mergeSequences()
{
    std::vector<const MidiEvent*> next;
    next.reserve(m_setup.merged.size());
    for (const MidiSequence* sequence : m_setup.merged)
        next.push_back(sequence ? sequence->first() : nullptr);

    uint64_t time = 0;
    for (int k = pickSequence(next, time); k >= 0; k = pickSequence(next, time)) {
        writeNoteOffsUpTo(time);
        writeTempoUpTo(time);
        writeEvent(k, *next[size_t(k)], time);
        next[size_t(k)] = next[size_t(k)]->next();
    }
}

void MidiTrackWriter::writeRest()
{
    // What is left after the last event, in time order: note-offs first at equal times.
    const auto* nodes = m_setup.tempoMap ? &m_setup.tempoMap->nodes() : nullptr;
    const bool tempo = nodes && (m_setup.writeTempo || !m_setup.main);
    for (;;) {
        const bool haveNode = tempo && m_nextNode < nodes->size();
        if (!m_noteOffs.empty() &&
            (!haveNode || m_noteOffs.top().time <= (*nodes)[m_nextNode].time)) {
            writeNoteOff(m_noteOffs.top());
            m_noteOffs.pop();
        } else if (haveNode) {
            writeTempoNode(m_nextNode++);
        } else {
            break;
        }
    }
}

void MidiTrackWriter::writeNoteOffsUpTo(uint64_t time)
{
    while (!m_noteOffs.empty() && m_noteOffs.top().time <= time) {
        writeNoteOff(m_noteOffs.top());
        m_noteOffs.pop();
    }
}

void MidiTrackWriter::writeNoteOff(const NoteOff& off)
{
    writeDelta(off.time);
    writeChannelStatus(0x80 | off.channel);
    m_out.writeByte(off.key);
    m_out.writeByte(0);
}

void MidiTrackWriter::writeTempoUpTo(uint64_t time)
{
    if (!m_setup.writeTempo || !m_setup.tempoMap)
        return;
    const auto& nodes = m_setup.tempoMap->nodes();
    while (m_nextNode < nodes.size() && nodes[m_nextNode].time <= time)
        writeTempoNode(m_nextNode++);
}

void MidiTrackWriter::writeTempoNode(size_t index)
{
    const auto& nodes = m_setup.tempoMap->nodes();
    const MidiTempoMap::Node& n = nodes[index];
    const MidiTempoMap::Node* p = index > 0 ? &nodes[index - 1] : nullptr;
    const bool sameMeter = p && p->numerator == n.numerator && p->exponent == n.exponent;
    if (p && p->tempo == n.tempo) {
        if (!sameMeter) {
            writeDelta(n.time);
            writeTimeSignature(n.numerator, n.exponent);
        }
        return;
    }
    // 3 bytes hold at most 0xFFFFFF microseconds (about 3.6 beats per minute).
    long long microseconds = 0xFFFFFF;
    const long double perQuarter = 60000000.0L / n.tempo;
    if (n.tempo > 0.0f && perQuarter < 0xFFFFFF)
        microseconds = std::max<long long>(roundHalfAway(perQuarter), 1);
    writeDelta(n.time);
    m_out.writeByte(0xFF);
    m_out.writeByte(0x51);
    m_out.writeByte(3);
    m_out.writeNumber(uint32_t(microseconds), 3);
    m_running = 0;
    if (!sameMeter) {
        writeDelta(n.time);
        writeTimeSignature(n.numerator, n.exponent);
    }
}

void MidiTrackWriter::writeTimeSignature(uint16_t numerator, uint16_t exponent)
{
    // The two last bytes are 32 and 4 in every file this program writes.
    const char data[4] = {char(numerator & 0xFF), char(exponent & 0xFF), 32, 4};
    writeMeta(0x58, QByteArray(data, 4));
}

void MidiTrackWriter::writeEvent(int sequence, const MidiEvent& event, uint64_t time)
{
    if (event.isMeta()) {
        // An end of track in the middle would cut the track short for every reader.
        if (event.metaType == 0x2F)
            return;
        writeDelta(time);
        writeMeta(event.metaType, event.data());
        return;
    }
    if (event.isSysEx()) {
        // A message with nothing after its 0xF0 would read back as a length of 0.
        if (event.length() <= 1)
            return;
        writeDelta(time);
        m_out.writeByte(0xF0);
        m_running = 0;
        m_out.writeNumber(uint32_t(event.length() - 1), 0);
        m_out.writeBytes(event.data().constData() + 1, event.length() - 1);
        return;
    }
    const MidiSequence& owner = *m_setup.merged[size_t(sequence)];
    writeDelta(time);
    writeChannelStatus((event.status & 0xF0) | owner.channel());
    switch (event.status & 0xF0) {
    case 0xC0:
    case 0xD0:
        m_out.writeByte(event.data2 & 0x7F);
        break;
    case 0x90:
        m_out.writeByte(event.data1 & 0x7F);
        m_out.writeByte(event.data2 & 0x7F);
        m_noteOffs.push({fileTime(owner, uint64_t(event.time) + event.duration), sequence,
                         m_serial++, uint8_t(event.data1 & 0x7F), uint8_t(owner.channel())});
        break;
    default:
        m_out.writeByte(event.data1 & 0x7F);
        m_out.writeByte(event.data2 & 0x7F);
        break;
    }
}

void MidiTrackWriter::writeMeta(int type, const QByteArray& data)
{
    m_out.writeByte(0xFF);
    m_out.writeByte(type & 0x7F);
    m_out.writeNumber(uint32_t(data.size()), 0);
    m_out.writeBytes(data);
    m_running = 0;
}

void MidiTrackWriter::writeChannelStatus(int status)
{
    if (status != m_running) {
        m_out.writeByte(status);
        m_running = status;
    }
}

void MidiTrackWriter::writeDelta(uint64_t time)
{
    const uint64_t delta = time > m_lastTime ? time - m_lastTime : 0;
    m_lastTime = std::max(m_lastTime, time);
    m_out.writeNumber(uint32_t(std::min<uint64_t>(delta, 0x0FFFFFFF)), 0);
}
