#pragma once

#include "chord_evidence.h"
#include "progression_rules.h"

#include <QString>
#include <cstdint>
#include <vector>

class MidiSequence;

/**
 * ProgressionFinder: chords for a whole melody at once, as a musician would choose them.
 *
 * Each bar, or each half bar in even meters, is heard for its notes (ChordEvidence), and the
 * chords of the key (ProgressionRules) are chained over the whole melody by the cheapest path
 * (Viterbi): a chord pays for the notes it does not hold and for being rare in the key, a change
 * of chord pays by how usual the move is, a change inside a bar pays more, the melody starts
 * on the tonic and ends on it (or, less often, on the dominant of a half close), and the ends
 * of four-bar phrases prefer the tonic or the dominant.
 * Bars that repeat earlier bars (with a neighbour) are heard together and get the same chords.
 * Chords the user fixed are kept as they are and the chords around them follow them.
 * GUI thread (one run at a time per object).
 */
class ProgressionFinder
{
public:
    /** A chord the user fixed at the start of a segment (a bar, or the second half of one). */
    struct Fixed
    {
        int segment = 0;
        QString chord;
    };

    /** The chords found for a bar: the first, and the second from the middle of the bar. */
    struct BarChords
    {
        QString first;       // empty: no chord (before the first note, after the last)
        QString second;      // empty: the first chord holds through the bar
        QString suggestions; // "%s = %.1f\n" per fitting chord, best first
    };

    struct Key
    {
        int signature = 0;
        bool minor = false;
        bool operator==(const Key&) const = default;
    };

    /** The key the chords are found in; also the key of the other keys tried first. */
    void setKey(int signature, bool minor);
    /**
     * With true, find() also tries the other keys the melody's notes fit as well (any major or
     * minor key whose scale holds them nearly as well as the best) and keeps the one whose
     * chords fit the melody best; a key other than the one set must win by a margin.
     */
    void setTryOtherKeys(bool tryThem) { m_tryOtherKeys = tryThem; }
    /** The key of the last find(). */
    Key key() const { return {m_signature, m_minor}; }

    /** Finds the chords of bars [0, barCount). Fixed chords that are no chord names are free. */
    std::vector<BarChords> find(const MidiSequence& melody, uint32_t barTicks,
                                ChordEvidence::Meter meter, int barCount,
                                const std::vector<Fixed>& fixed = {});

    /** Ticks from a bar's start to its second segment; 0 when bars have one segment. */
    uint32_t secondSegmentOffset() const;

private:
    using Weights = ChordEvidence::Weights;

    QString nameOf(int chord) const;
    std::vector<Key> keysToTry() const;
    /** Decodes in key; the path's cost. */
    double decodeIn(Key key, const std::vector<Fixed>& fixed, std::vector<int>& path);
    void prepareWeights();
    void findRepeats();
    std::vector<int> constraints(const std::vector<Fixed>& fixed);
    double segmentCost(int s, int chord) const;
    std::vector<int> decode(const std::vector<int>& allowed, double& cost) const;
    void copyRepeats(std::vector<int>& path, const std::vector<int>& allowed) const;
    QString suggestions(int bar) const;

    int m_signature = 0;
    int m_shift = 0; // semitones from a concert pitch class to one relative to the tonic
    bool m_minor = false;
    bool m_tryOtherKeys = false;
    ProgressionRules m_rules{false};
    ChordEvidence m_evidence;
    std::vector<Weights> m_weights; // per segment, relative to the tonic, repeats pooled
    std::vector<double> m_totals;
    std::vector<int> m_repeatOf; // per bar: the earliest bar it repeats, or itself
    int m_firstSegment = -1;     // first and last segment with notes
    int m_lastSegment = -1;
};
