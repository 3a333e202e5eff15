// The main window's transport, time display, tempo, snap and the 66 ms timer.
#include "editor_panel.h"
#include "main_window.h"

#include "message_box.h"
#include "recording_flow.h"
#include "settings.h"

#include "audio_client.h"
#include "audio_engine.h"
#include "clip.h"
#include "engine.h"
#include "error_log.h"
#include "keyboard_focus.h"
#include "make_chords.h"
#include "midi_clip.h"
#include "midi_engine.h"
#include "session.h"
#include "style_actions.h"
#include "style_browser_flow.h"
#include "time_scale.h"
#include "time_spin_box.h"
#include "track.h"
#include "tracks_view.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <cmath>
#include <typeinfo>

namespace {
constexpr int kTimerMs = 66;
constexpr int kEditingRetryMs = 233;
constexpr int kRefreshEveryMs = 232;
} // namespace

// ---------------------------------------------------------------------------------------------
// Engines

bool MainWindow::enginesAreReal() const
{
    // The session starts with base engines that play nothing; playing needs the audio engine,
    // whose process cycle moves the play head (a base MIDI engine only stays silent).
    return dynamic_cast<const AudioEngine*>(m_session->audioEngine()) != nullptr;
}

bool MainWindow::startEngines(bool report)
{
    auto* audio = dynamic_cast<AudioEngine*>(m_session->audioEngine());
    if (audio && audio->client())
        m_engineBufferFrames = audio->client()->bufferSize();
    const uint32_t rate = m_session->scale().sampleRate();
    m_syncStep = rate * kTimerMs / 1000;
    m_syncTolerance = m_engineBufferFrames * (m_syncStep / m_engineBufferFrames + 2);
    if (m_session->isActive() && !m_session->audioEngine()->buses().empty())
        return true;
    bool ok = true;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        for (Engine* engine : {m_session->audioEngine(), m_session->midiEngine()}) {
            if (ok && !engine->isInitialized())
                ok = engine->init();
            if (ok && !engine->isActivated())
                ok = engine->activate();
        }
        ok = ok && m_session->ensureMasterBuses();
        QApplication::restoreOverrideCursor();
    }
    if (!ok) {
        if (report) {
            keepTechnicalDetail();
            MessageBox::warning(this, tr("The Audio or MIDI devices could not be initialized.\n\n"
                                         "Check that a sound device is connected and not used "
                                         "by another program."));
        }
        return false;
    }
    if (audio && audio->client())
        m_engineBufferFrames = audio->client()->bufferSize();
    m_syncTolerance = m_engineBufferFrames * (m_syncStep / m_engineBufferFrames + 2);
    m_deviceDisagreement = 0;
    m_session->locate(m_session->playHead());
    // Only now is it known whether the MIDI output opened, which decides whose clicks are heard.
    applyMetronome();
    return true;
}

void MainWindow::cleanEngines()
{
    // Tracks let go of the buses before the engines delete them.
    for (Track* track : m_session->tracks())
        track->detach();
    for (Engine* engine : {m_session->audioEngine(), m_session->midiEngine()})
        if (engine->isInitialized())
            engine->clean();
}

void MainWindow::applyMetronome()
{
    const bool on = findChild<QAction*>(QStringLiteral("transportMetroAction"))->isChecked();
    const Settings::Metronome& routing = m_settings->metronomeRouting;
    // Without a MIDI output the MIDI metronome would be silent: the audio clicks stand in for it
    // (for this run only; the choice stored in the settings stays as it is).
    const bool audioClicks = routing.audio || !midiOutputProblem().isEmpty();
    if (auto* audio = dynamic_cast<AudioEngine*>(m_session->audioEngine()))
        audio->setMetronomeOn(audioClicks && on);
    auto* midi = dynamic_cast<MidiEngine*>(m_session->midiEngine());
    if (!midi)
        return;
    MetronomeSound sound;
    sound.channel = routing.channel;
    sound.barNote = routing.barNote;
    sound.barVelocity = routing.barVelocity;
    sound.barDuration = routing.barLength;
    sound.beatNote = routing.beatNote;
    sound.beatVelocity = routing.beatVelocity;
    sound.beatDuration = routing.beatLength;
    midi->setMetronomeSound(sound);
    // The settings offer no bus of its own for the metronome: it plays on the first output bus.
    midi->setMetronomeOwnBus(false);
    midi->setMetronomeOn(routing.midi && on);
}

void MainWindow::stopTransport()
{
    if (m_session->isRecording()) {
        // Each take becomes a clip through one undoable "record clip"; what a slow or full
        // disk cost is in the error log.
        if (RecordingFlow::stop(m_session))
            viewRefresh();
        else
            scheduleRefresh(kEditingRetryMs);
        if (!ErrorLog::isEmpty())
            showErrorBox();
    }
    if (m_session->isPlaying())
        m_session->setPlaying(false);
    findChild<QAction*>(QStringLiteral("transportPlayAction"))->setChecked(false);
    findChild<QAction*>(QStringLiteral("transportRecordAction"))->setChecked(false);
}

void MainWindow::locate(uint32_t frame)
{
    m_session->locate(frame);
    m_playStartFrame = frame;
    showPosition(frame);
}

// ---------------------------------------------------------------------------------------------
// Transport

void MainWindow::setTransportPlaying(bool on)
{
    if (on && !m_session->isPlaying()) {
        // The song takes the sound: a style preview stops, and one still rendering stays silent.
        if (auto* previews = findChild<StyleBrowserFlow*>())
            previews->stopPreview();
        m_playStartFrame = m_session->playHead();
        m_session->setPlaying(true);
    } else if (!on && m_session->isPlaying()) {
        m_session->setPlaying(false);
    }
    m_deviceDisagreement = 0;
    findChild<QAction*>(QStringLiteral("transportPlayAction"))->setChecked(m_session->isPlaying());
}

void MainWindow::transportPlay()
{
    QAction* play = findChild<QAction*>(QStringLiteral("transportPlayAction"));
    if (!enginesAreReal()) {
        play->setChecked(false);
        notAvailableYet(tr("Playback"));
        return;
    }
    if (!startEngines(true)) {
        play->setChecked(false);
        return;
    }
    setTransportPlaying(!m_session->isPlaying());
    stabilizeForm();
}

void MainWindow::transportStop()
{
    if (m_session->isPlaying())
        stopTransport();
    locate(0);
    if (m_tracksView)
        m_tracksView->scrollToFrame(0);
    stabilizeForm();
}

void MainWindow::transportRecord()
{
    QAction* record = findChild<QAction*>(QStringLiteral("transportRecordAction"));
    record->setChecked(m_session->isRecording());
    if (!enginesAreReal()) {
        notAvailableYet(tr("Recording"));
        return;
    }
    if (!startEngines(true))
        return;
    if (m_session->isRecording()) {
        stopTransport();
    } else {
        if (!RecordingFlow::hasInput(m_session)) {
            MessageBox::warning(this, tr("No audio input device is available"));
            return;
        }
        if (!audioCheck()) {
            viewRefresh();
            return;
        }
        if (m_session->recordCount() == 0)
            return;
        m_session->startRecording(true);
        if (!ErrorLog::isEmpty())
            showErrorBox(); // a take whose file could not be made records nothing
        m_playStartFrame = m_session->playHead();
        m_session->setPlaying(true);
    }
    record->setChecked(m_session->isRecording());
    findChild<QAction*>(QStringLiteral("transportPlayAction"))->setChecked(m_session->isPlaying());
    stabilizeForm();
}

void MainWindow::transportMetro()
{
    m_settings->metronome =
        findChild<QAction*>(QStringLiteral("transportMetroAction"))->isChecked();
    applyMetronome();
}

// ---------------------------------------------------------------------------------------------
// Time display

void MainWindow::transportTimeChanged(unsigned long frame)
{
    if (m_updatingTime > 0)
        return;
    locate(uint32_t(frame));
    if (m_tracksView)
        m_tracksView->setPlayHead(uint32_t(frame));
}

void MainWindow::transportTimeFinished()
{
    if (m_clearingTimeFocus > 0)
        return;
    ++m_clearingTimeFocus;
    if (m_timeSpinBox->hasFocus())
        m_keyboardFocus->goHome();
    --m_clearingTimeFocus;
}

void MainWindow::showPosition(uint32_t frame)
{
    ++m_updatingTime;
    m_timeSpinBox->setValue(frame, false);
    --m_updatingTime;
}

void MainWindow::timeFormatChanged(int format)
{
    m_timeFormat = format;
    m_session->scale().setTimeFormat(format);
    m_timeSpinBox->refreshText();
    static const char* const tips[] = {QT_TR_NOOP("Current playback time (frames)"),
                                       QT_TR_NOOP("Current playback time (hour:min:sec.msec)"),
                                       QT_TR_NOOP("Current playback time (bar.beat.tick)")};
    m_timeSpinBox->setToolTip(tr(tips[format == 1 || format == 2 ? format : 0]));
    viewRefresh();
}

// ---------------------------------------------------------------------------------------------
// Tempo, meter and snap

void MainWindow::tempoChanged(double tempo)
{
    if (m_updatingTempo > 0)
        return;
    transportTempoChanged(float(tempo), uint16_t(m_settings->beatsPerBar),
                          uint16_t(m_settings->beatDivisor));
}

void MainWindow::transportTempoFinished()
{
    if (m_clearingTempoFocus > 0)
        return;
    ++m_clearingTempoFocus;
    if (m_tempoSpinBox->hasFocus())
        m_keyboardFocus->goHome();
    --m_clearingTempoFocus;
}

void MainWindow::meterButtonClicked()
{
    if (editMeter(this, *m_session, melodyMidiClip()))
        viewRefresh();
}

void MainWindow::snapPerBeatChanged(int index)
{
    if (m_updatingSnap > 0)
        return;
    const uint16_t value = TimeScale::snapValue(index);
    if (m_session->scale().snapPerBeat() != value) {
        m_session->scale().setSnapPerBeat(value);
        m_settings->snapIndex = index;
        viewRefresh();
    }
}

void MainWindow::showTempoNode(TempoNode* node)
{
    if (!node)
        return;
    m_shownNode = node;
    // Quarter notes per minute, whatever note value the node counts its tempo in.
    const double quarterTempo = double(node->tempo) * std::ldexp(1.0, 2 - int(node->tempoUnit));
    ++m_updatingTempo;
    m_tempoSpinBox->setValue(quarterTempo);
    --m_updatingTempo;
    m_meterButton->setText(
        QStringLiteral("%1/%2").arg(node->beatsPerBar).arg(1 << std::min<int>(node->beatUnit, 15)));
    m_settings->tempo = quarterTempo;
    m_settings->beatsPerBar = node->beatsPerBar;
    m_settings->beatDivisor = node->beatUnit;
}

// ---------------------------------------------------------------------------------------------
// Timer

uint32_t MainWindow::displayedPosition() const
{
    const uint32_t position = m_session->playHead();
    if (!m_session->isPlaying())
        return position;
    // The sound leaves the device later than the play head moves; show what is heard.
    const double latency = std::max(0.0, m_settings->audioLatency);
    const auto delay = uint32_t(std::floor(latency * m_session->scale().sampleRate()));
    const uint32_t shown = position > delay ? position - delay : 0;
    return std::max(shown, std::min(m_playStartFrame, position));
}

void MainWindow::timerSlot()
{
    if (m_session->isEditing()) {
        m_timer->start(kEditingRetryMs);
        return;
    }
    const uint32_t position = displayedPosition();
    if (position != m_lastPosition) {
        m_lastPosition = position;
        if (m_tracksView)
            m_tracksView->setPlayHead(position, m_session->isPlaying());
        showPosition(position);
        TempoNode* node = m_session->scale().nodeAtFrame(position);
        if (node != m_shownNode)
            showTempoNode(node);
    }
    if (!stopWhenTheStreamEnded())
        followDeviceTransport();
    if (m_session->isPlaying())
        followPlayback(m_session->playHead());
    runDeferredRefreshes();
    m_timer->start(kTimerMs);
}

bool MainWindow::stopWhenTheStreamEnded()
{
    auto* audio = dynamic_cast<AudioEngine*>(m_session->audioEngine());
    AudioClient* client = audio ? audio->client() : nullptr;
    if (!client || !audio->isActivated() || !client->hasStreamEnded())
        return false;
    // The device went away (or a cycle failed): stop as Stop would, which keeps a take being
    // recorded. The song itself is untouched; the next Play opens the device again.
    const bool wasRecording = m_session->isRecording();
    client->flushErrors();
    stopTransport();
    audio->deactivate();
    stabilizeForm();
    const QString advice = tr("Check that the sound device is still connected, then press Play "
                              "to go on.");
    showErrorBox(wasRecording ? tr("The audio device stopped working, so the recording stopped. "
                                   "What was recorded until then is kept. %1")
                                    .arg(advice)
                              : tr("The audio device stopped working, so playing stopped. The "
                                   "song is as it was. %1")
                                    .arg(advice));
    return true;
}

void MainWindow::followDeviceTransport()
{
    auto* audio = dynamic_cast<AudioEngine*>(m_session->audioEngine());
    AudioClient* client = audio ? audio->client() : nullptr;
    // A style preview rolls the device while the song stands still: that is not the song
    // playing.
    if (!client || !m_session->isActive() || m_syncStep == 0 || audio->rollsForPreview()) {
        m_deviceDisagreement = 0;
        return;
    }
    // The device's transport runs on while an edit keeps the engine out of the session; the
    // window then follows the device, so audio, MIDI and the display meet again.
    TransportPosition device;
    const bool rolling = client->transportQuery(&device) != 0;
    const bool playing = m_session->isPlaying();
    const uint32_t head = m_session->playHead();
    const uint32_t drift = device.frame > head ? device.frame - head : head - device.frame;
    if (rolling == playing && drift <= m_syncTolerance) {
        m_deviceDisagreement = 0;
        return;
    }
    if (++m_deviceDisagreement <= int(2 * m_engineBufferFrames / m_syncStep))
        return;
    m_deviceDisagreement = 0;
    if (rolling != playing)
        setTransportPlaying(rolling);
    else
        locate(device.frame);
    stabilizeForm();
}

void MainWindow::followPlayback(uint32_t frame)
{
    m_elapsedMs += kTimerMs;
    if (m_elapsedMs <= kRefreshEveryMs)
        return;
    m_elapsedMs = 0;
    if (m_tracksView)
        m_tracksView->redraw();
    const bool recording = m_session->isRecording();
    if (!recording && frame > m_session->endFrame() && frame > m_session->loopOut()) {
        if (m_session->isLoopSet()) {
            locate(m_session->loopIn());
        } else {
            stopTransport();
            stabilizeForm();
        }
    } else if (recording && ((m_session->isPunchSet() && frame > m_session->punchOut()) ||
                             RecordingFlow::isDiskFull(m_session))) {
        stopTransport();
        stabilizeForm();
    } else if (recording) {
        m_session->updateEnd(frame);
        m_timeLabel->setText(m_session->scale().format(0, true, m_session->endFrame()));
    }
}

void MainWindow::scheduleRefresh(int milliseconds)
{
    m_viewRefreshCountdown = std::max(m_viewRefreshCountdown, milliseconds);
}

void MainWindow::runDeferredRefreshes()
{
    if (m_viewRefreshCountdown > 0) {
        m_viewRefreshCountdown -= kTimerMs;
        if (m_viewRefreshCountdown <= kTimerMs - 1) {
            m_viewRefreshCountdown = 0;
            viewRefresh();
        }
    }
    if (m_stabilizeCountdown > 0) {
        m_stabilizeCountdown -= kTimerMs;
        if (m_stabilizeCountdown <= kTimerMs - 1) {
            m_stabilizeCountdown = 0;
            stabilizeForm();
        }
    }
}

void MainWindow::editDelete()
{
    if (m_editorPanel)
        m_editorPanel->deleteSelectedNotes();
}
