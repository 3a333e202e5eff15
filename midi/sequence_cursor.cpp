#include "sequence_cursor.h"

#include "midi_sequence.h"

vx22SequenceCursor::vx22SequenceCursor(const vx22Sequence* sequence)
{
    setSequence(sequence);
}

void vx22SequenceCursor::setSequence(const vx22Sequence* sequence)
{
    m_sequence = sequence;
    rewind();
}

bool vx22SequenceCursor::valid() const
{
    return m_sequence && m_generation == m_sequence->generation();
}

void vx22SequenceCursor::rewind()
{
    m_event = m_sequence ? m_sequence->first() : nullptr;
    m_generation = m_sequence ? m_sequence->generation() : 0;
}

vx22Event* vx22SequenceCursor::event()
{
    if (!valid())
        rewind();
    return m_event;
}

void vx22SequenceCursor::advance()
{
    if (vx22Event* current = event())
        m_event = current->next();
}

void vx22SequenceCursor::seek(uint32_t time)
{
    if (!m_sequence)
        return;
    vx22Event* e = event();
    if (!e)
        e = m_sequence->last();
    // Back while the previous event is still at or after time, then forward past earlier ones.
    while (e && e->prev() && e->prev()->time >= time)
        e = e->prev();
    while (e && e->time < time)
        e = e->next();
    m_event = e;
}
