#pragma once

// The melody the view benchmarks edit and paint: ten minutes at 120 bpm.
#include "midi_clip.h"
#include "session.h"
#include "track.h"

#include <cstdint>

/** A session whose MIDI clip holds 3,000 notes one after another over 300 bars. */
struct LongMelody
{
    static constexpr uint32_t kNoteTicks = 384;

    Session session;
    MidiClip* clip = nullptr;

    LongMelody()
    {
        auto* track = new Track(&session, Track::MidiTrack);
        session.addTrack(track);
        clip = new MidiClip(&session);
        track->addClip(clip);
        MidiSequence& melody = clip->sequence();
        uint32_t seed = 12345;
        uint32_t t = 0;
        for (int i = 0; i < 3000; ++i) {
            seed = seed * 1103515245u + 12345u; // the same melody every run
            const auto key = uint8_t(55 + (seed >> 16) % 24);
            melody.insert(MidiEvent::note(t, key, 100, kNoteTicks));
            t += kNoteTicks;
        }
        clip->setLength(44100 * 600);
        session.updateEnd(0);
    }
};
