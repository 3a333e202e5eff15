#include "song_file.h"

#include "conductor_hook.h"
#include "error_log.h"
#include "midi_clip.h"
#include "midi_export.h"
#include "midi_file.h"
#include "midi_import.h"
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
    m_cancelled = false;
    if (m_session && m_melodyClip) {
        MidiFile file;
        if (file.open(path, MidiFile::Read) && readSong(file, error, stylePath))
            error.clear();
        file.close();
    }
    // Leaving the choice of the melody track loads nothing, renames nothing, reports nothing.
    if (m_cancelled)
        return false;
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
    // A song of this program is format 1 with the song marker in its tempo track.
    bool marked = false;
    if (file.format() == 1) {
        MidiSequence conductor(QString(), 0, m_session->scale().ticksPerBeat());
        if (!file.readTrack(conductor, 0)) {
            error += tr("\n\nThe tempo track was not loaded.");
            return false;
        }
        marked = m_songStructure && m_songStructure->readConductor(conductor, stylePath);
    }
    if (!marked || file.tracks().size() < 2)
        return importMelody(file, error);
    if (!loadMelody(file, nullptr, 0)) {
        error += tr("\n\nThe track %1 was not loaded.").arg(1);
        return false;
    }
    return true;
}

// A file from elsewhere: its melody is one track and channel of it, chosen by the host.
bool SongFile::importMelody(MidiFile& file, QString& error)
{
    if (file.format() == 2)
        qInfo("SongFile: %s is a format 2 MIDI file: only its first pattern is read",
              qUtf8Printable(file.path()));
    MidiImport import;
    if (!import.scan(file)) {
        error += tr("\n\nThe track %1 was not loaded.").arg(import.failedTrack());
        return false;
    }
    const auto& candidates = import.candidates();
    if (candidates.empty()) {
        error += tr("\n\nThe file has no notes to take as a melody.");
        return false;
    }
    if (import.preselected() < 0) {
        error += tr("\n\nThe file holds only drums (channel 10): there is no melody to take.");
        return false;
    }
    if (candidates.size() == 1)
        m_host->warning(tr("This MIDI file is not created with Cantova.\n"
                           "The first track will be loaded as a melody track."));
    const int chosen = m_host->chooseMelodyTrack(candidates, import.preselected());
    if (chosen < 0 || size_t(chosen) >= candidates.size()) {
        m_cancelled = true;
        return false;
    }
    readImportedKey(import);
    if (!loadMelody(file, &import, chosen)) {
        error += tr("\n\nThe track %1 was not loaded.").arg(candidates[size_t(chosen)].track);
        return false;
    }
    return true;
}

// The song's key is the file's first key signature, wherever the file keeps it; the song
// flags start cleared, as for any song without the marker.
void SongFile::readImportedKey(const MidiImport& import)
{
    if (!m_songStructure)
        return;
    MidiSequence conductor(QString(), 0, m_session->scale().ticksPerBeat());
    if (!import.keySignature().isEmpty())
        conductor.insert(MidiEvent::meta(0, MidiEvent::MetaKeySignature, import.keySignature()));
    QString noStyle;
    m_songStructure->readConductor(conductor, noStyle);
}

bool SongFile::loadMelody(MidiFile& file, const MidiImport* import, int candidate)
{
    // The melody is read into a sequence of its own while the engines play on; the edit lock
    // only covers putting it in place. It starts with the clip's name, channel, bank and
    // program, which the file's track may change, and the whole track is read, whatever
    // window an earlier file left in the clip's sequence.
    MidiSequence& melody = m_melodyClip->sequence();
    MidiSequence read(melody.name(), melody.channel(), m_session->scale().ticksPerBeat());
    read.setBank(melody.bank());
    read.setProgram(melody.program());
    const bool ok = import ? import->readMelody(file, candidate, read) : file.readTrack(read, 1);
    if (!ok)
        read.clearEvents(); // no half-read melody under an error message
    m_session->lockEdit();
    melody.swap(read);
    if (ok) {
        file.tempoMap()->toScale(m_session->scale(), 0);
        m_session->afterTempoChange();
        // An imported melody exists only in memory: the file holds it differently (other
        // channels, texts), so the clip must never release its events and read them back.
        m_melodyClip->setFilePath(import ? QString() : file.path());
        m_melodyClip->setTrackNumber(1);
        m_melodyClip->setFormat(1);
        fitMelodyClip();
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
