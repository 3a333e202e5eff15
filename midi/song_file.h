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
class MidiImport;

/**
 * SongFile: opens and saves the song of the session as a MIDI file.
 *
 * A song file is format 1: the first track carries the tempo map and the song structure (through
 * the ConductorHook the song-structure code supplies), the second the melody, then the other
 * MIDI tracks. Opening reads the melody into the melody clip and the tempo map into the session;
 * saving exports the session with the melody first. A MIDI file the program did not write
 * (format 0, 1 or 2, without the song marker) is imported instead: the host chooses which of
 * its tracks and channels becomes the melody (MidiImport), and the file's text and marker
 * events do not become chords or sections. Failures go to the error log with the texts
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

    /**
     * False when the file could not be read (the reason in the error log) or when the host
     * left the choice of the melody track (wasCancelled()).
     */
    bool openSong(const QString& path);
    /** The last openSong() ended at the host's choice of the melody track, without loading. */
    bool wasCancelled() const { return m_cancelled; }
    bool saveSong(const QString& path);

private:
    bool readSong(MidiFile& file, QString& error, QString& stylePath);
    bool importMelody(MidiFile& file, QString& error);
    void readImportedKey(const MidiImport& import);
    bool loadMelody(MidiFile& file, const MidiImport* import, int candidate);
    void fitMelodyClip();
    QString findStyle(const QString& stylePath);

    Session* m_session;
    Track* m_melodyTrack;
    MidiClip* m_melodyClip;
    SongHost* m_host;
    ConductorHook* m_songStructure;
    QList<QByteArray> m_setupMessages;
    bool m_cancelled = false;
};
