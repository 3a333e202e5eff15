#pragma once

#include <QString>
#include <cstdint>
#include <vector>

class MidiSequence;

/**
 * PhraseSections: the song sections a melody's phrases suggest, for the "auto" section placement.
 *
 * The melody between the end of the intro and the ending is cut into groups of 8 bars (4 when
 * the song is short, or when 8-bar groups do not repeat but 4-bar ones do and mostly end on a
 * long note or a rest). A group that
 * repeats an earlier one (most of its notes at the same place and pitch) takes that group's label.
 * "Main A" plays from the first group; "Main B" starts at a group whose phrase contrasts with the
 * first one and comes back somewhere in the song (a chorus), or that repeats the first one
 * clearly louder. The last bar before each change of section, and every eighth bar inside a long
 * section, plays the matching fill ("Fill In AA", "AB", "BB", "BA"); the section resumes after a
 * fill inside it. The bar before the ending plays the fill that leads out of the section it ends.
 *
 * Pure computation over the melody's notes; any thread.
 */
class PhraseSections
{
public:
    struct Mark
    {
        uint32_t bar = 0; // from the start of the song
        QString name;
        bool operator==(const Mark&) const = default;
    };

    /**
     * The section marks for bars [firstBar, endBar) of a melody whose bars are barTicks long;
     * endBar is the bar the ending starts in (the marks before it lead into it).
     */
    static std::vector<Mark> place(const MidiSequence& melody, uint32_t barTicks, uint32_t firstBar,
                                   uint32_t endBar);

    /** The group length in bars (4 or 8) chosen for the same bars. */
    static uint32_t groupBars(const MidiSequence& melody, uint32_t barTicks, uint32_t firstBar,
                              uint32_t endBar);
};
