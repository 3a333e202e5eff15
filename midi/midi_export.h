#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

class Track;
class Session;
class ConductorHook;
class Bus;

/** What exportMidi writes besides the tracks. */
struct MidiExportOptions
{
    /** 1: a conductor track and one track per MIDI track; 0: one track, a channel per track. */
    int format = 1;
    /** The output bus's initialization system exclusive messages, put first at time 0. */
    QList<QByteArray> setupMessages;
    /** Set while a song is saved: its events open the first track. */
    ConductorHook* songStructure = nullptr;
    /** Exported before the other tracks (the melody, which a song keeps as track 1). */
    const Track* firstTrack = nullptr;
};

/**
 * Exports the MIDI tracks of the session that play through bus into one MIDI file.
 *
 * The range [from, to) in frames is exported, times relative to from; when from >= to the range
 * runs from from to the end of the song. bus none: the MIDI engine's first bus, or every MIDI
 * track when the engine has no bus. Note velocities follow the clip's gain envelope and notes
 * are cut at the end of the range. The file on disk is replaced only when everything was
 * written. Refused (false) while the MIDI engine plays. Failures add a message to the error log.
 * GUI thread only; processes user-interface events between tracks.
 */
bool exportMidi(Session* session, const QString& path, uint32_t from, uint32_t to,
                Bus* bus = nullptr, const MidiExportOptions& options = {});
