#pragma once

#include "sung_note.h"
#include "transcription_result.h"

#include <array>
#include <vector>

/**
 * Post-processing of a finished transcription: measures each note's duration, rounds every
 * note number against the singer's tuning, and estimates the melody's key from the pitch
 * classes weighted by duration.
 *
 * Two tunings: FollowSinger (the default) times the notes as one voice sings them (scoops
 * joined to their note, no overlaps; MelodyShaper), follows the singer's reference as it
 * drifts over the take (SingerTuning) and leaves the events in time order. Classic keeps the
 * events as note building emitted them and searches the one offset of −0.5..0.5 in steps of
 * 0.1 that best fits every pitch to the grid.
 *
 * Runs once at the end of a run; may allocate. Any thread, on a result it owns.
 */
class NoteRefiner
{
public:
    enum class Tuning
    {
        FollowSinger,
        Classic
    };

    /**
     * Rewrites durations, note numbers, tuning offset, key and minor flag in place; with
     * FollowSinger also the notes' times, and the events come out in time order.
     */
    static void refine(TranscriptionResult& result, Tuning tuning = Tuning::FollowSinger);

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
    void followSinger();
    SungNotes pairedNotes() const;
    void writeNotes(const SungNotes& notes);

    TranscriptionResult& result_;
    std::vector<int> noteOns_;    // indices of the note-ons
    std::vector<int> partners_;   // by note-on: index of its note-off, or −1
    std::vector<double> weights_; // by note-on: duration ÷ mean duration
};
