#pragma once

#include <vector>

/**
 * BarGrid: where the bars of a freely sung melody lie, as found by BarFinder. Times are seconds
 * from the start of the take. A plain record; any thread.
 */
struct BarGrid
{
    /** Mean tempo in quarter notes per minute (6/8 counts its eighths as half quarters). */
    double tempo = 120.0;
    int beatsPerBar = 4; ///< the meter's numerator
    int beatUnit = 4;    ///< the meter's denominator: 4 or 8
    /** The first downbeat; notes before it are a pickup. */
    double firstDownbeat = 0.0;
    /** Every bar line from the first downbeat on, one bar past the last note. */
    std::vector<double> barLines;
    /** 0..1: how clearly this grid beat the other tempi, meters and phases tried. */
    double confidence = 0.0;
    /** True when the bar lengths move by more than a few percent over the take. */
    bool drifts = false;
    /** False when there were too few notes to find anything. */
    bool valid = false;

    /** Length of a bar in quarter notes (3 for both 3/4 and 6/8). */
    double quartersPerBar() const { return beatsPerBar * 4.0 / beatUnit; }
    /** The tempo, in quarter notes per minute, of bar index (its own length). */
    double barTempo(int bar) const;
    /** Seconds per bar at the mean tempo. */
    double barSeconds() const { return 60.0 * quartersPerBar() / tempo; }

    /**
     * How far to move a take that starts with a note at firstOnset so that its first downbeat
     * falls on a bar line of a song starting at 0: onto bar 1 when nothing comes before the
     * downbeat (lead-in silence is cut, the shift is negative), onto the first bar line that
     * leaves room for the pickup otherwise (the pickup becomes an anacrusis).
     */
    double shiftToBarLine(double firstOnset) const;
};
