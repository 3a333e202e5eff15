#include "midi_track_reader.h"

#include "error_log.h"
#include "midi_sequence.h"
#include "midi_tempo_map.h"
#include "rounding.h"

#include <algorithm>

MidiTrackReader::MidiTrackReader(const Setup& setup, const uint8_t* data, uint32_t size)
    : m_setup(setup), m_in(data, size)
{
}

bool MidiTrackReader::read()
{
    while (!m_in.atEnd()) {
        const Step step = readEvent();
        if (step == Fail)
            return false;
        if (step == EndPass)
            break;
    }
    return true;
}

MidiTrackReader::Step MidiTrackReader::fail(const QString& what)
{
    m_error = QStringLiteral("%1 at byte %2 of track %3")
                  .arg(what)
                  .arg(m_in.offset())
                  .arg(m_setup.trackIndex);
    return Fail;
}

MidiTrackReader::Step MidiTrackReader::readEvent()
{
    const int64_t delta = m_in.readNumber(0);
    if (delta < 0)
        return fail(QStringLiteral("bad delta time"));
    m_fileTime += uint64_t(delta);

    const int byte = m_in.readByte();
    if (byte < 0)
        return fail(QStringLiteral("missing status byte"));
    int status = byte;
    if (byte & 0x80) {
        // Meta and system exclusive events do not become the running status: a channel
        // message after them that leaves out its status still reads as the one before.
        if (byte < 0xF0)
            m_running = byte;
    } else {
        if (!m_running)
            return fail(QStringLiteral("data byte without running status"));
        status = m_running;
        m_in.unread();
    }
    if (status == 0xFF)
        return readMeta();
    if ((status & 0xF0) == 0xF0) // 0xF0 and 0xF7 both read as system exclusive
        return readSysEx();
    return readChannel(status);
}

MidiSequence* MidiTrackReader::destinationFor(bool channelMessage, int channel) const
{
    const auto& d = m_setup.destinations;
    if (d.size() == 1)
        return d[0];
    const size_t index = m_setup.format == 1 ? size_t(m_setup.trackIndex)
                         : channelMessage    ? size_t(channel)
                                             : 0;
    // Events for which no destination was given are read and left.
    return index < d.size() ? d[index] : nullptr;
}

uint32_t MidiTrackReader::timeFor(const MidiSequence* d) const
{
    const long double ticks =
        (long double)d->resolution() * (long double)m_fileTime / m_setup.division;
    // Limited before the conversion: a track of huge deltas must not overflow it.
    return ticks >= (long double)UINT32_MAX ? UINT32_MAX : uint32_t(roundHalfAway(ticks));
}

bool MidiTrackReader::isPastLength(const MidiSequence* d, uint32_t time) const
{
    return d->length() > 0 && uint64_t(time) > uint64_t(d->begin()) + d->length();
}

uint32_t MidiTrackReader::mapTime() const
{
    return uint32_t(std::min<uint64_t>(m_fileTime, UINT32_MAX));
}

MidiTrackReader::Step MidiTrackReader::readChannel(int status)
{
    const int type = status & 0xF0;
    const int channel = status & 0x0F;
    const uint32_t size = (type == 0xC0 || type == 0xD0) ? 1 : 2;
    const uint8_t* bytes = m_in.take(size);
    if (!bytes)
        return fail(QStringLiteral("truncated channel message"));

    MidiSequence* d = destinationFor(true, channel);
    if (!d)
        return Next;
    const uint32_t time = timeFor(d);
    if (isPastLength(d, time))
        return EndPass;
    const bool accepted =
        time >= d->begin() && (!m_setup.channelFilter || channel == m_setup.selector);
    if (accepted)
        takeChannel(d, time, type, channel, bytes[0] & 0x7F, size == 2 ? bytes[1] & 0x7F : 0);
    return Next;
}

void MidiTrackReader::takeChannel(MidiSequence* d, uint32_t time, int type, int channel,
                                  uint8_t data1, uint8_t data2)
{
    switch (type) {
    case 0x80:
        d->addReadNoteOff(time, data1);
        break;
    case 0x90:
        if (data2 == 0) // a note on with velocity 0 is a note off
            d->addReadNoteOff(time, data1);
        else
            d->addRead(MidiEvent::note(time, data1, data2, 0));
        break;
    case 0xB0: {
        const int bank = std::max(d->bank(), 0);
        if (data1 == 0)
            d->setBank((bank & 0x7F) | (data2 << 7));
        else if (data1 == 32)
            d->setBank((bank & 0x3F80) | data2);
        else
            d->addRead(MidiEvent::channel(time, type, data1, data2));
        break;
    }
    case 0xC0:
        if (d->program() < 0)
            d->setProgram(data1);
        break;
    case 0xD0:
        d->addRead(MidiEvent::channel(time, type, 0, data1));
        break;
    default: // 0xA0, 0xE0
        d->addRead(MidiEvent::channel(time, type, data1, data2));
        break;
    }
    d->setChannel(uint16_t(channel));
}

MidiTrackReader::Step MidiTrackReader::readSysEx()
{
    const int64_t length = m_in.readNumber(0);
    if (length < 0)
        return fail(QStringLiteral("bad system exclusive length"));
    if (length == 0)
        return EndPass;
    MidiSequence* d = destinationFor(false, 0);
    const uint32_t time = d ? timeFor(d) : 0;
    if (d && isPastLength(d, time))
        return EndPass;
    const uint8_t* bytes = m_in.take(uint32_t(length));
    if (!bytes)
        return fail(QStringLiteral("system exclusive message past the end of the track"));
    if (!d || time < d->begin() || (m_setup.channelFilter && m_setup.selector != 0))
        return Next;
    if (length + 1 > MidiEvent::MaxDataLength) {
        ErrorLog::add(QStringLiteral("MidiFile::readTracks: a system exclusive message of %1 "
                                     "bytes in track %2 was skipped")
                          .arg(length)
                          .arg(m_setup.trackIndex));
        return Next;
    }
    QByteArray message(int(length) + 1, Qt::Uninitialized);
    message[0] = char(0xF0);
    std::copy(bytes, bytes + length, message.data() + 1);
    d->addRead(MidiEvent::sysex(time, message));
    return Next;
}

MidiTrackReader::Step MidiTrackReader::readMeta()
{
    const int type = m_in.readByte();
    if (type < 0)
        return fail(QStringLiteral("missing meta type"));
    const int64_t length = m_in.readNumber(0);
    if (length < 0)
        return fail(QStringLiteral("bad meta length"));
    MidiSequence* d = destinationFor(false, 0);
    const uint32_t time = d ? timeFor(d) : 0;
    if (d && isPastLength(d, time))
        return EndPass;
    const uint8_t* bytes = m_in.take(uint32_t(length));
    if (!bytes)
        return fail(QStringLiteral("meta event past the end of the track"));
    if (type == MidiEvent::MetaEndOfTrack) {
        // Bytes after the end of the track are padding, not events.
        if (d)
            d->raiseEnd(time > d->begin() ? time - d->begin() : 0);
        return EndPass;
    }
    if (length > 0)
        takeMeta(d, time, type, bytes, uint32_t(length));
    return Next;
}

void MidiTrackReader::takeMeta(MidiSequence* d, uint32_t time, int type, const uint8_t* bytes,
                               uint32_t length)
{
    switch (type) {
    case MidiEvent::MetaTempo:
        setTempo(bytes, length);
        break;
    case MidiEvent::MetaTimeSignature:
        setMeter(bytes, length);
        break;
    case MidiEvent::MetaTrackName:
        // Names are 8-bit text; Latin-1 reads every byte.
        if (d)
            d->setName(
                QString::fromLatin1(reinterpret_cast<const char*>(bytes), length).simplified());
        break;
    default:
        if (!d)
            break;
        if (length > uint32_t(MidiEvent::MaxDataLength)) {
            ErrorLog::add(QStringLiteral("MidiFile::readTracks: a meta event of %1 bytes in "
                                         "track %2 was skipped")
                              .arg(length)
                              .arg(m_setup.trackIndex));
            break;
        }
        d->addRead(MidiEvent::meta(time, type,
                                   QByteArray(reinterpret_cast<const char*>(bytes), int(length))));
        break;
    }
}

void MidiTrackReader::setTempo(const uint8_t* bytes, uint32_t length)
{
    if (!m_setup.tempoMap || length > 4)
        return; // not a tempo this reader understands: ignored
    uint32_t microseconds = 0;
    for (uint32_t i = 0; i < length; ++i)
        microseconds = (microseconds << 8) | bytes[i];
    if (microseconds == 0)
        return; // a tempo of 0 microseconds has no meaning: ignored
    // A whole number of beats per minute, rounded half away from zero (512820 reads as 117).
    const long long bpm = roundHalfAway(60000000.0L / microseconds);
    if (bpm <= 0)
        return;
    const MidiTempoMap::Node* node = m_setup.tempoMap->find(mapTime());
    m_setup.tempoMap->set(mapTime(), float(bpm), node ? node->numerator : 4,
                          node ? node->exponent : 2);
}

void MidiTrackReader::setMeter(const uint8_t* bytes, uint32_t length)
{
    if (!m_setup.tempoMap || length < 2)
        return;
    const MidiTempoMap::Node* node = m_setup.tempoMap->find(mapTime());
    m_setup.tempoMap->set(mapTime(), node ? node->tempo : 120.0f, bytes[0], bytes[1]);
}
