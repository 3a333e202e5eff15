#pragma once

class Track;
class Session;
class MidiClip;

/**
 * SongTracks: the tracks every song has, in their order: the audio track of the recording, then
 * the melody track with its one clip, whose sequence runs at the session's ticks per quarter.
 * The commands that work without the window lay out their sessions with it. GUI (or main) thread.
 */
struct SongTracks
{
    Track* audio = nullptr;
    Track* melodyTrack = nullptr;
    MidiClip* melody = nullptr;

    /** Adds the tracks to a session (directly, not through the undo list). */
    static SongTracks addTo(Session& session);
};
