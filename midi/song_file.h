#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class vx18;
class vx20;
class vx22Clip;
class vx22ConductorHook;
class vx22File;
class vx22SongHost;

/**
 * vx22SongFile: opens and saves the song of the session as a MIDI file.
 *
 * A song file is format 1: the first track carries the tempo map and the song structure (through
 * the vx22ConductorHook the song-structure code supplies), the second the melody, then the other
 * MIDI tracks. Opening reads the melody into the melody clip and the tempo map into the session;
 * saving exports the session with the melody first. Failures go to the error log with the texts
 * the error box shows; warnings and the follow-up work (settings, style, window refresh) go
 * through the vx22SongHost. GUI thread only.
 */
class vx22SongFile
{
public:
    /** host and songStructure may be none (warnings then go to the error log). */
    vx22SongFile(vx20* session, vx18* melodyTrack, vx22Clip* melodyClip,
                 vx22SongHost* host = nullptr, vx22ConductorHook* songStructure = nullptr);

    /** The output bus's setup messages, saved at the start of the first track. */
    void setSetupMessages(const QList<QByteArray>& messages) { m_setupMessages = messages; }

    bool openSong(const QString& path);
    bool saveSong(const QString& path);

private:
    bool readSong(vx22File& file, QString& error, QString& stylePath);
    bool loadMelody(vx22File& file, const QString& path);
    void fitMelodyClip();
    QString findStyle(const QString& stylePath);

    vx20* m_session;
    vx18* m_melodyTrack;
    vx22Clip* m_melodyClip;
    vx22SongHost* m_host;
    vx22ConductorHook* m_songStructure;
    QList<QByteArray> m_setupMessages;
};
