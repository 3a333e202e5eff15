#pragma once

#include <cstdint>
#include <functional>

class TimeScale;

/**
 * TimeGrid: the bar and beat lines of the time scale inside a span of pixels.
 *
 * The ruler and the clip area draw the same lines, so both walk them here. Every line is found
 * through the scale's nodes, so meter and tempo changes move the grid exactly as they move the
 * music. GUI thread only (it uses the scale's own cursor).
 */
class TimeGrid
{
public:
    struct Line
    {
        uint32_t pixel = 0;
        uint32_t frame = 0;
        int bar = 0;  // 0-based
        int beat = 0; // 0-based inside the bar
    };

    /** Calls visit for every meter beat whose pixel lies in [firstPixel, lastPixel]. */
    static void forEachBeat(TimeScale& scale, uint32_t firstPixel, uint32_t lastPixel,
                            const std::function<void(const Line&)>& visit);

    /** Pixels between two beats at the position (for thinning out labels and lines). */
    static double beatWidth(TimeScale& scale, uint32_t frame);
};
