#pragma once

#include <cstdint>

class vx22Event;
class vx22Sequence;

/**
 * vx22SequenceCursor: a playback position in a vx22Sequence.
 *
 * Seeking walks from the remembered event, so positions that move forward cost a few steps.
 * The cursor compares the sequence's generation on every use and starts again from the first
 * event when the list changed since, so it never walks from a deleted event. Nothing here
 * allocates: the MIDI engine uses it from its output thread while the session is not edited.
 * One thread at a time per cursor.
 */
class vx22SequenceCursor
{
public:
    explicit vx22SequenceCursor(const vx22Sequence* sequence = nullptr);

    void setSequence(const vx22Sequence* sequence);
    /** Back to the first event. */
    void rewind();
    /** To the first event whose time is >= time (none past the last). */
    void seek(uint32_t time);
    /** The event at the cursor, none at the end. */
    vx22Event* event();
    /** Moves to the next event. */
    void advance();

private:
    bool valid() const;

    const vx22Sequence* m_sequence = nullptr;
    vx22Event* m_event = nullptr;
    uint32_t m_generation = 0;
};
