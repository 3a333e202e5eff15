#pragma once

#include "analysis_parameters.h"
#include "harmonic_group.h"
#include "spectral_peak.h"
#include "track_detector.h"
#include "transcription_result.h"

#include <span>
#include <vector>

class PartialTrack;
class PartialTracker;

/**
 * Turns the partial tracks into notes while the audio streams in.
 *
 * Each frame, after the tracker has extended every running track: the detectors mark each
 * track's attack, body, decay and release and decide note starts 0.3 s behind the newest frame
 * (TrackDetector); sounding notes whose fundamental has ended 0.5 s ago get their note-off; and
 * when a note start reaches the emission frame, 0.5 s behind, the tracks sounding there are
 * grouped into harmonic series, the strongest series are chosen greedily (each chosen series
 * claims its tracks from the others) and a note-on is emitted for each chosen series whose
 * fundamental starts its note in that frame.
 *
 * Scratch space is reserved in configure() and grows only past the largest frame seen, so
 * ordinary frames allocate nothing. Analysis thread only.
 */
class NoteBuilder
{
public:
    void configure(const AnalysisParameters& parameters, PartialTracker* tracker);

    /** Forgets the sounding notes of the previous run. */
    void reset();

    /**
     * Note building for the newest frame. `emissionLevel` is the overall level of the frame
     * at the emission lag; events are appended to `result`.
     */
    void run(int frame, std::span<SpectralPeak> peaks, float emissionLevel,
             TranscriptionResult& result);

    /** Notes whose note-on was emitted and whose note-off is pending. */
    int soundingCount() const { return static_cast<int>(sounding_.size()); }

private:
    struct SoundingNote
    {
        PartialTrack* fundamental = nullptr;
        float frequency = 0.0f;
        double onTime = 0.0;
    };

    void emitNoteOffs(int frame, TranscriptionResult& result);
    bool someNoteStartsAt(int emission) const;
    void makeCandidates(int emission);
    void chooseGroups(float emissionLevel);
    double groupScore(const HarmonicGroup& group) const;
    void claimTracksOf(const HarmonicGroup& chosen);
    void emitNoteOn(PartialTrack& fundamental, int frame, TranscriptionResult& result);
    float medianBodyFrequency(const PartialTrack& track, int body, int frame);
    static int noteEnd(const PartialTrack& track);
    void appendNoteOff(const SoundingNote& note, int endFrame, TranscriptionResult& result) const;

    AnalysisParameters parameters_;
    PartialTracker* tracker_ = nullptr;
    TrackDetector detector_;
    std::vector<SoundingNote> sounding_; // in emission order
    // Scratch of one grouping frame:
    std::vector<HarmonicGroup> candidates_;
    std::vector<HarmonicGroup::Member> members_;
    std::vector<double> strength_;            // trackStrength at the emission frame, by track
    std::vector<unsigned char> claimedTrack_; // by track: a member of the group just chosen
    std::vector<float> bodyFrequencies_;
};
