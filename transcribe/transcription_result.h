#pragma once

#include <cstdint>
#include <vector>

/** One note-on or note-off found by the transcription. A plain record; any thread. */
struct TranscribedEvent
{
    static constexpr uint8_t kNoteOn = 0x90;
    static constexpr uint8_t kNoteOff = 0x80;

    double time = 0.0;     ///< seconds from the first analysed sample, never negative
    double duration = 0.0; ///< seconds from the note-on to its note-off (set when the run ends)
    uint8_t status = kNoteOn;
    uint8_t note = 0;
    uint8_t velocity = 0;   ///< 0 on note-offs; at most 126
    float frequency = 0.0f; ///< Hz: the note's frequency, the same on its note-on and note-off

    bool isNoteOn() const { return status == kNoteOn; }
};

/**
 * What a transcription run found: the notes as events in the order they were emitted (not
 * sorted by time: a note-on comes 0.5 s after its note start, a note-off 0.5 s after its
 * end), the tuning of the voice and the key of the melody. Valid from the engine's finish()
 * until its next configure(). A plain record; any thread.
 */
struct TranscriptionResult
{
    int32_t noteCount = 0;
    double meanDuration = 0.0; ///< seconds
    std::vector<TranscribedEvent> events;
    float tuningOffset = 0.0f; ///< semitones added to every pitch before rounding
    int32_t key = 0;           ///< sharps (positive) or flats (negative) of the key, −5..6
    uint8_t minor = 0;         ///< 1 for a minor key, which carries its relative major's key

    /** Forgets the previous run's notes, keeping the event storage. */
    void clear()
    {
        noteCount = 0;
        meanDuration = 0.0;
        events.clear();
        tuningOffset = 0.0f;
        key = 0;
        minor = 0;
    }
};
