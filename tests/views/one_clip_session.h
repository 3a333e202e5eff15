#pragma once

// The session the view tests edit: one MIDI track with one clip of eight seconds.
#include "midi_clip.h"
#include "session.h"
#include "track.h"

struct OneClipSession
{
    Session session;
    Track* track = nullptr;
    MidiClip* clip = nullptr;

    OneClipSession()
    {
        track = new Track(&session, Track::MidiTrack);
        session.addTrack(track);
        clip = new MidiClip(&session);
        track->addClip(clip);
        clip->setLength(44100 * 8);
    }
    MidiSequence& seq() { return clip->sequence(); }
};
