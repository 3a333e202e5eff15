#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

class MidiFile;
class MidiSequence;

/**
 * MidiImport: finds and reads the melody of a MIDI file the program did not write.
 *
 * Scanning reads every track chunk of a format-1 file, or only the first chunk of a format-0
 * or format-2 file (format 2 holds independent patterns; the first one is taken), split by
 * channel: every chunk and channel that plays notes is a candidate for the melody. Reading the
 * chunks fills the file's tempo map, so tempo and meter changes come from wherever the file
 * keeps them. The candidate with the highest, most monophonic line is preselected; drums
 * (channel 10) never are. Only one chunk's events are held at a time while scanning.
 *
 * GUI thread (or any one thread that owns the file).
 */
class MidiImport
{
public:
    /** One chunk and channel of the file that plays notes. */
    struct Candidate
    {
        int track = 0;    // chunk index in the file, from 0
        int channel = 0;  // 0-15
        QString name;     // the chunk's track name
        int program = -1; // first program change on the channel, -1 without one
        int notes = 0;
        int lowestKey = 0;
        int highestKey = 0;
        double meanKey = 0;
        double polyphony = 0; // share of notes that start while another note still sounds

        bool isDrums() const;
        /** The General MIDI instrument, "Drums" on channel 10, empty without a program. */
        QString instrument() const;
    };

    /** Finds the candidates and the first key signature. False when a chunk cannot be read. */
    bool scan(MidiFile& file);

    const std::vector<Candidate>& candidates() const { return m_candidates; }
    /** The candidate that looks most like a melody; -1 when there is none but drums. */
    int preselected() const { return m_preselected; }
    /** The chunk that failed to read when scan() returned false. */
    int failedTrack() const { return m_failedTrack; }
    /** The payload of the earliest key signature of the file; empty without one. */
    const QByteArray& keySignature() const { return m_keySignature; }

    /**
     * Reads candidate `index` into melody at the melody's resolution: the channel messages of
     * its channel and the lyrics. Texts and markers (chord names, rehearsal marks) and the
     * file's other meta events and system exclusive messages are left out: in a song they
     * would read as chord and section lanes, or be sent with the melody.
     */
    bool readMelody(MidiFile& file, int index, MidiSequence& melody) const;

private:
    bool scanChunk(MidiFile& file, int track, uint32_t& keyTime);
    void preselect();

    std::vector<Candidate> m_candidates;
    int m_preselected = -1;
    int m_failedTrack = -1;
    QByteArray m_keySignature;
};
