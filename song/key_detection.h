#pragma once

class SongState;
class MidiSequence;

/** A key as a signature (sharps positive, flats negative) with a minor flag. */
struct DetectedKey
{
    int signature = 0;
    bool minor = false;

    bool operator==(const DetectedKey&) const = default;
};

/**
 * Suggests the key of a melody: the major scale with the fewest notes outside it, read as the
 * relative minor when the melody ends on that minor's tonic and the minor fits as well, and as
 * the major key of the last note whenever that fits equally well. Every note-on counts once.
 */
DetectedKey detectKey(const MidiSequence& melody);

/**
 * The same rule over twelve weights per pitch class (note counts, or durations for a key
 * estimated from a transcription) and the pitch class of the last note (-1: none).
 */
DetectedKey chooseKey(const double weights[12], int lastPitchClass);

/**
 * Stores the suggestion; when the key is not fixed it also becomes the key in effect, and the
 * key button is told.
 */
void applySuggestedKey(SongState& song, const DetectedKey& key);
