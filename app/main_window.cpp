#include "main_window.h"

#include "audio_file_flow.h"

#include "audio_client.h"
#include "audio_engine.h"
#include "editor_panel.h"
#include "error_box.h"
#include "error_log.h"
#include "help_window.h"
#include "keyboard_focus.h"
#include "message_box.h"
#include "portaudio_client.h"
#include "settings.h"

#include "clip.h"
#include "command_list.h"
#include "midi_clip.h"
#include "midi_engine.h"
#include "session.h"
#include "song_state.h"
#include "time_scale.h"
#include "track.h"
#include "tracks_view.h"

#include "time_spin_box.h"
#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDebug>
#include <QDoubleSpinBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <optional>

namespace {
constexpr int kTimerMs = 66;
constexpr int kReadyMs = 3000;

MainWindow::LatencySource& latencySource()
{
    static MainWindow::LatencySource source;
    return source;
}
} // namespace

MainWindow::MainWindow(Settings* settings, QWidget* parent)
    : QMainWindow(parent), m_settings(settings), m_session(Session::instance())
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowIcon(QIcon(QStringLiteral(":/images/cantova-32.png")));
    setWindowTitle(QStringLiteral("Cantova"));
    setMinimumSize(640, 400);
    resize(1024, 680);
    setAcceptDrops(true);
    setUnifiedTitleAndToolBarOnMac(false);

    createActions();
    createToolbars();
    createMenus();
    createStatusBar();
    createCentralWidget();
    connectActions();

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("RefreshTimer"));
    m_timer->setSingleShot(true);
    connect(m_timer, SIGNAL(timeout()), this, SLOT(timerSlot()));
    connect(&m_session->commands(), SIGNAL(changed(bool)), this, SLOT(undoListChanged(bool)));
    // Song making tells the window when the song changed; the song state outlives the window.
    SongState::of(m_session)->songChanged = [this] { viewRefresh(); };
    applySettings();
}

MainWindow::~MainWindow()
{
    m_timer->stop();
    SongState::of(m_session)->songChanged = nullptr;
    // The session outlives the window; the engines must not keep playing into a closed window,
    // and the devices are let go while the application still runs.
    if (m_session->isPlaying())
        m_session->setPlaying(false);
    cleanEngines();
}

void MainWindow::setLatencySource(LatencySource source)
{
    latencySource() = std::move(source);
}

std::pair<double, double> MainWindow::recommendedLatencies()
{
    if (latencySource())
        return latencySource()();
    // The audio engine's client has read them when it opened the sound card.
    if (auto* audio = dynamic_cast<AudioEngine*>(Session::instance()->audioEngine()))
        if (const AudioClient* client = audio->client())
            return {client->recommendedPlaybackLatency(), client->recommendedRecordingLatency()};
    // The default devices do not change while the program runs; ask the audio library once.
    static std::optional<std::pair<double, double>> devices;
    if (!devices) {
        const std::unique_ptr<PortAudioClient> client = PortAudioClient::open();
        devices = client ? std::pair(client->recommendedPlaybackLatency(),
                                     client->recommendedRecordingLatency())
                         : std::pair(0.0, 0.0);
    }
    return *devices;
}

void MainWindow::applySettings()
{
    const Settings& s = *m_settings;
    m_session->setStretchAudio(s.stretchAudio);
    for (const char* name : {"audioOnOffAction", "midiOnOffAction", "chordsOnOffAction"})
        findChild<QAction*>(QLatin1String(name))->setChecked(true);
    findChild<QAction*>(QStringLiteral("transportMetroAction"))->setChecked(s.metronome);
    findChild<QAction*>(QStringLiteral("editMidiModeAction"))->setChecked(s.noteEditMode);
    restoreGeometryFromSettings();
    show();
    AudioFileFlow::applySaveType(s.audioSaveType.extension, s.audioSaveType.majorFormat,
                                 s.audioSaveType.values[0], s.audioSaveType.values[1]);
    applyMetronome();
    newSong();
    m_keyboardFocus->goHome();
    applyLatencies();
    statusBar()->showMessage(tr("Ready"), kReadyMs);
    if (enginesAreReal() && !m_session->isActive())
        reportNoAudioOutput();
    else
        reportSilentMidi();
    m_timer->start(kTimerMs);
}

void MainWindow::applyLatencies()
{
    Settings& s = *m_settings;
    if (s.audioLatency < 0.0 || s.audioRecordLatency < 0.0) {
        const auto [playback, recording] = recommendedLatencies();
        if (s.audioLatency < 0.0)
            s.audioLatency = playback;
        if (s.audioRecordLatency < 0.0)
            s.audioRecordLatency = recording;
    }
    // MIDI is scheduled later by the playback latency, so it sounds together with the audio
    // that leaves the device late by as much.
    if (auto* midi = dynamic_cast<MidiEngine*>(m_session->midiEngine()))
        if (SequencerLayer* layer = midi->layer())
            layer->setPlaybackLatency(std::max(0.0, s.audioLatency));
    // A take is placed earlier by the recording latency, where its sound really was.
    if (auto* audio = dynamic_cast<AudioEngine*>(m_session->audioEngine()))
        audio->setRecordingLatency(std::max(0.0, s.audioRecordLatency));
}

bool MainWindow::isLive(Session* session, Track* track)
{
    return track && session->indexOf(track) >= 0;
}

Track* MainWindow::audioTrack() const
{
    return isLive(m_session, m_audioTrack) ? m_audioTrack : nullptr;
}

Track* MainWindow::melodyTrack() const
{
    return isLive(m_session, m_melodyTrack) ? m_melodyTrack : nullptr;
}

Clip* MainWindow::audioClip() const
{
    Track* track = audioTrack();
    return track ? track->firstClip() : nullptr;
}

PianoRoll* MainWindow::pianoRoll() const
{
    return m_editorPanel ? m_editorPanel->pianoRoll() : nullptr;
}

Clip* MainWindow::melodyClip() const
{
    Track* track = melodyTrack();
    return track ? track->firstClip() : nullptr;
}

void MainWindow::showErrorBox(const QString& message)
{
    ErrorBox::show(this, message);
}

void MainWindow::keepTechnicalDetail()
{
    // The user reads plain words; what the devices said goes to the program's diagnostic
    // output, where a bug report can quote it.
    const QString detail = ErrorLog::take();
    if (!detail.isEmpty())
        qWarning().noquote() << "Cantova audio and MIDI devices:" << detail;
}

void MainWindow::reportNoAudioOutput()
{
    keepTechnicalDetail();
    for (const char* name : {"transportPlayAction", "transportRecordAction"})
        findChild<QAction*>(QLatin1String(name))->setEnabled(false);
    const QString text = tr("There is no audio output, so songs cannot be played here. Songs can "
                            "still be made and saved.");
    statusBar()->showMessage(text);
    // Once the window is up and has shown its song: the box must not hold up the start.
    QTimer::singleShot(0, this, [this, text] { MessageBox::information(this, text); });
}

QString MainWindow::midiOutputProblem() const
{
    const auto* midi = dynamic_cast<const MidiEngine*>(m_session->midiEngine());
    const SequencerLayer* layer = midi ? midi->layer() : nullptr;
    return layer && layer->isOpen() ? layer->outputProblem() : QString();
}

void MainWindow::reportSilentMidi()
{
    const QString problem = midiOutputProblem();
    if (problem.isEmpty())
        return;
    const QString text = tr("The MIDI output could not be opened, so the melody and the chords "
                            "are silent; the metronome clicks through the audio output and "
                            "audio still plays.\n\n%1")
                             .arg(problem);
    statusBar()->showMessage(text.section(QLatin1Char('\n'), 0, 0));
    QTimer::singleShot(0, this, [this, text] { MessageBox::warning(this, text); });
}

void MainWindow::notAvailableYet(const QString& feature)
{
    MessageBox::information(this,
                            tr("%1 is not available in this version of Cantova yet.").arg(feature));
}

// ---------------------------------------------------------------------------------------------
// Window refresh

void MainWindow::stabilizeForm()
{
    Clip* melody = melodyClip();
    Clip* audio = audioClip();
    (void)melody;
    const bool melodyModified = isSongModified();
    const bool audioModified = audio && audio->isModified();
    auto part = [](const QString& label, Track* track, bool modified) {
        const QString name = track ? track->name() : QString();
        return label + QLatin1Char(' ') + (modified ? QStringLiteral("*") : QString()) +
               QLatin1Char('"') + name + QLatin1Char('"');
    };
    setWindowTitle(part(tr("Midi:"), melodyTrack(), melodyModified) + QStringLiteral("  ") +
                   part(tr("Audio:"), audioTrack(), audioModified) + QStringLiteral(" - Cantova"));

    auto act = [this](const char* name) { return findChild<QAction*>(QLatin1String(name)); };
    act("saveAudioAction")->setEnabled(audio && audioTrack() && !audioTrack()->name().isEmpty());
    act("saveMidiAction")->setEnabled(melodyHasEvents());
    act("fileSaveAction")->setEnabled(melodyHasEvents());
    updateUndoActions();
    // Opening a song, undo and redo change the song's placement under the menu.
    act("simpleSectionsAction")
        ->setChecked(SongState::of(m_session)->sectionPlacement ==
                     SongState::SectionPlacement::Simple);

    Track* current = m_session->currentTrack();
    m_trackLabel->setText(isLive(m_session, current) ? current->name() : QString());
    setIndicator(m_modLabel, QStringLiteral("MOD"), melodyModified || audioModified);
    setIndicator(m_recLabel, QStringLiteral("REC"), m_session->isRecording());
    setIndicator(m_muteLabel, QStringLiteral("MUTE"), m_session->muteCount() > 0);
    setIndicator(m_soloLabel, QStringLiteral("SOLO"), m_session->soloCount() > 0);
    setIndicator(m_loopLabel, QStringLiteral("LOOP"), m_session->isLoopSet());
    m_timeLabel->setText(m_session->scale().format(0, true, m_session->endFrame()));
    m_rateLabel->setText(tr("%1 Hz").arg(m_session->scale().sampleRate()));
    const bool recording = m_session->isRecording();
    m_timeSpinBox->setReadOnly(recording);
    m_tempoSpinBox->setReadOnly(recording);
}

void MainWindow::viewRefresh()
{
    m_session->updateEnd(0);
    if (m_tracksView) {
        const SongState* song = SongState::of(m_session);
        m_tracksView->setSong(melodyMidiClip(), song->displayedKey(), song->transpose);
        m_tracksView->refresh();
    }
    if (m_editorPanel)
        m_editorPanel->showMelody(melodyMidiClip());
    m_shownNode = nullptr; // the tempo box and meter button show the node again
    m_lastPosition = UINT32_MAX;
    stabilizeForm();
}

void MainWindow::contentsChanged()
{
    ++m_updatingSnap;
    m_snapComboBox->setCurrentIndex(TimeScale::snapIndex(m_session->scale().snapPerBeat()));
    --m_updatingSnap;
    viewRefresh();
}

void MainWindow::updateNotifySlot(bool redrawTracks)
{
    if (redrawTracks && m_tracksView)
        m_tracksView->redraw();
    stabilizeForm();
}

void MainWindow::selectionNotifySlot(NoteEditor* editor)
{
    (void)editor;
    // TODO: show the editor's selection as the markers when the piano roll exists.
    stabilizeForm();
}

void MainWindow::changeNotifySlot(NoteEditor* editor)
{
    (void)editor;
    m_session->updateEnd(0);
    viewRefresh();
}

void MainWindow::trackSelectionChanged()
{
    stabilizeForm();
}

void MainWindow::mixerSelectionChanged()
{
    stabilizeForm();
}

void MainWindow::tracksClosed()
{
    m_tracksView = nullptr;
}

void MainWindow::alsaNotify()
{
    // TODO: the MIDI engine reports device changes here once it listens to the sequencer.
    stabilizeForm();
}

void MainWindow::addAudioFile(const QString& path)
{
    (void)path;
}

void MainWindow::addMidiFile(const QString& path)
{
    (void)path;
}

void MainWindow::activateMidiFile(const QString& path)
{
    (void)path;
    viewRefresh();
}

// ---------------------------------------------------------------------------------------------
// Help and about

void MainWindow::quickHelp()
{
    openHelpPage(QStringLiteral("/index.html"));
}

void MainWindow::helpContents()
{
    openHelpPage(QStringLiteral("/help.html"));
}

void MainWindow::openHelpPage(const QString& name)
{
    const QString path = Settings::programDir() + name;
    if (!QFileInfo::exists(path)) {
        MessageBox::warning(this, tr("The help page was not found:\n\n\"%1\"").arg(path));
        return;
    }
    if (HelpWindow::openInBrowser(QUrl::fromLocalFile(path)))
        return;
    // No browser on this desktop: the pages are read inside the program instead.
    if (!m_helpWindow)
        m_helpWindow = new HelpWindow(this);
    m_helpWindow->showPage(path);
}

void MainWindow::helpAbout(const QString& message)
{
    QString text;
    if (!message.isEmpty())
        text = message + QStringLiteral("\n\n");
    text += tr("Cantova\nVersion %1\n\nSing or play a melody; Cantova writes it down, finds its "
               "chords and plays it back with a band.")
                .arg(QStringLiteral(CANTOVA_VERSION));
    MessageBox::Request box;
    box.icon = QMessageBox::Information;
    box.title = tr("About") + QStringLiteral(" Cantova");
    box.text = text;
    box.buttons = QMessageBox::Ok;
    box.defaultButton = QMessageBox::Ok;
    box.iconPixmap = QPixmap(QStringLiteral(":/images/cantova-32.png"));
    MessageBox::ask(this, box);
}

void MainWindow::helpAbout()
{
    helpAbout(QString());
}

void MainWindow::helpAboutQt()
{
    QMessageBox::aboutQt(this);
}

// ---------------------------------------------------------------------------------------------
// Shutdown, drag and drop

void MainWindow::fileExit()
{
    close();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    m_settings->timeZoom = m_session->scale().timeZoom();
    if (!closeSong()) {
        event->ignore();
        return;
    }
    m_timer->stop();
    m_settings->metronome =
        findChild<QAction*>(QStringLiteral("transportMetroAction"))->isChecked();
    m_settings->noteEditMode =
        findChild<QAction*>(QStringLiteral("editMidiModeAction"))->isChecked();
    storeGeometryToSettings();
    m_settings->save();
    event->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!event->source() && event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return;
    event->acceptProposedAction();
    openFile(urls.first().toLocalFile());
}
