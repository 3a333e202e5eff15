#pragma once

#include "analysis_parameters.h"
#include "partial_track.h"
#include "spectral_peak.h"

#include <memory>
#include <span>
#include <vector>

/**
 * Follows spectral peaks from frame to frame as partial tracks.
 *
 * Each frame, in this order: tracks that ended long enough ago are dropped from the active
 * list; every running track, strongest first, takes the best free peak near its frequency (or
 * ends); note building runs on the extended tracks; every peak nobody took starts a new track.
 * The active list is in creation order. Dropped tracks are recycled for later births unless note
 * building keeps them, so a run's memory stays bounded; new storage is allocated only when a
 * track is born and no recycled one is free. Analysis thread only.
 */
class PartialTracker
{
public:
    PartialTracker() = default;
    PartialTracker(const PartialTracker&) = delete;
    PartialTracker& operator=(const PartialTracker&) = delete;

    void configure(const AnalysisParameters& parameters);

    /** Ends the run: every track returns to the free store, ids restart at 0. */
    void reset();

    /**
     * Removes from the active list every ended track whose end lies at or before
     * frame − emission lag, when no note can refer to its last frames any more.
     */
    void dropEnded(int frame);

    /**
     * Extends every running track to the frame with a peak it takes (setting the peak's owner),
     * or ends it when no peak fits. Tracks are served in order of their amplitude in the
     * previous frame, loudest first, and never cross a track served before them.
     */
    void continueTracks(int frame, std::span<SpectralPeak> peaks);

    /** Starts a track at the frame on every peak that no track took. */
    void startTracks(int frame, std::span<SpectralPeak> peaks);

    /**
     * A new, empty track starting at a frame, appended to the active list. Used for births and
     * by note building when it splits a track; the only call that may allocate.
     */
    PartialTrack& newTrack(int startFrame);

    /** Running and recently ended tracks, in creation order. */
    std::span<PartialTrack* const> activeTracks() const { return active_; }

    /** Tracks born in this run so far. */
    uint32_t bornCount() const { return nextId_; }

    /** Track objects made since the tracker was created, in use or free for recycling. */
    size_t storedCount() const { return storage_.size(); }

private:
    void extend(PartialTrack& track, int frame, std::span<SpectralPeak> peaks) const;
    void sortByLoudness(int previousFrame);

    AnalysisParameters parameters_;
    std::vector<std::unique_ptr<PartialTrack>> storage_;
    std::vector<PartialTrack*> free_;
    std::vector<PartialTrack*> active_;
    std::vector<size_t> order_;    // scratch: active indices to extend, loudest first
    std::vector<float> amplitude_; // scratch: amplitude by active index
    uint32_t nextId_ = 0;
};
