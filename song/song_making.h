#pragma once

#include "chord_evidence.h"
#include "chord_finder_setting.h"

#include <cstdint>
#include <functional>

class Session;
class MidiClip;

/**
 * Make Chords without its dialogs, as the window and the command line run it: one chord per bar
 * for the melody (fixed chords stay), then the sections around the melody and the whole
 * arrangement from the loaded style. progress, when given, hears steps 1 (chords found) and
 * 2 (arranged). kind chooses the chord finder. Clears the song's chordsChanged flag and marks
 * the melody modified. GUI thread only.
 */
void findChordsAndArrange(Session& session, MidiClip& melody,
                          const std::function<void(int step)>& progress = {},
                          ChordFinderKind kind = ChordFinderKind::Progression);

/** The session's first meter (4/4 when it has none). */
ChordEvidence::Meter songMeter(Session& session);

/**
 * Ticks of a bar of the session's first meter: beats per bar meter beats of the meter's own unit
 * (10/8 is five quarter notes), as the time scale, the metronome and the window count bars.
 */
uint32_t songBarTicks(Session& session);

/**
 * Ticks of a bar of beats notes of the unit (a power-of-two exponent, 2 = quarter, 3 = eighth)
 * at tpq ticks per quarter note; at least 1. 6/8 at 960 ticks per quarter is 2880.
 */
uint32_t meterBarTicks(uint32_t beats, uint32_t unit, uint32_t tpq);
