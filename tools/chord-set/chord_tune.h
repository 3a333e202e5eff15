#pragma once

#include "chord_evidence.h"

#include <QString>
#include <array>
#include <vector>

class MidiSequence;

/** A tune of the chord set: its notes and the chords a musician plays to them. */
struct ChordTune
{
    static constexpr uint32_t kTicksPerQuarter = 960;

    struct Note
    {
        uint32_t start;
        uint32_t length;
        int pitch;
    };
    struct Mark
    {
        uint32_t tick;
        QString chord;
    };

    QString title;
    QString key; // "Dmaj", "Emin"
    ChordEvidence::Meter meter;
    bool pickup = false; // bar 0 is a pickup, right-aligned, and not scored
    int bars = 0;
    std::vector<Note> notes;
    std::vector<Mark> marks;

    uint32_t barTicks() const;
    int barCount() const { return bars; }
    int firstScoredBar() const { return pickup ? 1 : 0; }
    /** The musician's chord sounding at the start of half h of halves of the bar. */
    QString chordAt(int bar, int h, int halves) const;
    /** Note duration per pitch class inside the bar, in ticks. */
    std::array<double, 12> barDurations(int bar) const;
    void fill(MidiSequence& melody) const;

    /** The tunes of a file; error tells the first fault (tune, bar) and leaves the list empty. */
    static std::vector<ChordTune> readFile(const QString& path, QString& error);
};
