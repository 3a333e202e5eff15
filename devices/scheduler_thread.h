#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

/**
 * The scheduler's timer thread: wakes at the start of every millisecond of the system clock
 * (SchedulerClock) and hands the millisecond to a tick function, which delivers what is due.
 *
 * The thread asks for real-time priority and a minimal timer slack; without the permission it
 * runs at normal priority. start() and stop() are for one owning ordinary thread.
 */
class SchedulerThread
{
public:
    using TickFunction = void (*)(int64_t nowMs, void* argument);

    ~SchedulerThread() { stop(); }

    void start(TickFunction tick, void* argument);
    void stop();

private:
    void run();

    TickFunction m_tick = nullptr;
    void* m_argument = nullptr;
    std::atomic<bool> m_running{false};
    std::thread m_thread;
};
