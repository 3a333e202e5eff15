#pragma once

#include "byte_writer.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <queue>
#include <span>
#include <vector>

class ConductorHook;
class MidiEvent;
class MidiSequence;
class MidiTempoMap;

/**
 * MidiTrackWriter: builds the data of one track chunk.
 *
 * A conductor track (no sequence) holds the name, the song-structure events when a song is
 * saved, and the tempo map. A sequence track merges its sequences by time (a higher sequence
 * index first at equal times), turns note durations into note-offs and uses running status for
 * channel messages; meta and system exclusive events and the tempo map's events restart it.
 * GUI thread (or any thread that owns the sequences).
 */
class MidiTrackWriter
{
public:
    struct Setup
    {
        std::span<MidiSequence* const> merged; // empty for a conductor track
        const MidiSequence* main = nullptr;    // none for a conductor track
        QString conductorName;                 // written when the track has no sequence
        uint16_t division = 960;
        const MidiTempoMap* tempoMap = nullptr;
        bool writeTempo = false;                // interleave the tempo map's events
        ConductorHook* songStructure = nullptr; // its events open the track
    };

    explicit MidiTrackWriter(const Setup& setup);

    /** The chunk data (without "MTrk" and the length), ending with the end-of-track event. */
    QByteArray build();

private:
    struct NoteOff
    {
        uint64_t time;
        int sequence;
        uint64_t serial; // keeps note-offs of equal time and sequence in the order scheduled
        uint8_t key;
        uint8_t channel;
    };
    struct Later
    {
        bool operator()(const NoteOff& a, const NoteOff& b) const;
    };

    void writeName(const QString& name);
    void writeSongStructure();
    void writePrograms();
    void mergeSequences();
    void writeRest();
    int pickSequence(std::vector<const MidiEvent*>& next, uint64_t& time) const;
    void writeNoteOffsUpTo(uint64_t time);
    void writeNoteOff(const NoteOff& off);
    void writeTempoUpTo(uint64_t time);
    void writeTempoNode(size_t index);
    void writeTimeSignature(uint16_t numerator, uint16_t exponent);
    void writeEvent(int sequence, const MidiEvent& event, uint64_t time);
    void writeMeta(int type, const QByteArray& data);
    void writeChannelStatus(int status);
    void writeDelta(uint64_t time);
    uint64_t fileTime(const MidiSequence& sequence, uint64_t ticks) const;

    Setup m_setup;
    QByteArray m_bytes;
    ByteWriter m_out;
    uint64_t m_lastTime = 0;
    int m_running = 0;
    size_t m_nextNode = 0;
    uint64_t m_serial = 0;
    std::priority_queue<NoteOff, std::vector<NoteOff>, Later> m_noteOffs;
};
