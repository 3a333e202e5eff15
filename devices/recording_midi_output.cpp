#include "recording_midi_output.h"

#include "scheduler_clock.h"

RecordingMidiOutput::RecordingMidiOutput(size_t capacity) : m_messages(capacity) {}

bool RecordingMidiOutput::open(QString*)
{
    SchedulerClock::systemNanoseconds(); // captures the clock origin on this ordinary thread
    m_open.store(true, std::memory_order_relaxed);
    return true;
}

void RecordingMidiOutput::close()
{
    m_open.store(false, std::memory_order_relaxed);
}

int RecordingMidiOutput::send(uint32_t message, int64_t timeMs)
{
    const int64_t now = SchedulerClock::systemNanoseconds();
    const size_t count = m_count.load(std::memory_order_relaxed);
    if (count == m_messages.size()) {
        m_lost.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    m_messages[count] = Message{message, timeMs, now};
    m_count.store(count + 1, std::memory_order_release);
    return 0;
}

std::vector<RecordingMidiOutput::Message> RecordingMidiOutput::messages() const
{
    const size_t count = m_count.load(std::memory_order_acquire);
    return std::vector<Message>(m_messages.begin(), m_messages.begin() + count);
}

void RecordingMidiOutput::clear()
{
    m_count.store(0, std::memory_order_release);
    m_lost.store(0, std::memory_order_relaxed);
}
