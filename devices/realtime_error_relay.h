#pragma once

#include "spsc_ring.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

/**
 * Carries failures out of a real-time thread into the error log.
 *
 * The real-time side (one thread at a time: the audio callback, or the scheduler's delivery
 * thread) posts a message template with "%1" and a number; it only pushes into a preallocated
 * ring. A background thread of the relay, or any ordinary thread calling flush(), formats the
 * messages and adds them to the error log, oldest first. When the ring is full the message is
 * counted instead and the count is reported by the next flush.
 */
class RealtimeErrorRelay
{
public:
    RealtimeErrorRelay();
    ~RealtimeErrorRelay();

    RealtimeErrorRelay(const RealtimeErrorRelay&) = delete;
    RealtimeErrorRelay& operator=(const RealtimeErrorRelay&) = delete;

    /**
     * Safe from the real-time thread: never locks, allocates or logs. `format` must be a string
     * literal (it is read later, on another thread).
     */
    void post(const char* format, long long value) noexcept;

    /** Ordinary threads only: moves every posted message into the error log. */
    void flush();

    /** Starts and stops the background thread that flushes every 50 ms. Owner's thread only. */
    void start();
    void stop();

private:
    struct Message
    {
        const char* format = nullptr;
        long long value = 0;
    };

    void run();

    SpscRing<Message> m_ring;
    std::atomic<unsigned> m_dropped{0};
    std::mutex m_flushMutex; // serialises the consumers: the relay thread and flush() callers
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    bool m_stopRequested = false;
    std::thread m_thread;
};
