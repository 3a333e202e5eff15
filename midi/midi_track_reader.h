#pragma once

#include "byte_reader.h"

#include <QString>
#include <cstdint>
#include <span>

class MidiSequence;
class MidiTempoMap;

/**
 * MidiTrackReader: reads the events of one track chunk into sequences and the tempo map.
 *
 * One reader makes one pass over the chunk's bytes, already in memory and bounded by them. The
 * destination of an event is the only sequence, or, with several, the sequence of the track
 * (format 1) or of the event's channel (other formats; meta and system exclusive events go to
 * the first). Note-offs end their note-ons; the first program and the bank controllers are kept
 * in the sequence; tempo and time signatures go to the tempo map; the track name names the
 * sequence. GUI thread (or any thread that owns the sequences).
 */
class MidiTrackReader
{
public:
    struct Setup
    {
        std::span<MidiSequence* const> destinations;
        int format = 1;
        int trackIndex = 0;
        int selector = 0;
        bool channelFilter = false; // only channel messages of channel `selector` are taken
        uint16_t division = 960;
        MidiTempoMap* tempoMap = nullptr;
    };

    MidiTrackReader(const Setup& setup, const uint8_t* data, uint32_t size);

    /** Reads until the chunk ends or the pass is ended; false for malformed data (see error()). */
    bool read();
    /** What was wrong, with the byte offset inside the chunk. */
    const QString& error() const { return m_error; }

private:
    enum Step
    {
        Next,
        EndPass,
        Fail
    };

    Step readEvent();
    Step readChannel(int status);
    Step readSysEx();
    Step readMeta();
    void takeChannel(MidiSequence* d, uint32_t time, int type, int channel, uint8_t data1,
                     uint8_t data2);
    void takeMeta(MidiSequence* d, uint32_t time, int type, const uint8_t* bytes, uint32_t length);
    void setTempo(const uint8_t* bytes, uint32_t length);
    void setMeter(const uint8_t* bytes, uint32_t length);

    MidiSequence* destinationFor(bool channelMessage, int channel) const;
    uint32_t timeFor(const MidiSequence* d) const;
    bool isPastLength(const MidiSequence* d, uint32_t time) const;
    uint32_t mapTime() const;
    Step fail(const QString& what);

    Setup m_setup;
    ByteReader m_in;
    uint64_t m_fileTime = 0; // ticks at the file's division from the start of the track
    int m_running = 0;
    QString m_error;
};
