#pragma once

#include <cstdint>
#include <vector>

/**
 * One finished note of a transcription, as the post-processing works on it: onset and end in
 * seconds, the note's frequency and velocity, its fractional pitch and the note number it is
 * written with. A plain record; any thread.
 */
struct SungNote
{
    double onset = 0.0;
    double end = 0.0;
    float frequency = 0.0f;
    uint8_t velocity = 0;
    uint8_t note = 0;
    double pitch = 0.0; ///< fractional MIDI pitch of the frequency

    double duration() const { return end - onset; }
};

using SungNotes = std::vector<SungNote>;
