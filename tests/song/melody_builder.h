#pragma once

#include "midi_sequence.h"

#include <initializer_list>

/** Builds melody sequences in 4/4 at 960 ticks per quarter: a bar is 3840 ticks. */
struct MelodyBuilder
{
    static constexpr uint32_t kBar = 3840;
    static constexpr uint32_t kBeat = 960;

    MidiSequence sequence{QString(), 0, 960};

    MelodyBuilder& note(uint32_t time, int key, uint32_t duration)
    {
        sequence.insert(MidiEvent::note(time, uint8_t(key), 100, duration));
        return *this;
    }
    /** One note per bar after another, each a whole bar long. */
    MelodyBuilder& wholeNotes(std::initializer_list<int> keys, uint32_t fromBar = 0)
    {
        uint32_t bar = fromBar;
        for (int key : keys)
            note(bar++ * kBar, key, kBar);
        return *this;
    }
    /** Quarter notes from time on. */
    MelodyBuilder& quarters(uint32_t time, std::initializer_list<int> keys)
    {
        for (int key : keys) {
            note(time, key, kBeat);
            time += kBeat;
        }
        return *this;
    }
};
