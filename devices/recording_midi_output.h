#pragma once

#include "midi_output.h"

#include <atomic>
#include <vector>

/**
 * A MIDI output that keeps every message it is sent, with its due time and the moment it
 * arrived, for tests and timing measurements.
 *
 * Storage for `capacity` messages is allocated up front; further messages are counted as lost.
 * send() runs on the delivery thread (one writer); messages() and the counters may be read from
 * any thread: a message is published by a release store of the count.
 */
class RecordingMidiOutput : public MidiOutput
{
public:
    struct Message
    {
        uint32_t word = 0;
        int64_t timeMs = 0;    // scheduler millisecond the message was due
        int64_t arrivalNs = 0; // SchedulerClock::systemNanoseconds() when it arrived
    };

    explicit RecordingMidiOutput(size_t capacity = 4096);

    bool open(QString* error) override;
    void close() override;
    int send(uint32_t message, int64_t timeMs) override;

    /** The messages received so far, oldest first. */
    std::vector<Message> messages() const;
    size_t lost() const { return m_lost.load(std::memory_order_relaxed); }
    bool isOpen() const { return m_open.load(std::memory_order_relaxed); }

    /** Forgets every message. Only while nothing is being sent. */
    void clear();

private:
    std::vector<Message> m_messages;
    std::atomic<size_t> m_count{0};
    std::atomic<size_t> m_lost{0};
    std::atomic<bool> m_open{false};
};
