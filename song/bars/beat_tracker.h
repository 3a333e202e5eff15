#pragma once

#include <vector>

/**
 * BeatTracker: the beat times of a melody whose tempo may drift, for a given beat period.
 *
 * The notes become an onset-strength curve (a narrow bump per note, taller for notes that last
 * longer); dynamic programming then picks the sequence of beat times that lands on strong
 * onsets while keeping each interval close to the period (a log-ratio penalty), so the beats
 * follow a singer who slows down or hurries by several percent over the take. Beats continue
 * through rests at the local period. Any thread; no shared state.
 */
class BeatTracker
{
public:
    struct Onset
    {
        double time = 0.0;     ///< seconds
        double strength = 1.0; ///< salience (longer notes are stronger)
    };

    /** Beat times from before the first onset to past the last one; period in seconds. */
    static std::vector<double> track(const std::vector<Onset>& onsets, double period);

    /** Frames per second of the onset-strength curve. */
    static constexpr double kRate = 200.0;
};
