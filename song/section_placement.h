#pragma once

class Session;
class MidiClip;

/**
 * Places the song sections around the melody: an intro as long as the style's "Intro A" (whole
 * bars) with the key's tonic chord, "Main A" where the melody's first bar now starts and
 * "Ending A" in the bar after the melody, whose length then covers the style's ending. With the
 * song's "auto" placement the melody between intro and ending is marked by its phrases instead
 * (Main A, Main B and the fills between them, PhraseSections); "simple" keeps the one "Main A".
 *
 * To make room for the intro the whole song moves: every MIDI clip's events and every audio
 * clip (through an undoable "clip resize"; a clip that would start before 0 is trimmed at its
 * start instead). Nothing happens when the user fixed the sections or the melody has no note.
 * GUI thread only.
 */
void placeSections(Session& session, MidiClip& melody);
