#pragma once

#include "sung_note.h"

/**
 * Note timing of a finished melody from one voice: notes in onset order, a scoop (a short
 * glide from below that the tracker heard as a note of its own) joined to the note it leads
 * into, and every note ended at or before the next one starts, so the melody never overlaps
 * itself. Runs once at the end of a run; may allocate. Any thread, on notes it owns.
 */
class MelodyShaper
{
public:
    /** Longest glide into a note that counts as a scoop rather than a note (seconds). */
    static constexpr double kLongestScoop = 0.2;
    /** A scoop lies this many semitones below the note it leads into, at least and at most. */
    static constexpr double kScoopLow = 0.6;
    static constexpr double kScoopHigh = 2.6;
    /** Silence between a scoop and its note that still joins them (seconds). */
    static constexpr double kScoopGap = 0.03;
    /** A note cut shorter than this by the next one is not heard as a note (seconds). */
    static constexpr double kShortestNote = 0.05;

    /** Sorts, joins scoops and trims overlaps, in place. */
    static void shape(SungNotes& notes);

private:
    static void sortByOnset(SungNotes& notes);
    static void joinScoops(SungNotes& notes);
    static void trimOverlaps(SungNotes& notes);
};
