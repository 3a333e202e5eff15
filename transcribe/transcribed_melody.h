#pragma once

#include <cstdint>

class SongState;
class Session;
class MidiSequence;
class TimeScale;
struct TranscriptionResult;

/**
 * TranscribedMelody: puts the notes of a transcription into the song's melody, as Audio to MIDI
 * does for the window and the transcribe and make-song commands for the command line.
 *
 * Each event lands at the timeline frame region start + its time x the session's rate
 * (truncated, in 64 bits), then on the tick the session's tempo map gives that frame: the notes
 * keep the audio's own timing, whatever the tempo, and are not quantised. The estimated key
 * becomes the song's suggested key (and the key in effect unless the user fixed one). GUI (or
 * main) thread.
 */
class TranscribedMelody
{
public:
    /**
     * Adds the notes to melody (which should be empty) and suggests the key to song. The
     * melody's ticks count from the tick of its clip's start, clipStartTick.
     */
    static void write(const TranscriptionResult& result, Session& session, MidiSequence& melody,
                      uint32_t regionStart, SongState& song, uint32_t clipStartTick = 0);

    /** The notes alone, placed through `scale` (the command line's own file has no session). */
    static void addNotes(const TranscriptionResult& result, TimeScale& scale, MidiSequence& melody,
                         uint32_t regionStart, uint32_t clipStartTick = 0);
};
