#include "midi_sequence.h"

#include "rounding.h"

#include <algorithm>

vx22Sequence::vx22Sequence(const QString& name, uint16_t channel, uint16_t resolution)
    : m_name(name), m_channel(channel & 0x0F), m_resolution(resolution)
{
}

vx22Sequence::~vx22Sequence()
{
    deleteEvents();
}

void vx22Sequence::deleteEvents()
{
    vx22Event* event = m_first;
    while (event) {
        vx22Event* next = event->m_next;
        delete event;
        event = next;
    }
    m_first = m_last = nullptr;
    m_count = 0;
    m_pending.fill(nullptr);
    ++m_generation;
}

void vx22Sequence::clear()
{
    clearEvents();
    m_bank = -1;
    m_program = -1;
}

void vx22Sequence::clearEvents()
{
    deleteEvents();
    m_end = 0;
    m_lowestKey = m_highestKey = 0;
}

void vx22Sequence::raiseEnd(uint32_t ticks)
{
    m_end = std::max(m_end, ticks);
}

uint32_t vx22Sequence::convert(uint32_t ticks, uint16_t to, uint16_t from)
{
    if (to == from || from == 0)
        return ticks;
    const long double value = (long double)ticks * to / from;
    return uint32_t(std::min<long long>(roundHalfAway(value), UINT32_MAX));
}

vx22Event* vx22Sequence::insert(std::unique_ptr<vx22Event> owned)
{
    vx22Event* event = owned.release();
    // Files and recordings arrive in time order, so the place is searched from the tail.
    vx22Event* after = m_last;
    while (after && after->time > event->time)
        after = after->m_prev;
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

std::unique_ptr<vx22Event> vx22Sequence::take(vx22Event* event)
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
    for (vx22Event*& pending : m_pending) {
        if (pending == event)
            pending = nullptr;
    }
    return std::unique_ptr<vx22Event>(event);
}

void vx22Sequence::closePending(uint32_t time, uint8_t key)
{
    vx22Event*& pending = m_pending[key & 0x7F];
    if (!pending)
        return;
    pending->duration = time > pending->time ? time - pending->time : 0;
    raiseEnd(time);
    pending = nullptr;
}

void vx22Sequence::addReadNoteOff(uint32_t time, uint8_t key)
{
    closePending(time > m_begin ? time - m_begin : 0, key);
}

void vx22Sequence::addRead(std::unique_ptr<vx22Event> event)
{
    event->time = event->time > m_begin ? event->time - m_begin : 0;
    if (event->status == vx22Event::NoteOff) {
        closePending(event->time, event->data1);
        return;
    }
    if (event->status == vx22Event::NoteOn) {
        const uint8_t key = event->data1 & 0x7F;
        closePending(event->time, key);
        event->duration = 0;
        m_pending[key] = insert(std::move(event));
        return;
    }
    insert(std::move(event));
}

void vx22Sequence::finish()
{
    if (m_end < m_length)
        m_end = m_length;
    if (m_length == 0)
        m_length = m_end;
    for (vx22Event*& pending : m_pending) {
        if (pending) {
            pending->duration = m_end > pending->time ? m_end - pending->time : 0;
            pending = nullptr;
        }
    }
}

void vx22Sequence::replace(uint32_t from, uint32_t to, const vx22Sequence& source)
{
    const bool toEnd = to <= from;
    auto inRange = [&](uint32_t time) { return time >= from && (toEnd || time < to); };

    for (vx22Event* event = m_first; event;) {
        vx22Event* next = event->m_next;
        if (inRange(event->time))
            take(event); // the returned owner deletes it
        event = next;
    }
    for (const vx22Event* event = source.first(); event; event = event->next()) {
        const uint32_t time = convert(event->time, m_resolution, source.resolution());
        if (!inRange(time))
            continue;
        auto copy = event->clone();
        copy->time = time;
        copy->duration = convert(event->duration, m_resolution, source.resolution());
        insert(std::move(copy));
    }
}
