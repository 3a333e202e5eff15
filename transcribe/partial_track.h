#pragma once

#include "spectral_peak.h"

#include <cstddef>
#include <cstdint>
#include <vector>

/**
 * Frame markers of a partial track, set by note building as the track's note takes shape
 * (attack, body, decay, release) and by the tracker when the track ends.
 * Frame numbers; kUnset where not set.
 */
struct TrackMarkers
{
    static constexpr int kUnset = -100;

    int onsetFrame = kUnset;       ///< start of a steep rise of the level
    int peakFrame = kUnset;        ///< local maximum of the level that ends the attack
    int attackFrame = kUnset;      ///< frame after the last steep step before the peak
    int bodyStartFrame = kUnset;   ///< first frame of the stable-pitch body
    int noteStartFrame = kUnset;   ///< decision frame at which the note start was accepted
    int bodyEndFrame = kUnset;     ///< frame at which the body ended
    int decayFrame = kUnset;       ///< start of a steep fall of the level
    int releaseFrame = kUnset;     ///< frame at which the fall flattened
    int releaseLastFrame = kUnset; ///< releaseFrame − 1: the note-off frame when set
    int endFrame = kUnset;         ///< first frame without data, set when the track ends
    float bodyPitch = 0.0f;        ///< mean pitch of the body (fractional MIDI note)

    static bool isSet(int frame) { return frame != kUnset; }
};

/** The values a track takes from its peak in one frame. */
struct TrackPoint
{
    float frequency = 0.0f;  ///< Hz
    float level = 0.0f;      ///< dB
    float localLevel = 0.0f; ///< dB
    float maskLevel = 0.0f;  ///< dB
    float pitch = 0.0f;      ///< fractional MIDI note of the frequency, kept for note building
};

/**
 * One partial followed from frame to frame: the frequency, level, local level and mask level
 * of the peak it took in each frame from its start frame on, and the markers note building
 * sets on it.
 *
 * Tracks are made and recycled by the PartialTracker; a track that a sounding note still refers
 * to is kept out of recycling by setKept(). Appending within the reserved capacity allocates
 * nothing. Analysis thread only.
 */
class PartialTrack
{
public:
    /** Serial number of the track within its run, from 0 in order of birth. */
    uint32_t id() const { return id_; }
    int startFrame() const { return startFrame_; }
    /** Number of frames with data. */
    int length() const { return static_cast<int>(points_.size()); }
    /** The frame after the last one with data. */
    int stopFrame() const { return startFrame_ + length(); }
    bool isActiveAt(int frame) const { return frame >= startFrame_ && frame < stopFrame(); }
    bool hasEnded() const { return TrackMarkers::isSet(markers_.endFrame); }

    /** Values at a frame where the track is active. */
    const TrackPoint& at(int frame) const
    {
        return points_[static_cast<std::size_t>(frame - startFrame_)];
    }
    float frequency(int frame) const { return at(frame).frequency; }
    float level(int frame) const { return at(frame).level; }
    float localLevel(int frame) const { return at(frame).localLevel; }
    float maskLevel(int frame) const { return at(frame).maskLevel; }
    float pitch(int frame) const { return at(frame).pitch; }
    /** The last frame with data (startFrame() − 1 for an empty track). */
    int lastFrame() const { return stopFrame() - 1; }
    const std::vector<TrackPoint>& points() const { return points_; }

    const TrackMarkers& markers() const { return markers_; }
    TrackMarkers& markers() { return markers_; }

    /** Id of the track this one was split from, or kNoParent. */
    static constexpr uint32_t kNoParent = UINT32_MAX;
    uint32_t splitFrom() const { return splitFrom_; }
    void setSplitFrom(uint32_t parent) { splitFrom_ = parent; }

    /**
     * Keeps the track out of recycling while a sounding note refers to it. A kept track that is
     * dropped from the active list returns to the free store only at the next run.
     */
    void setKept(bool kept) { kept_ = kept; }
    void keepUntilReset() { kept_ = true; }
    bool isKept() const { return kept_; }

    /** Takes the values of the peak at the next frame. */
    void append(const SpectralPeak& peak);
    void append(const TrackPoint& point) { points_.push_back(point); }

    /** Ends the track after its last frame. */
    void end() { markers_.endFrame = stopFrame(); }

    /** Drops the frames from `frame` on (when there are any) and ends the track there. */
    void cutAt(int frame);

    /**
     * Makes this a new, empty track starting at a frame, keeping the storage of an earlier
     * life; the tracker calls it for every birth.
     */
    void restart(uint32_t id, int startFrame);

private:
    std::vector<TrackPoint> points_;
    TrackMarkers markers_;
    uint32_t id_ = 0;
    uint32_t splitFrom_ = kNoParent;
    int startFrame_ = 0;
    bool kept_ = false;
};
