#pragma once

class vx18;
class vx20;
class vx22Clip;

/**
 * SongTracks: the tracks every song has, in their order: the audio track of the recording, then
 * the melody track with its one clip, whose sequence runs at the session's ticks per quarter.
 * The commands that work without the window lay out their sessions with it. GUI (or main) thread.
 */
struct SongTracks
{
    vx18* audio = nullptr;
    vx18* melodyTrack = nullptr;
    vx22Clip* melody = nullptr;

    /** Adds the tracks to a session (directly, not through the undo list). */
    static SongTracks addTo(vx20& session);
};
