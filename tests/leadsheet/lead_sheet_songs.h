#pragma once

// Small songs for the lead sheet tests, written in quarter notes at 960 ticks per quarter.

#include "lead_sheet.h"

#include <cmath>
#include <initializer_list>

namespace leadsheet_test {

constexpr int kTpq = 960;

inline uint32_t ticks(double quarters)
{
    return uint32_t(std::lround(quarters * kTpq));
}

struct N
{
    double start;
    double length;
    int key;
};

/** A song in one meter (unit: 2 quarter, 3 eighth) with the notes given in quarters. */
inline LeadSheetSong song(std::initializer_list<N> notes, int beats = 4, int unit = 2,
                          int signature = 0, bool minor = false)
{
    LeadSheetSong s;
    s.title = QStringLiteral("test");
    s.ticksPerQuarter = kTpq;
    s.keySignature = signature;
    s.minor = minor;
    s.meters.push_back({0, beats, unit, 120.0});
    for (const N& n : notes)
        s.notes.push_back({ticks(n.start), ticks(n.start + n.length), n.key});
    return s;
}

inline void chord(LeadSheetSong& s, double at, const char* name)
{
    s.chords.push_back({ticks(at), QString::fromLatin1(name)});
}

} // namespace leadsheet_test
