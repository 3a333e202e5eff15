#pragma once

#include <functional>

class QWidget;
class Session;
class MidiClip;

/** What Make Song knows of the recording the melody may have to come from. */
struct MakeSongSource
{
    bool hasAudioTrack = false;
    /** The recording changed since it was last transcribed (its clip needs transcription). */
    bool audioChanged = false;
    /** Audio to MIDI: transcribes the recording into the melody and returns the melody clip,
     *  or none when nothing was transcribed (it has told the user why). */
    std::function<MidiClip*()> audioToMidi;
};

/** True when the melody clip exists and holds at least one note. */
bool hasMelodyNotes(const MidiClip* melody);

/**
 * Make Song: transcribes the recording first when the melody is missing or out of date, then
 * runs Make Chords, which ends with the sections and the arrangement. Without a recording and
 * without a melody it warns and stops. True when the song was made. GUI thread only.
 */
bool makeSong(QWidget* parent, Session& session, MidiClip* melody, const MakeSongSource& source);
