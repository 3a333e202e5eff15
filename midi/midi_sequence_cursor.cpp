#include "midi_sequence_cursor.h"

#include "midi_sequence.h"

MidiSequenceCursor::MidiSequenceCursor(const MidiSequence* sequence)
{
    setSequence(sequence);
}

void MidiSequenceCursor::setSequence(const MidiSequence* sequence)
{
    m_sequence = sequence;
    rewind();
}

bool MidiSequenceCursor::valid() const
{
    return m_sequence && m_generation == m_sequence->generation();
}

void MidiSequenceCursor::rewind()
{
    m_event = m_sequence ? m_sequence->first() : nullptr;
    m_generation = m_sequence ? m_sequence->generation() : 0;
}

MidiEvent* MidiSequenceCursor::event()
{
    if (!valid())
        rewind();
    return m_event;
}

void MidiSequenceCursor::advance()
{
    if (MidiEvent* current = event())
        m_event = current->next();
}

void MidiSequenceCursor::seek(uint32_t time)
{
    if (!m_sequence)
        return;
    MidiEvent* e = event();
    if (!e)
        e = m_sequence->last();
    // Back while the previous event is still at or after time, then forward past earlier ones.
    while (e && e->prev() && e->prev()->time >= time)
        e = e->prev();
    while (e && e->time < time)
        e = e->next();
    m_event = e;
}
