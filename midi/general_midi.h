#pragma once

#include <QString>

/**
 * The General MIDI names of the 128 programs, for showing which instrument a track of a MIDI
 * file plays. Any thread.
 */
namespace GeneralMidi {

/** The channel (from 0) that General MIDI reserves for drums and percussion. */
constexpr int DrumChannel = 9;

/** The instrument of program 0-127; an empty text for any other value. */
QString instrumentName(int program);

} // namespace GeneralMidi
