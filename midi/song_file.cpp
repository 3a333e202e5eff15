#include "song_file.h"

#include "conductor_hook.h"
#include "error_log.h"
#include "midi_clip.h"
#include "midi_export.h"
#include "midi_file.h"
#include "session.h"
#include "song_host.h"
#include "track.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("SongFile", text);
}

SongHost& defaultHost()
{
    static SongHost host;
    return host;
}

} // namespace

SongFile::SongFile(Session* session, Track* melodyTrack, MidiClip* melodyClip, SongHost* host,
                   ConductorHook* songStructure)
    : m_session(session), m_melodyTrack(melodyTrack), m_melodyClip(melodyClip),
      m_host(host ? host : &defaultHost()), m_songStructure(songStructure)
{
}

bool SongFile::openSong(const QString& path)
{
    QString error = tr("The file was not loaded:\n\n\"%1\"").arg(path);
    QString stylePath;
    if (m_session && m_melodyClip) {
        MidiFile file;
        if (file.open(path, MidiFile::Read) && readSong(file, error, stylePath))
            error.clear();
        file.close();
    }
    if (!error.isEmpty()) {
        ErrorLog::add(error);
    } else {
        m_melodyClip->setModified(false);
        if (m_songStructure)
            m_songStructure->markUnchanged();
        m_host->setMidiFolder(QFileInfo(path).absolutePath());
    }
    if (m_melodyTrack)
        m_melodyTrack->setName(QFileInfo(path).fileName());
    m_host->loadStyle(findStyle(stylePath));
    return error.isEmpty();
}

// The song's tracks after the file was opened: false with the reason appended to error.
bool SongFile::readSong(MidiFile& file, QString& error, QString& stylePath)
{
    // Only format 1 keeps the tempo track and the melody apart; nothing else is read.
    if (file.format() != 1) {
        error += tr("\n\nThe MIDI format %1 is not supported.").arg(file.format());
        return false;
    }
    MidiSequence conductor(QString(), 0, m_session->scale().ticksPerBeat());
    if (!file.readTrack(conductor, 0)) {
        error += tr("\n\nThe tempo track was not loaded.");
        return false;
    }
    const bool marked = m_songStructure && m_songStructure->readConductor(conductor, stylePath);
    conductor.clear();
    if (!marked)
        m_host->warning(tr("This MIDI file is not created with Cantova.\n"
                           "The first track will be loaded as a melody track."));
    if (!loadMelody(file, file.path())) {
        error += tr("\n\nThe track %1 was not loaded.").arg(1);
        return false;
    }
    return true;
}

bool SongFile::loadMelody(MidiFile& file, const QString& path)
{
    MidiSequence& melody = m_melodyClip->sequence();
    m_session->lockEdit();
    // The whole track is read, whatever window an earlier file left in the sequence.
    melody.clearEvents();
    melody.setBegin(0);
    melody.setLength(0);
    melody.setResolution(m_session->scale().ticksPerBeat());
    const bool ok = file.readTrack(melody, 1);
    if (ok) {
        file.tempoMap()->toScale(m_session->scale(), 0);
        m_session->afterTempoChange();
        m_melodyClip->setFilePath(path);
        m_melodyClip->setTrackNumber(1);
        m_melodyClip->setFormat(1);
        fitMelodyClip();
    } else {
        melody.clearEvents(); // no half-read melody under an error message
    }
    m_session->unlockEdit();
    m_melodyClip->rewind(false);
    return ok;
}

// The clip shows and plays the melody that was read, however long the previous one was.
void SongFile::fitMelodyClip()
{
    const MidiSequence& melody = m_melodyClip->sequence();
    TimeScale& scale = m_session->scale();
    const uint32_t startTick = scale.frameToTick(m_melodyClip->start());
    if (melody.length() > 0)
        m_melodyClip->setLength(scale.tickToFrame(startTick + melody.length()) -
                                m_melodyClip->start());
    if (Track* track = m_melodyClip->track())
        m_session->trackChanged(track);
    m_session->updateEnd(0);
}

QString SongFile::findStyle(const QString& stylePath)
{
    if (stylePath.isEmpty() || QFileInfo::exists(stylePath))
        return stylePath;
    const QString folder = m_host->styleFolder();
    if (!folder.isEmpty()) {
        const QString candidate = QDir(folder).filePath(QFileInfo(stylePath).fileName());
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    m_host->warning(tr("The style file does not exist:\n\n\"%1\"").arg(stylePath));
    return QString();
}

bool SongFile::saveSong(const QString& path)
{
    MidiExportOptions options;
    options.format = 1; // a song is always read back from format 1
    options.songStructure = m_songStructure;
    options.firstTrack = m_melodyTrack;
    options.setupMessages = m_setupMessages;
    const bool ok = m_session && exportMidi(m_session, path, 0, 0, nullptr, options);
    if (ok) {
        if (m_melodyClip) {
            m_melodyClip->setModified(false);
            // The saved file now holds the melody (track 1): reloading the clip reads it.
            m_melodyClip->setFilePath(QFileInfo(path).absoluteFilePath());
            m_melodyClip->setTrackNumber(1);
            m_melodyClip->setFormat(1);
        }
        if (m_songStructure)
            m_songStructure->markUnchanged();
    } else {
        ErrorLog::add(tr("The file was not saved:\n\n\"%1\"").arg(path));
    }
    m_host->setMidiFolder(QFileInfo(path).absolutePath());
    if (m_melodyTrack)
        m_melodyTrack->setName(QFileInfo(path).fileName());
    m_host->refresh();
    return ok;
}
