// The main window's edits: undo and redo, the On/Off switches, tempo changes, the options, and
// the changes made for good (executed and dropped from the undo list).
#include "main_form.h"

#include "message_box.h"
#include "options_form.h"
#include "settings.h"

#include "clip_command.h"
#include "command_list.h"
#include "error_log.h"
#include "midi_clip.h"
#include "scale_command.h"
#include "session_command.h"
#include "song_file.h"
#include "song_state.h"
#include "track_command.h"
#include "track_state_command.h"

#include "clip.h"
#include "session.h"
#include "time_scale.h"
#include "track.h"
#include "tracks_view.h"

#include <QAction>
#include <QApplication>
#include <algorithm>
#include <cmath>

// ---------------------------------------------------------------------------------------------
// Changes made for good: they run through the same commands as every edit, but are dropped from
// the undo list at once, so loading a file or starting a song is never undone.

bool vx99MainForm::pushForGood(std::unique_ptr<vx30> command)
{
    vx30List& list = m_session->commands();
    const bool applied = list.push(std::move(command));
    list.dropCurrent();
    return applied;
}

void vx99MainForm::addTrackForGood(vx18* track)
{
    pushForGood(std::make_unique<vx99AddTrackCommand>(m_session, std::unique_ptr<vx18>(track)));
}

void vx99MainForm::addClipForGood(vx21* clip, vx18* track, const QString& name)
{
    auto command = std::make_unique<vx21Command>(m_session, name);
    command->addClip(std::unique_ptr<vx21>(clip), track);
    pushForGood(std::move(command));
    m_session->updateEnd(0);
}

void vx99MainForm::removeClipForGood(vx21* clip, const QString& name)
{
    auto command = std::make_unique<vx21Command>(m_session, name);
    command->removeClip(clip);
    pushForGood(std::move(command));
    m_session->updateEnd(0);
}

void vx99MainForm::moveAudioClipForGood(vx21* clip, int64_t frames)
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
    auto command = std::make_unique<vx21Command>(m_session, QStringLiteral("clip resize"));
    command->resize(clip, uint32_t(start), offset, length);
    pushForGood(std::move(command));
    m_session->updateEnd(0);
}

vx21* vx99MainForm::createMelodyClip(vx18* track)
{
    auto* clip = new vx22Clip(m_session);
    clip->setStart(0);
    clip->setFormat(m_settings->midiFileFormat);
    clip->setTrackNumber(1);
    vx22Sequence& sequence = clip->sequence();
    sequence.setName(clip->name());
    sequence.setChannel(track->properties().channel);
    sequence.setBank(track->properties().bank);
    sequence.setProgram(track->properties().program);
    sequence.setResolution(m_session->scale().ticksPerBeat());
    return clip;
}

vx22Clip* vx99MainForm::melodyMidiClip() const
{
    return dynamic_cast<vx22Clip*>(melodyClip());
}

bool vx99MainForm::melodyHasEvents() const
{
    const vx22Clip* clip = melodyMidiClip();
    return clip && !clip->sequence().isEmpty();
}

void vx99MainForm::clearMelody()
{
    stopTransport();
    if (vx22Clip* clip = melodyMidiClip()) {
        clip->sequence().clearEvents(); // bank and program stay with the melody
        clip->setModified(false);
    }
    SongState::of(m_session)->chordsChanged = false;
    // TODO: tell the piano roll, when it exists.
    if (m_tracksView)
        m_tracksView->redraw();
}

QString vx99MainForm::audioFileFilter() const
{
    // TODO: the audio file layer's filter of every readable format.
    return tr("Audio files (*.wav *.aif *.aiff *.flac *.ogg *.w64 *.mp3)");
}

bool vx99MainForm::canLoadAudio() const
{
    // TODO: true once audio clips can be made from files.
    return false;
}

bool vx99MainForm::loadAudioClip(const QString& path)
{
    (void)path;
    // TODO: an audio clip at frame 0 backed by the file, added through a "Load Audio File"
    // clip command that is executed and dropped, once audio clips exist.
    return false;
}

// ---------------------------------------------------------------------------------------------
// Song files

bool vx99MainForm::openSong(const QString& path)
{
    bool opened = false;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        vx22SongFile file(m_session, melodyTrack(), melodyMidiClip(), &m_songHost,
                          SongState::of(m_session));
        opened = file.openSong(path);
        QApplication::restoreOverrideCursor();
    }
    if (!ErrorLog::isEmpty())
        showErrorBox();
    viewRefresh();
    return opened;
}

bool vx99MainForm::saveSong(const QString& path)
{
    vx22SongFile file(m_session, melodyTrack(), melodyMidiClip(), &m_songHost,
                      SongState::of(m_session));
    const bool saved = file.saveSong(path);
    if (!ErrorLog::isEmpty())
        showErrorBox();
    return saved;
}

vx99MainForm::SongHost::SongHost(vx99MainForm* form) : m_form(form) {}

void vx99MainForm::SongHost::warning(const QString& text)
{
    // The wait cursor of the file operation would hide that the box waits for the user.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    vx99MessageBox::warning(m_form, text);
    QApplication::restoreOverrideCursor();
}

void vx99MainForm::SongHost::setMidiFolder(const QString& folder)
{
    m_form->m_settings->midiDir = folder;
    m_form->m_settings->save();
}

QString vx99MainForm::SongHost::styleFolder() const
{
    return m_form->m_settings->styleDir;
}

void vx99MainForm::SongHost::loadStyle(const QString& path)
{
    m_form->loadStyle(path);
}

void vx99MainForm::SongHost::refresh()
{
    m_form->stabilizeForm();
}

// ---------------------------------------------------------------------------------------------
// Undo and redo

void vx99MainForm::editUndo()
{
    stopTransport();
    m_session->commands().revert();
}

void vx99MainForm::editRedo()
{
    stopTransport();
    m_session->commands().redo();
}

void vx99MainForm::undoListChanged(bool reportsChange)
{
    if (reportsChange)
        viewRefresh();
    else
        stabilizeForm();
}

void vx99MainForm::updateUndoActions()
{
    const vx30List& list = m_session->commands();
    QAction* undo = findChild<QAction*>(QStringLiteral("editUndoAction"));
    QAction* redo = findChild<QAction*>(QStringLiteral("editRedoAction"));
    vx30List::labelAction(undo, list.current());
    vx30List::labelAction(redo, list.next());
    undo->setEnabled(list.current() != nullptr);
    redo->setEnabled(list.next() != nullptr);
}

// ---------------------------------------------------------------------------------------------
// On/Off switches

void vx99MainForm::setMuteForGood(vx18* track, bool on)
{
    if (track && track->isMuted() != on)
        pushForGood(std::make_unique<vx18StateCommand>(m_session, std::vector<vx18*>{track},
                                                       vx18StateCommand::Mute, on));
}

void vx99MainForm::pushTrackFlag(vx18* track, int state, bool on)
{
    // The tracks view's mute and solo buttons are ordinary, undoable edits.
    m_session->push(
        std::make_unique<vx18StateCommand>(m_session, std::vector<vx18*>{track}, state, on));
}

void vx99MainForm::vxAudioOnOffSlot()
{
    const bool on = findChild<QAction*>(QStringLiteral("vxAudioOnOffAction"))->isChecked();
    setMuteForGood(audioTrack(), !on);
    viewRefresh();
}

void vx99MainForm::vxMidiOnOffSlot()
{
    const bool on = findChild<QAction*>(QStringLiteral("vxMidiOnOffAction"))->isChecked();
    setMuteForGood(melodyTrack(), !on);
    viewRefresh();
}

// ---------------------------------------------------------------------------------------------
// Tempo change

void vx99MainForm::transportTempoChanged(float tempo, unsigned short beatsPerBar,
                                         unsigned short beatUnit)
{
    vx29& scale = m_session->scale();
    const vx29Node* node = scale.nodeAtFrame(m_session->playHead());
    if (!node)
        return;
    // The tempo box edits the tempo section the play position is in.
    if (node != scale.firstNode()) {
        m_session->push(std::make_unique<vx29ScaleUpdateNodeCommand>(
            m_session, node->frame, tempo, uint16_t(2), beatsPerBar, beatUnit));
    } else {
        auto command = std::make_unique<vx20TempoCommand>(m_session, tempo, uint16_t(2),
                                                          beatsPerBar, beatUnit);
        if (command->isEmpty())
            return;
        m_session->push(std::move(command));
    }
    viewRefresh();
}

// ---------------------------------------------------------------------------------------------
// Options

void vx99MainForm::viewOptions()
{
    const auto [playback, recording] = recommendedLatencies();
    const double oldRecording = m_settings->audioRecordLatency;
    vx99OptionsForm form(m_settings, playback, recording, MidiOutputs::available(), this);
    if (form.exec() != QDialog::Accepted)
        return;
    applyLatencies();
    // The recording was placed by the old recording latency; place it by the new one.
    if (vx21* clip = audioClip()) {
        const double shift =
            (oldRecording - m_settings->audioRecordLatency) * m_session->scale().sampleRate();
        moveAudioClipForGood(clip, int64_t(std::llround(shift)));
    }
    viewRefresh();
}
