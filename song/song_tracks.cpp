#include "song_tracks.h"

#include "midi_clip.h"
#include "session.h"
#include "time_scale.h"
#include "track.h"

SongTracks SongTracks::addTo(Session& session)
{
    SongTracks tracks;
    tracks.audio = new Track(&session, Track::AudioTrack);
    session.addTrack(tracks.audio);
    tracks.melodyTrack = new Track(&session, Track::MidiTrack);
    session.addTrack(tracks.melodyTrack);
    tracks.melody = new MidiClip(&session);
    tracks.melody->sequence().setResolution(session.scale().ticksPerBeat());
    tracks.melodyTrack->addClip(tracks.melody);
    return tracks;
}
