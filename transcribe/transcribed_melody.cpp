#include "transcribed_melody.h"

#include "key_detection.h"
#include "midi_event.h"
#include "midi_sequence.h"
#include "session.h"
#include "song_state.h"
#include "time_scale.h"
#include "transcription_result.h"

#include <algorithm>
#include <cmath>

void TranscribedMelody::write(const TranscriptionResult& result, Session& session,
                              MidiSequence& melody, uint32_t regionStart, SongState& song,
                              uint32_t clipStartTick)
{
    addNotes(result, session.scale(), melody, regionStart, clipStartTick);
    applySuggestedKey(song, DetectedKey{result.key, result.minor != 0});
}

void TranscribedMelody::addNotes(const TranscriptionResult& result, TimeScale& scale,
                                 MidiSequence& melody, uint32_t regionStart, uint32_t clipStartTick)
{
    const double rate = scale.sampleRate();
    for (const TranscribedEvent& e : result.events) {
        const uint64_t frame = uint64_t(regionStart) + uint64_t(std::trunc(e.time * rate));
        const uint32_t tick = scale.frameToTick(uint32_t(std::min<uint64_t>(frame, UINT32_MAX)));
        // Ticks count from the clip's start; an event before it lands on the start.
        const uint32_t at = tick > clipStartTick ? tick - clipStartTick : 0;
        // A note-on or note-off ends the open note of its key, so each note gets its length.
        if (e.isNoteOn())
            melody.addRead(MidiEvent::channel(at, MidiEvent::NoteOn, e.note, e.velocity));
        else
            melody.addReadNoteOff(at, e.note);
    }
    melody.finish();
}
