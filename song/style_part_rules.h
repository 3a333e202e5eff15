#pragma once

/**
 * StylePartRules: how one style part meets the song's chords, as the style's part table gives
 * it: the root of the chord its pattern is written over and the range of notes it may play.
 * A style without a table (and the default piano style) keeps the defaults: patterns over C,
 * every note allowed. Plain data; any thread.
 */
struct StylePartRules
{
    int sourceRoot = 0; // pitch class of the pattern's chord root, 0 = C
    int lowLimit = 0;   // lowest and highest MIDI note of the part
    int highLimit = 127;

    /**
     * Moves a mapped note by octaves into the part's range. A range narrower than an octave
     * cannot take every note of a chord and is not applied (tables written without limits hold
     * zeros there).
     */
    int limit(int pitch) const
    {
        if (highLimit - lowLimit < 11)
            return pitch;
        while (pitch > highLimit)
            pitch -= 12;
        while (pitch < lowLimit)
            pitch += 12;
        return pitch;
    }
};
