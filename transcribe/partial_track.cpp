#include "partial_track.h"

#include "pitch.h"

#include <algorithm>

namespace {

// Frames (3 s) a new track can grow without reallocating: most partials end sooner. A longer
// track grows its series geometrically, and keeps that storage when it is recycled.
constexpr std::size_t kInitialCapacity = 128;

} // namespace

void PartialTrack::append(const SpectralPeak& peak)
{
    points_.push_back({peak.frequency, peak.level, peak.localLevel, peak.maskLevel,
                       static_cast<float>(pitchOf(peak.frequency))});
}

void PartialTrack::cutAt(int frame)
{
    const int keep = std::clamp(frame - startFrame_, 0, length());
    points_.resize(static_cast<std::size_t>(keep));
    markers_.endFrame = frame;
}

void PartialTrack::restart(uint32_t id, int startFrame)
{
    points_.clear();
    if (points_.capacity() < kInitialCapacity)
        points_.reserve(kInitialCapacity);
    markers_ = TrackMarkers();
    id_ = id;
    splitFrom_ = kNoParent;
    startFrame_ = startFrame;
    kept_ = false;
}
