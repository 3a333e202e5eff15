#include "song_making.h"

#include "arrangement.h"
#include "chord_maker.h"
#include "song_state.h"

#include "midi_clip.h"
#include "session.h"
#include "time_scale.h"

#include <algorithm>

uint32_t songBarTicks(Session& session)
{
    const TempoNode* first = session.scale().firstNode();
    return meterBarTicks(first ? first->beatsPerBar : 4, first ? first->beatUnit : 2,
                         session.scale().ticksPerBeat());
}

uint32_t meterBarTicks(uint32_t beats, uint32_t unit, uint32_t tpq)
{
    // A whole note is four quarters; each step of the unit halves the beat. Units beyond a
    // 1/2^31 note exist in no meter; they count as the shortest that still gives a tick.
    const uint64_t wholeNotes = uint64_t(std::max<uint32_t>(beats, 1)) * tpq * 4;
    const uint64_t ticks = wholeNotes >> std::min<uint32_t>(unit, 31);
    return uint32_t(std::clamp<uint64_t>(ticks, 1, UINT32_MAX));
}

ChordEvidence::Meter songMeter(Session& session)
{
    const TempoNode* first = session.scale().firstNode();
    return {first ? int(first->beatsPerBar) : 4, first ? int(first->beatUnit) : 2};
}

void findChordsAndArrange(Session& session, MidiClip& melody,
                          const std::function<void(int step)>& progress, ChordFinderKind kind)
{
    SongState& song = *SongState::of(&session);
    ChordMaker(song, melody.sequence(), songBarTicks(session), kind, songMeter(session)).run();
    if (progress)
        progress(1);
    arrangeSong(session, &melody);
    if (progress)
        progress(2);
    song.chordsChanged = false;
    melody.setModified(true);
}
