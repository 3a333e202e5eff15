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
    const uint32_t beats = std::max<uint32_t>(first ? first->beatsPerBar : 4, 1);
    return beats * std::max<uint32_t>(session.scale().ticksPerBeat(), 1);
}

void findChordsAndArrange(Session& session, MidiClip& melody,
                          const std::function<void(int step)>& progress)
{
    SongState& song = *SongState::of(&session);
    ChordMaker(song, melody.sequence(), songBarTicks(session)).run();
    if (progress)
        progress(1);
    arrangeSong(session, &melody);
    if (progress)
        progress(2);
    song.chordsChanged = false;
    melody.setModified(true);
}
