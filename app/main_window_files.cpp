// The main window's songs and files: new song, the save checks, audio and MIDI files, styles.
#include "main_window.h"

#include "audio_file_flow.h"

#include "error_log.h"
#include "file_dialog.h"
#include "keyboard_focus.h"
#include "message_box.h"
#include "recent_files.h"
#include "settings.h"

#include "clip.h"
#include "clip_command.h"
#include "command_list.h"
#include "engine.h"
#include "session.h"
#include "song_state.h"
#include "style_actions.h"
#include "time_scale.h"
#include "track.h"
#include "tracks_view.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
const QString kSuffix = QStringLiteral(" - Cantova");
// The recording and the melody are what the user works on: rows tall enough to read a
// waveform and the notes in miniature.
constexpr int kSongTrackHeight = 72;

/** Shows the wait cursor for the lifetime of the object. */
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};
} // namespace

QString MainWindow::untitledAudioName() const
{
    return tr("Untitled") + QLatin1Char('.') + m_settings->audioSaveType.extension;
}

void MainWindow::rememberDir(QString* setting, const QString& filePath)
{
    *setting = QFileInfo(filePath).absolutePath();
    m_settings->save();
}

// ---------------------------------------------------------------------------------------------
// New song

bool MainWindow::closeSong()
{
    return audioCheck() && midiCheck();
}

bool MainWindow::newSong()
{
    if (!closeSong())
        return false;
    clearSession();
    createSongTracks();
    ++m_updatingSnap;
    m_snapComboBox->setCurrentIndex(TimeScale::snapIndex(m_session->scale().snapPerBeat()));
    --m_updatingSnap;
    // TODO: point the piano roll at the melody clip when it exists.
    if (startEngines(false))
        locate(0);
    viewRefresh();
    loadStyle(QString());
    // A new song starts a new history: the default style's tracks are part of the song.
    m_session->commands().clear();
    markSongSaved();
    stabilizeForm();
    return true;
}

void MainWindow::clearSession()
{
    stopTransport();
    for (Track* track : m_session->tracks())
        track->detach();
    m_session->clear();
    m_audioTrack = nullptr;
    m_melodyTrack = nullptr;
    const Settings& s = *m_settings;
    TimeScale& scale = m_session->scale();
    scale.setTimeFormat(m_timeFormat);
    scale.setSnapPerBeat(TimeScale::snapValue(s.snapIndex));
    scale.setTimeZoom(uint16_t(s.timeZoom));
    m_session->setTempo(float(s.tempo));
    m_session->setMeter(2, uint16_t(s.beatsPerBar), uint16_t(s.beatDivisor));
    m_session->afterMeterChange();
    if (m_session->songName().isEmpty())
        m_session->setSongName(QStringLiteral("ortmp"));
}

void MainWindow::createSongTracks()
{
    const QColor background = palette().color(QPalette::Highlight);
    const QColor foreground(32, 168, 0);

    auto* audio = new Track(m_session, Track::AudioTrack);
    Track::Properties audioProps = audio->properties();
    audioProps.name = untitledAudioName();
    audioProps.record = true; // the session counts it when the track joins
    audioProps.background = background;
    audioProps.foreground = foreground;
    audio->setProperties(audioProps);
    audio->setHeight(kSongTrackHeight);
    audio->setZoomedHeight(kSongTrackHeight);
    addTrackForGood(audio);
    m_audioTrack = audio;

    auto* melody = new Track(m_session, Track::MidiTrack);
    Track::Properties props = melody->properties();
    props.name = tr("Untitled.mid");
    props.channel = uint16_t(m_session->lastTrackNumber() % 16);
    props.bank = 0;
    props.program = 0;
    props.background = background;
    props.foreground = foreground;
    melody->setProperties(props);
    melody->setHeight(kSongTrackHeight);
    melody->setZoomedHeight(kSongTrackHeight);
    addTrackForGood(melody);
    m_melodyTrack = melody;

    addClipForGood(createMelodyClip(melody), melody, QStringLiteral("new"));
    m_session->setCurrentTrack(melody);
}

// ---------------------------------------------------------------------------------------------
// The save checks

bool MainWindow::audioCheck()
{
    Clip* clip = audioClip();
    if (!clip)
        return true;
    if (clip->isModified()) {
        const auto answer = MessageBox::question(
            this,
            tr("The current audio file has been changed:\n\n\"%1\"\n\nDo you want to save the "
               "changes?")
                .arg(audioTrack()->name()),
            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
        if (answer == QMessageBox::Save) {
            if (!saveAudioFile())
                return false;
        } else if (answer != QMessageBox::Discard) {
            return false;
        }
    }
    closeAudio();
    return true;
}

void MainWindow::closeAudio()
{
    stopTransport();
    if (Clip* clip = audioClip())
        removeClipForGood(clip, tr("Close Audio"));
}

bool MainWindow::midiCheck()
{
    Clip* clip = melodyClip();
    if (!clip)
        return true;
    if (isSongModified()) {
        const auto answer = MessageBox::question(
            this,
            tr("The current Midi file has been changed:\n\n\"%1\"\n\nDo you want to save the "
               "changes?")
                .arg(melodyTrack()->name()),
            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
        if (answer == QMessageBox::Save) {
            // The song is kept when the save was cancelled or failed, so nothing is lost.
            if (!saveSongToItsFile())
                return false;
        } else if (answer != QMessageBox::Discard) {
            return false;
        }
    }
    clearMelody();
    return true;
}

// ---------------------------------------------------------------------------------------------
// New audio, new MIDI, new all

void MainWindow::fileNewAudio()
{
    if (!audioCheck())
        return;
    if (Track* track = audioTrack())
        track->setName(untitledAudioName());
    viewRefresh();
}

void MainWindow::fileNewMidi()
{
    if (!midiCheck())
        return;
    if (Track* track = melodyTrack())
        track->setName(tr("Untitled.mid"));
    viewRefresh();
}

void MainWindow::fileNewAll()
{
    fileNewAudio();
    fileNewMidi();
}

void MainWindow::fileNewChords() {}

void MainWindow::fileNew()
{
    newSong();
}

// ---------------------------------------------------------------------------------------------
// Audio files

void MainWindow::fileOpenAudio()
{
    if (!canLoadAudio()) {
        notAvailableYet(tr("Opening audio files"));
        return;
    }
    const QStringList files = FileDialog::openFiles(this, tr("Open Audio File") + kSuffix,
                                                    m_settings->audioDir, audioFileFilter());
    if (!files.isEmpty())
        openAudioFile(files.first());
}

bool MainWindow::openAudioFile(const QString& path)
{
    if (!canLoadAudio()) {
        notAvailableYet(tr("Opening audio files"));
        return false;
    }
    // The file is read before the song changes: one that cannot be loaded leaves it as it was.
    std::unique_ptr<ClipCommand> load;
    {
        WaitCursor wait;
        load = AudioFileFlow(m_session).makeLoadCommand(audioTrack(), path);
    }
    if (!load) {
        showErrorBox(tr("The file was not loaded:\n\n\"%1\"").arg(path));
        viewRefresh();
        return false;
    }
    if (!audioCheck())
        return false;
    pushForGood(std::move(load));
    if (Clip* clip = audioClip())
        clip->setModified(false);
    rememberDir(&m_settings->audioDir, path);
    m_recentFiles->add(path);
    m_openedAudioPath = QFileInfo(path).absoluteFilePath();
    if (Track* track = audioTrack())
        track->setName(QFileInfo(path).fileName());
    viewRefresh();
    return true;
}

void MainWindow::fileSaveAudio()
{
    saveAudioFile();
}

bool MainWindow::saveAudioFile()
{
    Clip* clip = audioClip();
    Track* track = audioTrack();
    if (!clip || !track || track->name().isEmpty())
        return false;
    const QString suffix = QFileInfo(clip->filePath()).suffix();
    const QString proposed =
        QDir(m_settings->audioDir)
            .filePath(QFileInfo(track->name()).completeBaseName() + QLatin1Char('.') + suffix);
    QString target = FileDialog::saveFile(this, tr("Save Audio File") + kSuffix, proposed,
                                          tr("Audio files (*.%1)").arg(suffix));
    if (target.isEmpty())
        return false;
    if (QFileInfo(target).suffix().compare(suffix, Qt::CaseInsensitive) != 0) {
        target += QLatin1Char('.') + suffix;
        if (QFileInfo::exists(target) &&
            MessageBox::question(
                this, tr("The file already exists:\n\n\"%1\"\n\nDo you want to replace it?")
                          .arg(target)) != QMessageBox::Yes)
            return false;
    }
    bool saved = true;
    const QString source = clip->filePath();
    if (QFileInfo(target).absoluteFilePath() == QFileInfo(source).absoluteFilePath()) {
        clip->setModified(false);
    } else {
        saved = copyReplacing(source, target);
        if (saved)
            clip->setModified(false);
        else
            showErrorBox(
                tr("The file was not copied:\n\n\"%1\"\n\nto \"%2\"\n\n").arg(source, target));
    }
    rememberDir(&m_settings->audioDir, target);
    track->setName(QFileInfo(target).fileName());
    viewRefresh();
    return saved;
}

bool MainWindow::copyReplacing(const QString& source, const QString& target)
{
    // Copy beside the target first, so a failed copy never costs the file that was there.
    const QString partial = target + QStringLiteral(".part");
    QFile::remove(partial);
    if (!QFile::copy(source, partial)) {
        QFile::remove(partial);
        return false;
    }
    if (QFileInfo::exists(target) && !QFile::remove(target)) {
        QFile::remove(partial);
        return false;
    }
    return QFile::rename(partial, target);
}

void MainWindow::activateAudioFile(const QString& path)
{
    startEngines(true);
    if (!AudioFileFlow(m_session).preview(path) && !ErrorLog::isEmpty())
        showErrorBox();
    scheduleRefresh(233);
    viewRefresh();
}

// ---------------------------------------------------------------------------------------------
// MIDI files

void MainWindow::fileOpenMidi()
{
    const QStringList files = FileDialog::openFiles(this, tr("Open Midi File") + kSuffix,
                                                    m_settings->midiDir, tr("Midi files (*.mid)"));
    if (files.isEmpty())
        return;
    if (midiCheck())
        openSong(files.first());
}

void MainWindow::fileSaveMidi()
{
    saveMidiWithDialog();
}

bool MainWindow::saveMidiWithDialog()
{
    const Track* track = melodyTrack();
    QString name = track ? track->name() : tr("Untitled.mid");
    const QString proposed = QDir(m_settings->midiDir).filePath(name);
    QString target = FileDialog::saveFile(this, tr("Save Midi File") + kSuffix, proposed,
                                          tr("Midi files (*.mid)"));
    if (target.isEmpty())
        return false;
    if (QFileInfo(target).suffix().compare(QStringLiteral("mid"), Qt::CaseInsensitive) != 0) {
        target += QStringLiteral(".mid");
        if (QFileInfo::exists(target) &&
            MessageBox::question(
                this, tr("The file already exists:\n\n\"%1\"\n\nDo you want to replace it?")
                          .arg(target)) != QMessageBox::Yes)
            return false;
    }
    return saveSong(target);
}

bool MainWindow::saveSongToItsFile()
{
    if (m_songPath.isEmpty() || !QFileInfo(m_songPath).dir().exists())
        return saveMidiWithDialog();
    return saveSong(m_songPath);
}

void MainWindow::fileSave()
{
    if (melodyHasEvents())
        saveSongToItsFile();
}

QString MainWindow::openFileFilter() const
{
    // Every kind the program opens at once first, so any file can be picked without a switch.
    const QString audio = audioFileFilter();
    const QString audioPatterns = AudioFileFlow::patterns();
    return tr("Songs, recordings and styles (*.mid %1 *.sty)").arg(audioPatterns) +
           QStringLiteral(";;") + tr("Midi files (*.mid)") + QStringLiteral(";;") + audio +
           QStringLiteral(";;") + tr("Style files (*.sty)");
}

void MainWindow::fileOpen()
{
    const QStringList files =
        FileDialog::openFiles(this, tr("Open") + kSuffix, m_settings->midiDir, openFileFilter());
    if (!files.isEmpty())
        openFile(files.first());
}

void MainWindow::openFile(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.compare(QStringLiteral("mid"), Qt::CaseInsensitive) == 0 ||
        suffix.compare(QStringLiteral("midi"), Qt::CaseInsensitive) == 0) {
        if (midiCheck())
            openSong(path);
    } else if (suffix.compare(QStringLiteral("sty"), Qt::CaseInsensitive) == 0) {
        loadStyle(path); // a style double-clicked in the file manager
    } else {
        openAudioFile(path);
    }
    m_keyboardFocus->goHome();
}

// ---------------------------------------------------------------------------------------------
// Styles

void MainWindow::fileOpenStyle()
{
    const QStringList files =
        FileDialog::openFiles(this, tr("Open Style File") + kSuffix, m_settings->styleDir,
                              tr("Style files (*.sty *.STY)"));
    if (!files.isEmpty())
        loadStyle(files.first());
}

void MainWindow::loadStyle(const QString& path)
{
    // An empty path is the built-in piano style; the flow keeps song and style meters in step.
    if (openStyleFlow(this, *m_session, path, melodyMidiClip())) {
        rememberDir(&m_settings->styleDir, path);
        m_recentFiles->add(path);
    }
    m_stylePath = SongState::of(m_session)->stylePath;
    viewRefresh();
}
