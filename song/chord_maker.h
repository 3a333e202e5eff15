#pragma once

#include <cstdint>

class SongState;
class MidiSequence;

/**
 * ChordMaker: writes the chord lane and the suggested-chords notes of a whole melody.
 *
 * It suggests the key (kept when the user fixed one), then finds one chord per bar, from the
 * first bar to the one that holds the melody's length. Chords the user fixed stay and serve as
 * the previous chord of the next bar; other chords inside a bar are removed. The question, the
 * progress dialog and the arrangement around it belong to the Make Chords action. GUI thread.
 */
class ChordMaker
{
public:
    /** barTicks: ticks of a bar of the session's meter (songBarTicks). */
    ChordMaker(SongState& song, MidiSequence& melody, uint32_t barTicks);

    /** Runs over every bar; false when a bar found no chord where one was expected (logged). */
    bool run();

private:
    void writeBar(class ChordFinder& finder, uint32_t barStart, uint32_t barEnd);

    SongState& m_song;
    MidiSequence& m_melody;
    uint32_t m_barTicks;
};
