#pragma once

#include <cstdint>

class MidiEvent;
class MidiSequence;

/**
 * MidiSequenceCursor: a playback position in a MidiSequence.
 *
 * Seeking walks from the remembered event, so positions that move forward cost a few steps.
 * The cursor compares the sequence's generation on every use and starts again from the first
 * event when the list changed since, so it never walks from a deleted event. Nothing here
 * allocates: the MIDI engine uses it from its output thread while the session is not edited.
 * One thread at a time per cursor.
 */
class MidiSequenceCursor
{
public:
    explicit MidiSequenceCursor(const MidiSequence* sequence = nullptr);

    void setSequence(const MidiSequence* sequence);
    /** Back to the first event. */
    void rewind();
    /** To the first event whose time is >= time (none past the last). */
    void seek(uint32_t time);
    /** The event at the cursor, none at the end. */
    MidiEvent* event();
    /** Moves to the next event. */
    void advance();

private:
    bool valid() const;

    const MidiSequence* m_sequence = nullptr;
    MidiEvent* m_event = nullptr;
    uint32_t m_generation = 0;
};
