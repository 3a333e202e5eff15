#pragma once

#include <cstdint>

class QWidget;
class SongState;
class MidiClip;

/*
 * Editing the chord and section lanes of the melody by hand. The piano roll calls these for a
 * click in a lane, with the position already snapped and the end of the snapped beat (chords)
 * or bar (sections). GUI thread only.
 */

enum class LaneEdit { Cancelled, Stored, Deleted };

/**
 * Shows "Chord Editing" for the chord at tick (names shown transposed for display) and stores
 * the answer untransposed, fixed as the check box says.
 */
LaneEdit editChordLane(QWidget* parent, SongState& song, MidiClip& melody, uint32_t tick,
                       uint32_t beatEnd);

/** Shows "Section Editing" for the section at tick and stores the answer and the fixed flag. */
LaneEdit editSectionLane(QWidget* parent, SongState& song, MidiClip& melody, uint32_t tick,
                         uint32_t barEnd);

/**
 * What follows every lane edit: the melody's length covers a stored event up to unitEnd, or
 * shrinks back to tick when a deleted event was the last thing in the track; the arrangement is
 * rebuilt from tick to the end of the edited chord's or section's span, the melody is marked
 * modified and the chords count as changed by hand. kind is the edited lane.
 */
void finishLaneEdit(SongState& song, MidiClip& melody, uint32_t tick, LaneEdit edit,
                    uint32_t unitEnd, int kind);
