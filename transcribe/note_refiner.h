#pragma once

#include "transcription_result.h"

#include <array>
#include <vector>

/**
 * Post-processing of a finished transcription: measures each note's duration, finds the one
 * tuning offset (a fraction of a semitone) that best fits the sung pitches to the
 * equal-tempered grid, rounds every note number again with it, and estimates the melody's key
 * from the pitch classes weighted by duration.
 *
 * Runs once at the end of a run; may allocate. Any thread, on a result it owns.
 */
class NoteRefiner
{
public:
    /** Rewrites durations, note numbers, tuning offset, key and minor flag in place. */
    static void refine(TranscriptionResult& result);

    /**
     * The key of notes weighted per pitch class: sharps/flats count of the best-fitting major
     * scale, or minor on the last note when its relative major fits as well.
     */
    static void estimateKey(const std::array<double, 12>& weights, int lastNote, double total,
                            int32_t* key, uint8_t* minor);

private:
    explicit NoteRefiner(TranscriptionResult& result);
    void findPartners();
    void measureDurations();
    void assign(long double offset);
    long double tuningError(long double offset) const;
    void chooseTuning();
    void estimateKey();

    TranscriptionResult& result_;
    std::vector<int> noteOns_;    // indices of the note-ons
    std::vector<int> partners_;   // by note-on: index of its note-off, or −1
    std::vector<double> weights_; // by note-on: duration ÷ mean duration
};
