#include "scheduler_thread.h"

#include "scheduler_clock.h"

#include <cerrno>
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <time.h>

namespace {

// Below the audio callback of the usual real-time set-ups, above everything ordinary.
constexpr int kRealtimePriority = 60;

void raisePriority()
{
    sched_param parameter{};
    parameter.sched_priority = kRealtimePriority;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameter); // best effort
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

void sleepUntilMs(int64_t ms)
{
    const int64_t wakeNs = SchedulerClock::systemOriginMonotonicNs() + ms * 1000000;
    const timespec wake{static_cast<time_t>(wakeNs / 1000000000),
                        static_cast<long>(wakeNs % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr) == EINTR) {
    }
}

} // namespace

void SchedulerThread::start(TickFunction tick, void* argument)
{
    if (m_thread.joinable())
        return;
    SchedulerClock::systemNanoseconds(); // captures the clock origin on this ordinary thread
    m_tick = tick;
    m_argument = argument;
    m_running.store(true, std::memory_order_relaxed);
    m_thread = std::thread([this] { run(); });
}

void SchedulerThread::stop()
{
    if (!m_thread.joinable())
        return;
    m_running.store(false, std::memory_order_relaxed);
    m_thread.join();
}

void SchedulerThread::run()
{
    raisePriority();
    while (m_running.load(std::memory_order_relaxed)) {
        const int64_t now = SchedulerClock::systemNowMs();
        m_tick(now, m_argument);
        sleepUntilMs(now + 1);
    }
}
