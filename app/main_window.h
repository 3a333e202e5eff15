#pragma once

#include "song_host.h"

#include <QMainWindow>
#include <QMetaType>
#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QMenu;
class QProgressBar;
class QTimer;
class QToolBar;
class QToolButton;
class TracksView;
class EditorPanel;
class PianoRoll;
class Track;
class Session;
class Clip;
class MidiClip;
class NoteEditor;
class TempoNode;
class TimeSpinBox;
class Command;
class Settings;
class KeyboardFocus;
class RecentFiles;
class HelpWindow;
struct ActionEntry;

// The notification slots take the MIDI editor through a pointer declared ahead of its class.
Q_DECLARE_OPAQUE_POINTER(NoteEditor*)

/**
 * MainWindow: the program's only top-level window.
 *
 * Owns the user's song workflow around the session: one audio track with the recorded or opened
 * melody recording, one MIDI track with the melody clip, the song-making actions, the transport,
 * the file flows with their questions, and the settings. Its slots keep a fixed order and are
 * connected by their signatures. A 66 ms timer follows the play position and runs deferred
 * refreshes. GUI thread only.
 */
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    /** Gives the recommended playback and recording latencies (seconds) of the default devices. */
    using LatencySource = std::function<std::pair<double, double>()>;

    /** Builds the window and makes the first song; the settings outlive the window. */
    explicit MainWindow(Settings* settings, QWidget* parent = nullptr);
    ~MainWindow() override;

    /** Replaces where recommended latencies come from (tests; the audio engine later). */
    static void setLatencySource(LatencySource source);
    static std::pair<double, double> recommendedLatencies();

    // Services for the song-making work.
    Session* session() const { return m_session; }
    Settings* settings() const { return m_settings; }
    TracksView* tracksView() const { return m_tracksView; }
    RecentFiles* recentFiles() const { return m_recentFiles; }
    /** The help window, when the help had to be shown inside the program. */
    HelpWindow* helpWindow() const { return m_helpWindow; }
    /** The file the song was opened from or last saved to; empty for a new song. */
    const QString& songPath() const { return m_songPath; }
    /** The melody editor below the tracks view. */
    PianoRoll* pianoRoll() const;
    /** The audio track, the melody track and their clips of the current song (none if gone). */
    Track* audioTrack() const;
    Track* melodyTrack() const;
    Clip* audioClip() const;
    Clip* melodyClip() const;
    const QString& stylePath() const { return m_stylePath; }
    /** Adds the message to the error log and shows the whole log with the offer to copy it. */
    void showErrorBox(const QString& message = QString());

    // The file flows, also reached by drag and drop and the command line.
    /** Closes the current song (both checks) and makes a new one; false when cancelled. */
    bool newSong();
    /** Asks to save a modified recording; false when the user cancelled. */
    bool audioCheck();
    /** Asks to save a modified melody; false when the user cancelled. */
    bool midiCheck();
    bool openAudioFile(const QString& path);
    bool saveAudioFile();
    bool openSong(const QString& path);
    bool saveSong(const QString& path);
    /**
     * Opens a file by its type: a MIDI file as the song (after the MIDI check), a style file as
     * the song's style, anything else as the recording.
     */
    void openFile(const QString& path);
    /**
     * True when the song holds something its file does not have yet: the melody clip is marked
     * modified, or the undo list stands elsewhere than where the song was opened or saved (a
     * tempo, meter, key or style change). Only a song with events counts.
     */
    bool isSongModified() const;

public slots:
    // The order of these slots is kept; connections use their signatures.
    void fileOpenAudio();
    void fileOpenMidi();
    void fileOpenStyle();
    void fileSaveAudio();
    void fileSaveMidi();
    void makeMelodyFromAudio();
    void makeChordsFromMelody();
    void makeSongFromMelody();
    void toggleAudio();
    void toggleMelody();
    void toggleArrangement();
    void fileNewAll();
    void fileNewAudio();
    void fileNewMidi();
    void fileNewChords();
    void transportPlay();
    void transportStop();
    void transportRecord();
    void transportMetro();
    void viewRefresh();
    void viewOptions();
    void editDelete();
    void tempoChanged(double tempo);
    void meterButtonClicked();
    void fileExit();
    void quickHelp();
    void helpContents();
    void helpAbout(const QString& message);
    void helpAbout();
    void helpAboutQt();
    void stabilizeForm();
    void timerSlot();
    void alsaNotify();
    void tracksClosed();
    void addAudioFile(const QString& path);
    void activateAudioFile(const QString& path);
    void addMidiFile(const QString& path);
    void activateMidiFile(const QString& path);
    void trackSelectionChanged();
    void mixerSelectionChanged();
    void selectionNotifySlot(NoteEditor* editor);
    void changeNotifySlot(NoteEditor* editor);
    void updateNotifySlot(bool redrawTracks);
    void transportTimeChanged(unsigned long frame);
    void transportTimeFinished();
    void transportTempoChanged(float tempo, unsigned short beatsPerBar, unsigned short beatUnit);
    void transportTempoFinished();
    void snapPerBeatChanged(int index);
    void contentsChanged();
    // Slots beyond the original set.
    void fileNew();
    void editUndo();
    void editRedo();
    void undoListChanged(bool reportsChange);
    void timeFormatChanged(int format);
    void fileOpen();
    void fileSave();
    void findTempoAndBars();
    void toggleSimpleSections();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    /** Opening and saving songs ask the window for boxes, settings, styles and refreshes. */
    class WindowSongHost : public SongHost
    {
    public:
        explicit WindowSongHost(MainWindow* form);
        void warning(const QString& text) override;
        void setMidiFolder(const QString& folder) override;
        QString styleFolder() const override;
        void loadStyle(const QString& path) override;
        void refresh() override;
        int chooseMelodyTrack(const std::vector<MidiImport::Candidate>& candidates,
                              int preselected) override;

    private:
        MainWindow* m_form;
    };

    // Building (main_window_ui.cpp).
    void createActions();
    void createMenus();
    void createToolbars();
    void createStatusBar();
    void createCentralWidget();
    void setUpKeyboardFocus();
    void connectActions();
    QAction* makeAction(const ActionEntry& entry);
    QLabel* addIndicator(const QString& text, const QString& tip);
    void setIndicator(QLabel* label, const QString& text, bool lit);
    void applySettings();
    void restoreGeometryFromSettings();
    void storeGeometryToSettings();

    // Songs and files (main_window_files.cpp).
    bool closeSong();
    void clearSession();
    void createSongTracks();
    void closeAudio();
    void loadStyle(const QString& path);
    void rememberDir(QString* setting, const QString& filePath);
    QString untitledAudioName() const;
    bool saveMidiWithDialog();
    /** Save: to the song's own file when it has one, else through the dialog. */
    bool saveSongToItsFile();
    QString openFileFilter() const;
    static bool copyReplacing(const QString& source, const QString& target);
    static bool isLive(Session* session, Track* track);

    // Edits made for good, the melody and audio clips (main_window_edit.cpp).
    bool pushForGood(std::unique_ptr<Command> command);
    MidiClip* melodyMidiClip() const;
    void addTrackForGood(Track* track);
    void addClipForGood(Clip* clip, Track* track, const QString& name);
    void removeClipForGood(Clip* clip, const QString& name);
    void moveAudioClipForGood(Clip* clip, int64_t frames);
    void setMuteForGood(Track* track, bool on);
    void pushTrackFlag(Track* track, int state, bool on);
    Clip* createMelodyClip(Track* track);
    bool melodyHasEvents() const;
    void clearMelody();
    /** The song as it is now is the one in its file (opened, saved or new). */
    void markSongSaved();
    QString audioFileFilter() const;
    bool canLoadAudio() const;
    void updateUndoActions();

    // Song making (main_window_song.cpp).
    /** Audio to MIDI on the recording; the melody clip when notes were written. */
    MidiClip* runAudioToMidi();
    /** True when the recording is an audio file the user opened rather than a take. */
    bool recordingIsOpenedFile() const;
    /** Asks whether to find the tempo and bars of a melody sung without the metronome. */
    void offerTempoAndBars(MidiClip& melody);
    /** Finds and applies the tempo and bars of the melody; false when too few notes. */
    bool applyTempoAndBars(MidiClip& melody);

    // Help (main_window.cpp).
    void openHelpPage(const QString& name);

    // Transport and time (main_window_transport.cpp).
    bool startEngines(bool report);
    void stopTransport();
    bool enginesAreReal() const;
    void setTransportPlaying(bool on);
    void applyMetronome();
    void followDeviceTransport();
    /** Stops and says so when the audio stream ended by itself; true when it had. */
    bool stopWhenTheStreamEnded();
    void cleanEngines();
    void locate(uint32_t frame);
    uint32_t displayedPosition() const;
    void showPosition(uint32_t frame);
    void showTempoNode(TempoNode* node);
    void followPlayback(uint32_t frame);
    void runDeferredRefreshes();
    void scheduleRefresh(int milliseconds);
    void applyLatencies();
    void notAvailableYet(const QString& feature);
    /** Moves the devices' technical messages out of the error log to the diagnostic output. */
    void keepTechnicalDetail();
    /** Says once that nothing can be played, and keeps Play and Record disabled. */
    void reportNoAudioOutput();
    /** Says once why MIDI is silent when the MIDI output could not be opened. */
    void reportSilentMidi();
    /** Why the MIDI output could not be opened; empty when it plays. */
    QString midiOutputProblem() const;

    Settings* m_settings;
    Session* m_session;
    WindowSongHost m_songHost{this};
    TracksView* m_tracksView = nullptr; // cleared by tracksClosed()
    EditorPanel* m_editorPanel = nullptr;
    Track* m_audioTrack = nullptr;
    Track* m_melodyTrack = nullptr;
    QString m_stylePath;
    QString m_songPath; // the file the song was opened from or saved to; empty when new
    QString m_openedAudioPath; // the audio file last opened on the audio track (not a take)
    RecentFiles* m_recentFiles = nullptr;
    HelpWindow* m_helpWindow = nullptr; // made when no browser opens the help
    uint64_t m_savedCommand = 0; // serial of the undo list's current command at the last save
    int m_timeFormat = 1;        // clock time, as the time display's tool tip says

    // Widgets of the toolbars and the status bar.
    QToolBar* m_fileToolbar = nullptr;
    QToolBar* m_timeToolbar = nullptr;
    TimeSpinBox* m_timeSpinBox = nullptr;
    QToolButton* m_meterButton = nullptr;
    QDoubleSpinBox* m_tempoSpinBox = nullptr;
    QComboBox* m_snapComboBox = nullptr;
    QLabel* m_trackLabel = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QLabel* m_modLabel = nullptr;
    QLabel* m_recLabel = nullptr;
    QLabel* m_muteLabel = nullptr;
    QLabel* m_soloLabel = nullptr;
    QLabel* m_loopLabel = nullptr;
    QLabel* m_timeLabel = nullptr;
    QLabel* m_rateLabel = nullptr;

    // Timer and its state.
    KeyboardFocus* m_keyboardFocus = nullptr;
    QTimer* m_timer = nullptr;
    uint32_t m_lastPosition = UINT32_MAX;
    uint32_t m_playStartFrame = 0;
    const TempoNode* m_shownNode = nullptr;
    int m_tickCount = 0;
    int m_elapsedMs = 0;
    int m_viewRefreshCountdown = 0;
    int m_stabilizeCountdown = 0;
    uint32_t m_syncStep = 0;
    uint32_t m_syncTolerance = 0;
    uint32_t m_engineBufferFrames = 512;
    int m_deviceDisagreement = 0; // ticks the device's transport has disagreed with the window

    // Counters that keep the window's own widget updates from echoing back as user input.
    int m_updatingTime = 0;
    int m_updatingTempo = 0;
    int m_updatingSnap = 0;
    int m_clearingTimeFocus = 0;
    int m_clearingTempoFocus = 0;
    bool m_closing = false;
};
