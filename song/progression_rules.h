#pragma once

#include "chord_evidence.h"

#include <QString>
#include <vector>

/**
 * ProgressionRules: the chords a key offers and what the progression finder pays for them.
 *
 * Chords are written relative to the key's tonic (0 = the tonic of the major or of the minor
 * key). A key offers its diatonic triads (the minor key with the major V of the harmonic minor),
 * the dominant sevenths, the secondary dominants and the borrowed chords common in folk and pop
 * (bVII and iv in major). Every cost is in the unit of one bar whose notes all are chord tones,
 * so a chord that fits the notes of a bar clearly better pays for a change of chord. The costs
 * were set by hand from common practice and tuned on the tunes of tools/chord-set; no training
 * data is behind them. Plain data, any thread.
 */
class ProgressionRules
{
public:
    struct Chord
    {
        int root = 0;      // relative to the tonic, 0..11
        QString suffix;    // "", "m", "7", "dim", ... as chord names write it
        uint16_t mask = 0; // tones relative to the tonic
        int third = -1;    // relative pitch classes of the third, fifth and seventh, or -1
        int fifth = -1;
        int seventh = -1;
        bool minorThird = false;
        double prior = 0;       // cost of the chord per bar, for how rarely the key uses it
        bool secondary = false; // a dominant of another degree than the tonic
        bool fixedOnly = false; // added for a chord the user fixed; never chosen freely
    };

    /** The chords of the key; minor chooses the minor key's table. */
    explicit ProgressionRules(bool minor);

    bool minor() const { return m_minor; }
    int size() const { return int(m_chords.size()); }
    const Chord& chord(int i) const { return m_chords[size_t(i)]; }

    /**
     * The index of a chord with that root, relative to the tonic, and tone mask (relative to the
     * root), added as a fixed-only chord when the key does not offer it. suffix names it.
     */
    int indexOf(int root, uint16_t maskFromRoot, const QString& suffix);

    /** Cost of hearing the chord over a segment with these weights (total > 0), per bar. */
    double emission(int chord, const ChordEvidence::Weights& weights, double total) const;
    /** How well the notes fit the chord, about -1 (all foreign) to 1 (all chord tones). */
    double fit(int chord, const ChordEvidence::Weights& weights, double total) const;
    /** Cost of going from chord a to chord b; 0 for staying. */
    double transition(int a, int b) const;
    /** True for the tonic triad, and for the dominant (triad or seventh). */
    bool isTonic(int chord) const;
    bool isDominant(int chord) const;

private:
    void add(int root, const char* suffix, double prior);
    double computeTransition(const Chord& a, const Chord& b) const;

    bool m_minor;
    std::vector<Chord> m_chords;
    std::vector<double> m_transitions; // size() x size(), rebuilt when a chord is added
    void rebuildTransitions();
};
