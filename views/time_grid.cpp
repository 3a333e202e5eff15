#include "time_grid.h"

#include "time_scale.h"

void TimeGrid::forEachBeat(TimeScale& scale, uint32_t firstPixel, uint32_t lastPixel,
                           const std::function<void(const Line&)>& visit)
{
    uint32_t beat = scale.frameToMeterBeat(scale.pixelToFrame(firstPixel));
    // frameToMeterBeat rounds, so the beat found may lie just right of firstPixel's frame.
    if (beat > 0)
        --beat;
    // A song longer than any real one still ends the walk.
    for (int guard = 0; guard < 100000; ++guard, ++beat) {
        const uint32_t frame = scale.meterBeatToFrame(beat);
        const uint32_t pixel = scale.frameToPixel(frame);
        if (pixel > lastPixel)
            break;
        if (pixel < firstPixel)
            continue;
        const TempoNode* node = scale.nodeAtMeterBeat(beat);
        Line line;
        line.pixel = pixel;
        line.frame = frame;
        if (node) {
            const uint32_t perBar = node->beatsPerBar ? node->beatsPerBar : 1;
            const uint32_t inNode = beat - node->beat;
            line.bar = int(node->bar + inNode / perBar);
            line.beat = int(inNode % perBar);
        }
        visit(line);
    }
}

double TimeGrid::beatWidth(TimeScale& scale, uint32_t frame)
{
    const TempoNode* node = scale.nodeAtFrame(frame);
    if (!node || node->meterBeatsPerMinute <= 0.0f)
        return 0.0;
    return double(scale.pixelsPerMinute()) / double(node->meterBeatsPerMinute);
}
