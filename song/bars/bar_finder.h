#pragma once

#include "bar_grid.h"

#include <vector>

/**
 * BarFinder: tempo, meter and the first downbeat of a melody sung without a click.
 *
 * The method, in four steps:
 * 1. Pulse. Each note is an onset with a salience that grows with its length (the time to the
 *    next note, which a singer's legato or staccato does not change). For every beat period
 *    from 0.17 s to 1.5 s the onsets' phases are averaged as unit vectors, in windows of a few
 *    seconds so that drift does not smear them: the length of the mean vector says how well a
 *    grid of that period fits. The longest periods that fit nearly as well as the best are the
 *    candidate pulses.
 * 2. Beats. For each candidate quarter-note period (and the dotted quarter of 6/8) BeatTracker
 *    follows the beats through the take by dynamic programming.
 * 3. Meter and downbeat. Each onset gets its position in a hypothetical bar (from the tracked
 *    beats, so drift does not move it); a metrical profile per meter (2/4, 3/4, 4/4, 6/8) says
 *    how likely a note of that salience starts there: long notes on downbeats, shorter ones
 *    on beats, the shortest off the beat. Every meter and every beat of the bar as the
 *    downbeat is scored by the salience-weighted profile, plus how close the onsets come to the
 *    grid's subdivisions, plus a mild preference for tempi near 100 beats per minute (6/8 by
 *    its dotted quarters) that settles double and half tempo, plus the last note ending a
 *    phrase on a downbeat. How alike neighbouring bars' rhythms are tells the bar's length
 *    (averaged over where the bar starts, as bars shifted by a beat repeat too; 2/4 over pairs
 *    of bars, which repeat as one bar of 4/4 does), and only a little where it starts. Where it
 *    starts is told by the profile and by the pickup: a start that would leave more than a beat
 *    before the first downbeat is unlikely. Two beats to the bar are only taken for a melody
 *    that moves mostly in eighths: one of quarters and halves is far more often sung in 4/4
 *    (at slow tempi, where those eighths are as well quarters at twice the tempo, only when
 *    the melody never divides them).
 *    Double and half tempo (and the dotted quarter of 6/8 taken for a quarter) are also told
 *    by how the beat is divided: a melody that never divides its beat is common at moderate
 *    tempi (hymns in quarters and halves) but at a fast one is more likely a slower beat in
 *    eighths (slow 2/4 taken for 4/4 at twice the tempo), while notes shorter than an eighth
 *    are few (a reading with many has the tempo too slow, or takes 6/8's eighths for triplets
 *    of a simple beat).
 * 4. Result. The best hypothesis gives the bar lines (every bar's start follows the tracked
 *    beats), the mean tempo, the first downbeat and a confidence from its margin over the
 *    runner-up.
 * Any thread; no shared state.
 */
class BarFinder
{
public:
    struct Note
    {
        double onset = 0.0;    ///< seconds
        double duration = 0.0; ///< seconds
        int pitch = 60;
    };

    /**
     * How much each cue counts when hypotheses are compared. The defaults were chosen on a
     * generated set of sung-like takes (tools/bar-finder/takes.py, seed 20261208) and checked
     * on sets made from other seeds (777, 4242); those of the beat's division were chosen on
     * seeds 1 to 6 and checked on those three.
     */
    struct Weights
    {
        double correlation = 0.1; ///< salience against metrical weight
        double strong = 3.9;      ///< salience-weighted metrical weight of the onsets
        double fit = 2.2;         ///< closeness of onsets to the sixteenth grid
        double lengths = 0.67;    ///< note lengths far from quarters and eighths
        double lengthCentre = 0.45;
        double tempo = 1.2;       ///< tempo far from 100 bpm
        double compoundBeat = 0.8; ///< seconds per dotted quarter 6/8 tempi cluster around
        double periodicity = 0.2; ///< accents repeating every bar
        double contrast = 0.05;   ///< downbeats more salient than the average note
        double ending = 0.02;     ///< the last note on a downbeat
        double prior = 0.3;       ///< how common the meter is
        double repetition = 4.1;  ///< neighbouring bars with the same rhythm (bar length)
        double barStart = 1.0;    ///< the same, for where the bar starts
        double pickup = 1.0;      ///< a pickup longer than a beat
        double duple = 3.0;       ///< 2/4 for a melody that moves in eighths
        double undivided = 2.0;   ///< (almost) no note shorter than the quarter at a fast tempo
        double undividedTempo = 120.0; ///< quarters per minute from which that cue counts
        double undividedShare = 0.05;  ///< "almost none": the share of notes below the quarter
        double sixteenths = 3.0;       ///< notes shorter than an eighth: the tempo is too slow
    };
    static Weights defaultWeights();

    /** The bar grid of notes (in any order); invalid with fewer than six notes. */
    static BarGrid find(std::vector<Note> notes, const Weights& weights = defaultWeights());
};
