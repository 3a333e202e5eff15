#pragma once

#include "sung_note.h"

#include <vector>

/**
 * Tuning that follows the singer: where the equal-tempered grid lies for each note of a take.
 *
 * Singers seldom sit on the A = 440 Hz grid and drift by tens of cents over a take. The
 * reference is where the notes' fractional pitches gather (a pitch and the same pitch one
 * semitone up are the same place on the grid), weighted by duration: over the whole take their
 * circular mean, and around each note, in a Gaussian window of kWindow seconds, the mean of
 * their wrapped distances from the note's reference, refined over kPasses passes from the
 * whole take's; so the reference follows a slow drift but not the miss of a single note. The local
 * references are unwrapped along the take so the grid never jumps by a semitone while the singer
 * drifts across a half-semitone boundary, and then moved by whole semitones so that their weighted
 * mean lies within half a semitone of the 440 Hz grid.
 *
 * Runs once at the end of a run; may allocate. Any thread, on notes it owns.
 */
class SingerTuning
{
public:
    /** Standard deviation of the window the local reference is measured over (seconds). */
    static constexpr double kWindow = 3.0;
    /** Weight of the whole take's reference in every local one, in mean-length notes. */
    static constexpr double kGlobalWeight = 1.0;
    /** Passes that move the local references from the whole take's toward the notes. */
    static constexpr int kPasses = 3;

    /**
     * Writes every note's number, rounded against its local reference, and returns the
     * tuning offset of the take (semitones added to the pitches before rounding, −0.5..0.5).
     * `weights` holds one weight per note (duration ÷ mean duration); notes in onset order.
     */
    static double assign(SungNotes& notes, const std::vector<double>& weights);

    /** The references alone (fraction of a semitone above the 440 Hz grid, per note). */
    static std::vector<double> references(const SungNotes& notes,
                                          const std::vector<double>& weights);

private:
    static std::vector<double> movedReferences(const SungNotes& notes,
                                               const std::vector<double>& weights,
                                               const std::vector<double>& refs, double whole);
};
