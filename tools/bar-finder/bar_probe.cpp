// Developer tool: the bar grid BarFinder gives for a list of notes.
//
// Usage: cantova_bar_probe < notes.txt
// Each input line is "onset duration pitch" (seconds, seconds, MIDI note). Prints tempo, meter,
// first downbeat, confidence, drift and the bar lines, one "key: value" per line.
#include "bar_finder.h"

#include <cstdio>
#include <iostream>

int main()
{
    std::vector<BarFinder::Note> notes;
    BarFinder::Note note;
    while (std::cin >> note.onset >> note.duration >> note.pitch)
        notes.push_back(note);
    const BarGrid grid = BarFinder::find(notes);
    if (!grid.valid) {
        std::puts("valid: 0");
        return 1;
    }
    std::printf("valid: 1\ntempo: %.3f\nmeter: %d/%d\ndownbeat: %.4f\nconfidence: %.3f\n"
                "drifts: %d\nbars:",
                grid.tempo, grid.beatsPerBar, grid.beatUnit, grid.firstDownbeat, grid.confidence,
                grid.drifts ? 1 : 0);
    for (double line : grid.barLines)
        std::printf(" %.4f", line);
    std::puts("");
    return 0;
}
