// Developer tool: the bar grid BarFinder gives for a list of notes.
//
// Usage: cantova_bar_probe < notes.txt
// Each input line is "onset duration pitch" (seconds, seconds, MIDI note). Prints tempo, meter,
// first downbeat, confidence, drift and the bar lines, one "key: value" per line.
// CANTOVA_BARS_WEIGHTS="pickup=1.5 duple=2" tries other weights (BarFinder::Weights' names), so
// that takes.py can score them without a rebuild.
#include "bar_finder.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>

namespace {

std::vector<std::pair<const char*, double BarFinder::Weights::*>> weightFields()
{
    using W = BarFinder::Weights;
    return {{"correlation", &W::correlation},
            {"strong", &W::strong},
            {"fit", &W::fit},
            {"lengths", &W::lengths},
            {"lengthCentre", &W::lengthCentre},
            {"tempo", &W::tempo},
            {"periodicity", &W::periodicity},
            {"contrast", &W::contrast},
            {"ending", &W::ending},
            {"prior", &W::prior},
            {"repetition", &W::repetition},
            {"barStart", &W::barStart},
            {"pickup", &W::pickup},
            {"duple", &W::duple},
            {"undivided", &W::undivided},
            {"undividedTempo", &W::undividedTempo},
            {"undividedShare", &W::undividedShare},
            {"sixteenths", &W::sixteenths},
            {"compoundBeat", &W::compoundBeat}};
}

} // namespace

int main()
{
    std::vector<BarFinder::Note> notes;
    BarFinder::Note note;
    while (std::cin >> note.onset >> note.duration >> note.pitch)
        notes.push_back(note);
    BarFinder::Weights weights = BarFinder::defaultWeights();
    // Weights to try, as CANTOVA_BARS_WEIGHTS="pickup=1.5 ending=0.3".
    if (const char* set = std::getenv("CANTOVA_BARS_WEIGHTS")) {
        std::istringstream words(set);
        std::string word;
        while (words >> word) {
            const size_t eq = word.find('=');
            const std::string name = word.substr(0, eq);
            const double value = eq == std::string::npos ? 0.0 : std::atof(word.c_str() + eq + 1);
            for (auto [key, field] : weightFields())
                if (name == key)
                    weights.*field = value;
        }
    }
    const BarGrid grid = BarFinder::find(notes, weights);
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
