#pragma once

#include <cstdint>
#include <functional>

class Session;
class MidiClip;

/**
 * Make Chords without its dialogs, as the window and the command line run it: one chord per bar
 * for the melody (fixed chords stay), then the sections around the melody and the whole
 * arrangement from the loaded style. progress, when given, hears steps 1 (chords found) and
 * 2 (arranged). Clears the song's chordsChanged flag and marks the melody modified.
 * GUI thread only.
 */
void findChordsAndArrange(Session& session, MidiClip& melody,
                          const std::function<void(int step)>& progress = {});

/** Ticks per bar as song making counts them: beats per bar x ticks per quarter. */
uint32_t songBarTicks(Session& session);
