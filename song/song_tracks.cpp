#include "song_tracks.h"

#include "midi_clip.h"
#include "session.h"
#include "time_scale.h"
#include "track.h"

SongTracks SongTracks::addTo(vx20& session)
{
    SongTracks tracks;
    tracks.audio = new vx18(&session, vx18::AudioTrack);
    session.addTrack(tracks.audio);
    tracks.melodyTrack = new vx18(&session, vx18::MidiTrack);
    session.addTrack(tracks.melodyTrack);
    tracks.melody = new vx22Clip(&session);
    tracks.melody->sequence().setResolution(session.scale().ticksPerBeat());
    tracks.melodyTrack->addClip(tracks.melody);
    return tracks;
}
