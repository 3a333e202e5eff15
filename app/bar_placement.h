#pragma once

#include "bar_finder.h"

#include <QString>
#include <cstdint>
#include <vector>

class Session;

/**
 * BarPlacement: puts a song's tempo map on the bars found in a take sung without a click.
 *
 * The found tempo (in whole beats per minute, as song files keep it) and meter go on the first
 * tempo node; a take whose tempo drifts also gets a node on every bar from its first downbeat,
 * with the tempo that brings the next bar line nearest the sung one. Every change is a command
 * pushed on the session's undo list, so an action's undo step takes it back. Used by the
 * make-song command and by the window's Find Tempo and Bars. GUI thread (or the command's only
 * thread).
 */
class BarPlacement
{
public:
    /** The bar grid of the notes; invalid with too few notes. */
    static BarGrid find(const std::vector<BarFinder::Note>& notes);

    /**
     * Sets the tempo and meter of the grid (its tempo is rounded in place) and, for a drifting
     * take, a node per bar. Returns how far (seconds) the take, whose first note starts at
     * firstOnset, moves so that its first downbeat falls on a bar line.
     */
    static double apply(Session& session, BarGrid& grid, double firstOnset);

    /** The earliest onset of the notes (0 without notes). */
    static double firstOnset(const std::vector<BarFinder::Note>& notes);

    /** What was found, one line: tempo, meter, first downbeat, confidence, drift. */
    static QString describe(const BarGrid& grid);

    /**
     * Gives every tempo node the meter (beats per bar, beat unit as a power of two) and keeps
     * each node's tempo, so that a song with a node per bar changes its meter throughout.
     */
    static void setMeter(Session& session, uint16_t beatsPerBar, uint16_t beatUnit);

private:
    static void followTheSinger(Session& session, const BarGrid& grid, double shift, uint16_t unit);
};
