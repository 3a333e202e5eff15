#pragma once

#include <QString>

class MidiSequence;

/**
 * ConductorHook: how the song structure travels in the first track of a saved song.
 *
 * The song-structure code implements it and hands it to the song file operations. While a song
 * is saved, the MIDI writer asks it for the events that open the first track (the song marker
 * text and the key signature); after a song's first track was read, the reader hands it that
 * track's events to examine. GUI thread only.
 */
class ConductorHook
{
public:
    virtual ~ConductorHook() = default;

    /**
     * Adds the meta events that open the first track of a saved song to events. They are
     * written in list order at delta time 0, before the tempo and meter events.
     */
    virtual void writeConductor(MidiSequence& events) = 0;

    /**
     * Examines the first track of a song being opened: resets the song flags and key, reads
     * them from its events. Returns true when the track carries the program's song marker, with
     * the style path it names in stylePath.
     */
    virtual bool readConductor(const MidiSequence& conductor, QString& stylePath) = 0;

    /** The song on disk now matches the song structure (after a save or a load). */
    virtual void markUnchanged() {}
};
