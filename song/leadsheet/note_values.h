#pragma once

#include <vector>

/**
 * NoteValues: splits a stretch of a measure into written note values (whole to sixty-fourth,
 * single dots, eighth and quarter triplets) that a reader takes in at a glance.
 *
 * Positions count divisions of a quarter note from the start of the full bar, so beats line up
 * in a pickup too. The longest value that fits is taken first, within these rules:
 * - a value shorter than a beat stays inside its beat and starts on a multiple of itself (its
 *   undotted value) or ends the beat (so a sixteenth and a dotted eighth make a beat);
 * - a value of a beat or longer starts on a beat and ends on a half beat;
 * - in a triplet bar (quarter-note beats only) every value is a whole number of beats or an
 *   eighth or quarter triplet inside one beat.
 * Plain functions of their arguments, safe from any ordinary thread.
 */
class NoteValues
{
public:
    struct Piece
    {
        int position = 0;
        int duration = 0;
        int type = 0; // exponent of a whole note: 0 whole, 1 half, 2 quarter, 3 eighth ...
        int dots = 0;
        bool isTriplet = false;
    };

    /** divisions: per quarter note, a multiple of 12; beat: divisions of one beat. */
    NoteValues(int divisions, int beat, bool triplets);

    /** The pieces that fill [from, to), in order; empty when from >= to. */
    std::vector<Piece> split(int from, int to) const;

    /** The beat of a meter in divisions: the beat unit, or a dotted one in 6/8, 9/8, 12/8. */
    static int beatOf(int beats, int unit, int divisions);

private:
    struct Value
    {
        int duration;
        int type;
        int dots;
        bool isTriplet;
        int alignment; // starts on a multiple of this inside its beat
    };

    bool fits(const Value& value, int position, int to) const;

    int m_beat;
    bool m_triplets;
    std::vector<Value> m_values; // longest first
};
