#pragma once

#include "chord_evidence.h"
#include "chord_finder_setting.h"

#include <QString>
#include <cstdint>

class SongState;
class MidiEvent;
class MidiSequence;

/**
 * ChordMaker: writes the chord lane and the suggested-chords notes of a whole melody.
 *
 * It suggests the key (kept when the user fixed one), then finds one chord per bar, from the
 * first bar to the one that holds the melody's length, with the finder chosen: the progression
 * finder (a second chord from the middle of a bar where the melody changes harmony there) or the
 * classic one (one chord per bar). Chords the user fixed stay and the chords around them follow
 * them; other chords inside a bar are removed. The question, the
 * progress dialog and the arrangement around it belong to the Make Chords action. GUI thread.
 */
class ChordMaker
{
public:
    /** barTicks: ticks of a bar of the session's meter (songBarTicks), meter that meter. */
    ChordMaker(SongState& song, MidiSequence& melody, uint32_t barTicks,
               ChordFinderKind kind = ChordFinderKind::Progression,
               ChordEvidence::Meter meter = {});

    /** Runs over every bar; false when a bar found no chord where one was expected (logged). */
    bool run();

private:
    void runClassic(int signature, bool minor);
    void runProgression(int signature, bool minor);
    void writeBar(class ChordFinder& finder, uint32_t barStart, uint32_t barEnd);
    void writeChords(uint32_t barStart, uint32_t barEnd, const QString& first, uint32_t secondAt,
                     const QString& second, const QString& suggestions);
    const MidiEvent* lastEventBefore(uint32_t tick);

    SongState& m_song;
    MidiSequence& m_melody;
    uint32_t m_barTicks;
    ChordFinderKind m_kind;
    ChordEvidence::Meter m_meter;
    // The last event before the bar being written: bars are written in order and each changes
    // only its own ticks, so every search of a bar starts here instead of at the melody's start.
    const MidiEvent* m_before = nullptr;
};
