#include "midi_sequence.h"

#include "rounding.h"

#include <algorithm>

MidiSequence::MidiSequence(const QString& name, uint16_t channel, uint16_t resolution)
    : m_name(name), m_channel(channel & 0x0F), m_resolution(resolution)
{
}

MidiSequence::~MidiSequence()
{
    deleteEvents();
}

void MidiSequence::deleteEvents()
{
    MidiEvent* event = m_first;
    while (event) {
        MidiEvent* next = event->m_next;
        delete event;
        event = next;
    }
    m_first = m_last = nullptr;
    m_count = 0;
    m_pending.fill(nullptr);
    ++m_generation;
}

void MidiSequence::swap(MidiSequence& other)
{
    std::swap(m_name, other.m_name);
    std::swap(m_channel, other.m_channel);
    std::swap(m_resolution, other.m_resolution);
    std::swap(m_begin, other.m_begin);
    std::swap(m_length, other.m_length);
    std::swap(m_bank, other.m_bank);
    std::swap(m_program, other.m_program);
    std::swap(m_lowestKey, other.m_lowestKey);
    std::swap(m_highestKey, other.m_highestKey);
    std::swap(m_end, other.m_end);
    std::swap(m_first, other.m_first);
    std::swap(m_last, other.m_last);
    std::swap(m_count, other.m_count);
    std::swap(m_pending, other.m_pending);
    m_generation = other.m_generation = std::max(m_generation, other.m_generation) + 1;
}

void MidiSequence::clear()
{
    clearEvents();
    m_bank = -1;
    m_program = -1;
}

void MidiSequence::clearEvents()
{
    deleteEvents();
    m_end = 0;
    m_lowestKey = m_highestKey = 0;
}

void MidiSequence::raiseEnd(uint32_t ticks)
{
    m_end = std::max(m_end, ticks);
}

uint32_t MidiSequence::convert(uint32_t ticks, uint16_t to, uint16_t from)
{
    if (to == from || from == 0)
        return ticks;
    const long double value = (long double)ticks * to / from;
    return uint32_t(std::min<long long>(roundHalfAway(value), UINT32_MAX));
}

MidiEvent* MidiSequence::insert(std::unique_ptr<MidiEvent> owned)
{
    // Files and recordings arrive in time order, so the place is searched from the tail.
    return insert(std::move(owned), nullptr);
}

// The last event whose time is at or before time (none: the event goes first), searched from
// near in whichever direction it lies, else from the tail. Either way the event goes behind
// every event of its own time.
MidiEvent* MidiSequence::lastAtOrBefore(uint32_t time, const MidiEvent* near) const
{
    MidiEvent* after = near ? const_cast<MidiEvent*>(near) : m_last;
    if (after && after->time <= time) {
        while (after->m_next && after->m_next->time <= time)
            after = after->m_next;
        return after;
    }
    while (after && after->time > time)
        after = after->m_prev;
    return after;
}

MidiEvent* MidiSequence::insert(std::unique_ptr<MidiEvent> owned, const MidiEvent* near)
{
    MidiEvent* event = owned.release();
    MidiEvent* after = lastAtOrBefore(event->time, near);
    event->m_prev = after;
    event->m_next = after ? after->m_next : m_first;
    if (event->m_next)
        event->m_next->m_prev = event;
    else
        m_last = event;
    if (after)
        after->m_next = event;
    else
        m_first = event;
    ++m_count;
    ++m_generation;

    if (event->isNote()) {
        const uint8_t key = event->data1 & 0x7F;
        if (m_lowestKey == 0 || key < m_lowestKey)
            m_lowestKey = key;
        if (key > m_highestKey)
            m_highestKey = key;
    }
    raiseEnd(event->endTime());
    return event;
}

std::unique_ptr<MidiEvent> MidiSequence::take(MidiEvent* event)
{
    if (!event)
        return nullptr;
    if (event->m_prev)
        event->m_prev->m_next = event->m_next;
    else
        m_first = event->m_next;
    if (event->m_next)
        event->m_next->m_prev = event->m_prev;
    else
        m_last = event->m_prev;
    event->m_prev = event->m_next = nullptr;
    --m_count;
    ++m_generation;
    for (MidiEvent*& pending : m_pending) {
        if (pending == event)
            pending = nullptr;
    }
    return std::unique_ptr<MidiEvent>(event);
}

void MidiSequence::closePending(uint32_t time, uint8_t key)
{
    MidiEvent*& pending = m_pending[key & 0x7F];
    if (!pending)
        return;
    pending->duration = time > pending->time ? time - pending->time : 0;
    raiseEnd(time);
    pending = nullptr;
}

void MidiSequence::addReadNoteOff(uint32_t time, uint8_t key)
{
    closePending(time > m_begin ? time - m_begin : 0, key);
}

void MidiSequence::addRead(std::unique_ptr<MidiEvent> event)
{
    event->time = event->time > m_begin ? event->time - m_begin : 0;
    if (event->status == MidiEvent::NoteOff) {
        closePending(event->time, event->data1);
        return;
    }
    if (event->status == MidiEvent::NoteOn) {
        const uint8_t key = event->data1 & 0x7F;
        closePending(event->time, key);
        event->duration = 0;
        m_pending[key] = insert(std::move(event));
        return;
    }
    insert(std::move(event));
}

void MidiSequence::finish()
{
    if (m_end < m_length)
        m_end = m_length;
    if (m_length == 0)
        m_length = m_end;
    for (MidiEvent*& pending : m_pending) {
        if (pending) {
            pending->duration = m_end > pending->time ? m_end - pending->time : 0;
            pending = nullptr;
        }
    }
}

void MidiSequence::replace(uint32_t from, uint32_t to, const MidiSequence& source)
{
    const bool toEnd = to <= from;
    auto inRange = [&](uint32_t time) { return time >= from && (toEnd || time < to); };

    for (MidiEvent* event = m_first; event;) {
        MidiEvent* next = event->m_next;
        if (inRange(event->time))
            take(event); // the returned owner deletes it
        event = next;
    }
    for (const MidiEvent* event = source.first(); event; event = event->next()) {
        const uint32_t time = convert(event->time, m_resolution, source.resolution());
        if (!inRange(time))
            continue;
        auto copy = event->clone();
        copy->time = time;
        copy->duration = convert(event->duration, m_resolution, source.resolution());
        insert(std::move(copy));
    }
}
