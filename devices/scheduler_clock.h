#pragma once

#include <cstdint>

/**
 * The millisecond clock of the MIDI scheduler and its relation to audio frames.
 *
 * The scheduler counts milliseconds from an origin. In real time the origin is the first use of
 * the system clock in this process (a steady clock, never set back); when an offline audio
 * client drives the scheduler, the origin is that client's frame 0. Frame f belongs to scheduler
 * millisecond msOfFrame(f); millisecond m starts at frame firstFrameOfMs(m). Both are exact integer
 * rules so that an offline render is the same on every run.
 *
 * All functions are safe from any thread, real-time ones included, once systemNanoseconds() has
 * been called on an ordinary thread (it captures the origin on first use).
 */
class SchedulerClock
{
public:
    static constexpr int64_t kFramesPerSecond = 44100;

    /** Nanoseconds of the steady system clock since the origin. */
    static int64_t systemNanoseconds();

    /** The origin as a CLOCK_MONOTONIC time in nanoseconds, for absolute sleeps. */
    static int64_t systemOriginMonotonicNs();

    static int64_t systemNowMs() { return systemNanoseconds() / 1000000; }

    /** The audio frame that the system clock stands at, counted from the origin. */
    static int64_t systemNowFrame()
    {
        const int64_t ns = systemNanoseconds();
        return ns / 1000000000 * kFramesPerSecond + ns % 1000000000 * kFramesPerSecond / 1000000000;
    }

    /** The first frame whose time is at or after millisecond `ms` (ceiling). */
    static int64_t firstFrameOfMs(int64_t ms) { return (ms * kFramesPerSecond + 999) / 1000; }

    /** The millisecond that frame `frame` lies in (floor). */
    static int64_t msOfFrame(int64_t frame) { return frame * 1000 / kFramesPerSecond; }
};
