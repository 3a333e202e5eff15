#pragma once

#include "analysis_parameters.h"
#include "spectral_peak.h"

#include <span>

class PartialTrack;
class PartialTracker;

/**
 * Watches the level and pitch of each partial track for the shape of a note: the onset (a steep
 * rise), the attack and its peak, the body of stable pitch, the end of the body, the decay (a
 * steep fall) and the release (where the fall flattens). A new onset or a new stable body after
 * a note splits the track, so one partial can carry several successive notes. Also decides,
 * 0.3 s behind the newest frame, whether a track starts a note.
 *
 * Every detector looks back a bounded number of frames. Runs once per frame per track on the
 * analysis thread; allocates only when a split starts a new track.
 */
class TrackDetector
{
public:
    /** Returned by slopeSearch() when no frame qualifies. */
    static constexpr int kNone = -100;

    void configure(const AnalysisParameters& parameters, PartialTracker* tracker);

    /**
     * Runs the detectors on a track at the newest frame until none changes anything. A split
     * appends the second half to the tracker's active list and re-points this frame's peaks.
     */
    void step(PartialTrack& track, int frame, std::span<SpectralPeak> peaks);

    /** Accepts a note start at frame − decision lag when the track has a fresh attack and body. */
    void decideNoteStart(PartialTrack& track, int frame) const;

    /**
     * Walks back from frame a − 1 to lo and returns the first frame i whose level lies more
     * than |threshold| beyond the line through the level at a with `slope` dB per frame:
     * below it for a negative threshold, above it for a positive one; kNone otherwise.
     */
    static int slopeSearch(const PartialTrack& track, int lo, int a, float slope, float threshold);

private:
    bool onset(PartialTrack& track, int a, std::span<SpectralPeak> peaks);
    bool attack(PartialTrack& track, int a) const;
    bool body(PartialTrack& track, int a, std::span<SpectralPeak> peaks);
    bool bodyEnd(PartialTrack& track, int a) const;
    bool decay(PartialTrack& track, int a) const;
    bool release(PartialTrack& track, int a) const;
    int requiredBodyStart(const PartialTrack& track, int a, int from) const;
    PartialTrack& split(PartialTrack& track, int frame, std::span<SpectralPeak> peaks);

    AnalysisParameters parameters_;
    PartialTracker* tracker_ = nullptr;
};
