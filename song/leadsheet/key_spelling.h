#pragma once

/**
 * KeySpelling: how a key writes each of the twelve pitch classes.
 *
 * The notes of the key's scale come first; a note outside it takes the spelling nearer the key on
 * the line of fifths, so C major writes C#, Eb, F#, Bb, A minor its leading tone G#, D minor its
 * C#, and flat keys choose flats where both are as near (Db in F major). Pure value type; safe
 * from any ordinary thread.
 */
class KeySpelling
{
public:
    /** A note as notation writes it: letter, alteration in semitones and octave (C4 = key 60). */
    struct Pitch
    {
        char step = 'C';
        int alter = 0;
        int octave = 4;
    };

    /** signature: sharps (positive) or flats (negative), -7..+7; a minor key its relative's. */
    KeySpelling(int signature, bool minor);

    /** The spelling (tpc on the line of fifths, 14 = C) of the pitch class of a key. */
    int tpcOf(int key) const;
    Pitch pitchOf(int key) const;

private:
    int m_tpc[12];
};
