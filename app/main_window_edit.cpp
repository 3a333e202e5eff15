// The main window's edits: undo and redo, the On/Off switches, tempo changes, the options, and
// the changes made for good (executed and dropped from the undo list).
#include "main_window.h"

#include "audio_file_flow.h"

#include "melody_track_dialog.h"
#include "message_box.h"
#include "options_dialog.h"
#include "recent_files.h"
#include "settings.h"

#include "clip_command.h"
#include "command_list.h"
#include "error_log.h"
#include "midi_clip.h"
#include "session_command.h"
#include "song_file.h"
#include "song_state.h"
#include "time_scale_command.h"
#include "track_command.h"
#include "track_state_command.h"

#include "clip.h"
#include "session.h"
#include "time_scale.h"
#include "track.h"
#include "tracks_view.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

// ---------------------------------------------------------------------------------------------
// Changes made for good: they run through the same commands as every edit, but are dropped from
// the undo list at once, so loading a file or starting a song is never undone.

bool MainWindow::pushForGood(std::unique_ptr<Command> command)
{
    CommandList& list = m_session->commands();
    const bool applied = list.push(std::move(command));
    list.dropCurrent();
    return applied;
}

void MainWindow::addTrackForGood(Track* track)
{
    pushForGood(std::make_unique<AddTrackCommand>(m_session, std::unique_ptr<Track>(track)));
}

void MainWindow::addClipForGood(Clip* clip, Track* track, const QString& name)
{
    auto command = std::make_unique<ClipCommand>(m_session, name);
    command->addClip(std::unique_ptr<Clip>(clip), track);
    pushForGood(std::move(command));
    m_session->updateEnd(0);
}

void MainWindow::removeClipForGood(Clip* clip, const QString& name)
{
    auto command = std::make_unique<ClipCommand>(m_session, name);
    command->removeClip(clip);
    pushForGood(std::move(command));
    m_session->updateEnd(0);
}

void MainWindow::moveAudioClipForGood(Clip* clip, int64_t frames)
{
    if (frames == 0)
        return;
    int64_t start = int64_t(clip->start()) + frames;
    uint32_t offset = clip->offset();
    uint32_t length = clip->length();
    if (start < 0) {
        // A clip cannot start before the song: it loses the part that would lie before 0.
        const auto cut = uint32_t(std::min<int64_t>(-start, length));
        offset += cut;
        length -= cut;
        start = 0;
    }
    auto command = std::make_unique<ClipCommand>(m_session, QStringLiteral("clip resize"));
    command->resize(clip, uint32_t(start), offset, length);
    pushForGood(std::move(command));
    m_session->updateEnd(0);
}

Clip* MainWindow::createMelodyClip(Track* track)
{
    auto* clip = new MidiClip(m_session);
    clip->setStart(0);
    clip->setFormat(m_settings->midiFileFormat);
    clip->setTrackNumber(1);
    MidiSequence& sequence = clip->sequence();
    sequence.setName(clip->name());
    sequence.setChannel(track->properties().channel);
    sequence.setBank(track->properties().bank);
    sequence.setProgram(track->properties().program);
    sequence.setResolution(m_session->scale().ticksPerBeat());
    return clip;
}

MidiClip* MainWindow::melodyMidiClip() const
{
    return dynamic_cast<MidiClip*>(melodyClip());
}

bool MainWindow::melodyHasEvents() const
{
    const MidiClip* clip = melodyMidiClip();
    return clip && !clip->sequence().isEmpty();
}

void MainWindow::markSongSaved()
{
    const Command* current = m_session->commands().current();
    m_savedCommand = current ? current->serial() : 0;
}

bool MainWindow::isSongModified() const
{
    const Clip* clip = melodyClip();
    if (!clip || !melodyHasEvents())
        return false;
    const Command* current = m_session->commands().current();
    return clip->isModified() || (current ? current->serial() : 0) != m_savedCommand;
}

void MainWindow::clearMelody()
{
    stopTransport();
    if (MidiClip* clip = melodyMidiClip()) {
        clip->sequence().clearEvents(); // bank and program stay with the melody
        clip->setModified(false);
    }
    SongState::of(m_session)->chordsChanged = false;
    // The steps of the old melody cannot be undone into whatever comes next.
    m_session->commands().clear();
    markSongSaved();
    m_songPath.clear();
    // TODO: tell the piano roll, when it exists.
    if (m_tracksView)
        m_tracksView->redraw();
}

QString MainWindow::audioFileFilter() const
{
    return AudioFileFlow::filter();
}

bool MainWindow::canLoadAudio() const
{
    return true;
}

// ---------------------------------------------------------------------------------------------
// Song files

bool MainWindow::openSong(const QString& path)
{
    bool opened = false;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        SongFile file(m_session, melodyTrack(), melodyMidiClip(), &m_songHost,
                      SongState::of(m_session));
        opened = file.openSong(path);
        QApplication::restoreOverrideCursor();
    }
    if (opened) {
        // The sections placed around an opened melody are found the same way on every opening:
        // they are not a change of the user's.
        if (MidiClip* clip = melodyMidiClip())
            clip->setModified(false);
        // An opened song starts a new history: its style is part of the song, not an edit.
        m_session->commands().clear();
        markSongSaved();
        m_songPath = QFileInfo(path).absoluteFilePath();
        m_recentFiles->add(path);
    }
    if (!ErrorLog::isEmpty())
        showErrorBox();
    viewRefresh();
    return opened;
}

bool MainWindow::saveSong(const QString& path)
{
    SongFile file(m_session, melodyTrack(), melodyMidiClip(), &m_songHost,
                  SongState::of(m_session));
    const bool saved = file.saveSong(path);
    if (saved) {
        markSongSaved();
        m_songPath = QFileInfo(path).absoluteFilePath();
        m_recentFiles->add(path);
        stabilizeForm();
    }
    if (!ErrorLog::isEmpty())
        showErrorBox();
    return saved;
}

MainWindow::WindowSongHost::WindowSongHost(MainWindow* form) : m_form(form) {}

void MainWindow::WindowSongHost::warning(const QString& text)
{
    // The wait cursor of the file operation would hide that the box waits for the user.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    MessageBox::warning(m_form, text);
    QApplication::restoreOverrideCursor();
}

void MainWindow::WindowSongHost::setMidiFolder(const QString& folder)
{
    m_form->m_settings->midiDir = folder;
    m_form->m_settings->save();
}

QString MainWindow::WindowSongHost::styleFolder() const
{
    return m_form->m_settings->styleDir;
}

void MainWindow::WindowSongHost::loadStyle(const QString& path)
{
    m_form->loadStyle(path);
}

void MainWindow::WindowSongHost::refresh()
{
    m_form->stabilizeForm();
}

int MainWindow::WindowSongHost::chooseMelodyTrack(
    const std::vector<MidiImport::Candidate>& candidates, int preselected)
{
    // One track is no choice; more are listed with the likeliest melody preselected.
    if (candidates.size() < 2)
        return preselected;
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int chosen = MelodyTrackDialog::choose(m_form, candidates, preselected);
    QApplication::restoreOverrideCursor();
    return chosen;
}

// ---------------------------------------------------------------------------------------------
// Undo and redo

void MainWindow::editUndo()
{
    stopTransport();
    m_session->commands().revert();
    m_stylePath = SongState::of(m_session)->stylePath;
}

void MainWindow::editRedo()
{
    stopTransport();
    m_session->commands().redo();
    m_stylePath = SongState::of(m_session)->stylePath;
}

void MainWindow::undoListChanged(bool reportsChange)
{
    if (reportsChange)
        viewRefresh();
    else
        stabilizeForm();
}

void MainWindow::updateUndoActions()
{
    const CommandList& list = m_session->commands();
    QAction* undo = findChild<QAction*>(QStringLiteral("editUndoAction"));
    QAction* redo = findChild<QAction*>(QStringLiteral("editRedoAction"));
    CommandList::labelAction(undo, list.current());
    CommandList::labelAction(redo, list.next());
    undo->setEnabled(list.current() != nullptr);
    redo->setEnabled(list.next() != nullptr);
}

// ---------------------------------------------------------------------------------------------
// On/Off switches

void MainWindow::setMuteForGood(Track* track, bool on)
{
    if (track && track->isMuted() != on)
        pushForGood(std::make_unique<TrackStateCommand>(m_session, std::vector<Track*>{track},
                                                        TrackStateCommand::Mute, on));
}

void MainWindow::pushTrackFlag(Track* track, int state, bool on)
{
    // The tracks view's mute and solo buttons are ordinary, undoable edits.
    m_session->push(
        std::make_unique<TrackStateCommand>(m_session, std::vector<Track*>{track}, state, on));
}

void MainWindow::toggleAudio()
{
    const bool on = findChild<QAction*>(QStringLiteral("audioOnOffAction"))->isChecked();
    setMuteForGood(audioTrack(), !on);
    viewRefresh();
}

void MainWindow::toggleMelody()
{
    const bool on = findChild<QAction*>(QStringLiteral("midiOnOffAction"))->isChecked();
    setMuteForGood(melodyTrack(), !on);
    viewRefresh();
}

// ---------------------------------------------------------------------------------------------
// Tempo change

void MainWindow::transportTempoChanged(float tempo, unsigned short beatsPerBar,
                                       unsigned short beatUnit)
{
    TimeScale& scale = m_session->scale();
    const TempoNode* node = scale.nodeAtFrame(m_session->playHead());
    if (!node)
        return;
    // The tempo box edits the tempo section the play position is in.
    if (node != scale.firstNode()) {
        m_session->push(std::make_unique<UpdateTempoNodeCommand>(
            m_session, node->frame, tempo, uint16_t(2), beatsPerBar, beatUnit));
    } else {
        auto command =
            std::make_unique<TempoCommand>(m_session, tempo, uint16_t(2), beatsPerBar, beatUnit);
        if (command->isEmpty())
            return;
        m_session->push(std::move(command));
    }
    viewRefresh();
}

// ---------------------------------------------------------------------------------------------
// Options

void MainWindow::viewOptions()
{
    const auto [playback, recording] = recommendedLatencies();
    const double oldRecording = m_settings->audioRecordLatency;
    OptionsDialog form(m_settings, playback, recording, MidiOutputs::available(), this);
    if (form.exec() != QDialog::Accepted)
        return;
    applyLatencies();
    m_session->setStretchAudio(m_settings->stretchAudio);
    // The recording was placed by the old recording latency; place it by the new one.
    if (Clip* clip = audioClip()) {
        const double shift =
            (oldRecording - m_settings->audioRecordLatency) * m_session->scale().sampleRate();
        moveAudioClipForGood(clip, int64_t(std::llround(shift)));
    }
    viewRefresh();
}
