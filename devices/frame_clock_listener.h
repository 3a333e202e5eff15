#pragma once

#include <cstdint>

/**
 * Something whose clock follows an offline audio client's frame clock: the sequencer layer when
 * it is opened on audio frames instead of the system clock.
 */
class FrameClockListener
{
public:
    virtual ~FrameClockListener() = default;

    /**
     * Delivers everything due before `endFrame`. Called by the offline client on its render
     * thread once per cycle, after the process callback and before the output is mixed.
     */
    virtual void advanceToFrame(int64_t endFrame) = 0;
};
