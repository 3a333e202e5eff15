#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class Track;
class Session;
class MidiClip;
class ConductorHook;
class MidiFile;
class SongHost;

/**
 * SongFile: opens and saves the song of the session as a MIDI file.
 *
 * A song file is format 1: the first track carries the tempo map and the song structure (through
 * the ConductorHook the song-structure code supplies), the second the melody, then the other
 * MIDI tracks. Opening reads the melody into the melody clip and the tempo map into the session;
 * saving exports the session with the melody first. Failures go to the error log with the texts
 * the error box shows; warnings and the follow-up work (settings, style, window refresh) go
 * through the SongHost. GUI thread only.
 */
class SongFile
{
public:
    /** host and songStructure may be none (warnings then go to the error log). */
    SongFile(Session* session, Track* melodyTrack, MidiClip* melodyClip, SongHost* host = nullptr,
             ConductorHook* songStructure = nullptr);

    /** The output bus's setup messages, saved at the start of the first track. */
    void setSetupMessages(const QList<QByteArray>& messages) { m_setupMessages = messages; }

    bool openSong(const QString& path);
    bool saveSong(const QString& path);

private:
    bool readSong(MidiFile& file, QString& error, QString& stylePath);
    bool loadMelody(MidiFile& file, const QString& path);
    void fitMelodyClip();
    QString findStyle(const QString& stylePath);

    Session* m_session;
    Track* m_melodyTrack;
    MidiClip* m_melodyClip;
    SongHost* m_host;
    ConductorHook* m_songStructure;
    QList<QByteArray> m_setupMessages;
};
