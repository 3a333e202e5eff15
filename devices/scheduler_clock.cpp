#include "scheduler_clock.h"

#include <chrono>

namespace {

// The steady clock of the standard library is CLOCK_MONOTONIC on Linux.
using Clock = std::chrono::steady_clock;

Clock::time_point origin()
{
    static const Clock::time_point first = Clock::now();
    return first;
}

} // namespace

int64_t SchedulerClock::systemNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - origin()).count();
}

int64_t SchedulerClock::systemOriginMonotonicNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(origin().time_since_epoch())
        .count();
}
