#pragma once

#include <algorithm>
#include <cmath>

/**
 * Pitch as a fractional MIDI note number, A4 = 440 Hz = 69: 12 × ln(f ÷ 440) ÷ ln 2 + 69.
 * Plain functions; any thread.
 */
inline double pitchOf(double frequency)
{
    return 12.0 * std::log(frequency / 440.0) / std::log(2.0) + 69.0;
}

/**
 * The MIDI note of a fractional pitch: floor(pitch + 0.5), kept inside 0..127.
 * Exact rule: notes at exactly half a semitone go up, as the transcription has always done.
 */
inline int noteNumberOf(double pitch)
{
    const double note = std::floor(pitch + 0.5);
    return static_cast<int>(std::clamp(note, 0.0, 127.0));
}
