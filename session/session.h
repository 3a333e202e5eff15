#pragma once

#include "command_list.h"
#include "time_scale.h"

#include <QMutex>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class Track;
class Engine;
class SessionCursor;
class Clip;

/**
 * SongData: song-wide data a higher library keeps per session (the song structure state).
 * The session owns it and empties it with every new song.
 */
class SongData
{
public:
    virtual ~SongData() = default;
    virtual void reset() = 0;
};

/**
 * Session: the session, the one document every part of the program works on.
 *
 * It holds the tracks in display order, the time scale, the ranges (loop, punch, markers), the
 * mute / solo / record counters and both engines. Its only writers are the window and the commands
 * on the GUI thread. Every change an engine could see runs inside lockEdit() / unlockEdit(): the
 * audio callback calls tryLockEngine() each cycle and renders silence, untouched, when it fails;
 * the lock also holds the MIDI engine's output mutex, which keeps its output thread out.
 */
class Session
{
public:
    /** Makes the engine of a kind (Engine::AudioKind or MidiKind) for a new session. */
    using EngineFactory = std::function<std::unique_ptr<Engine>(Session* session, int kind)>;

    /** The process-wide session, created on first use and destroyed at exit. */
    static Session* instance();
    /** Sets how instance() makes its engines; call before the first instance(). */
    static void setEngineFactory(EngineFactory factory);

    /** A session with engines from the factory (base engines that play nothing when none). */
    explicit Session(const EngineFactory& factory = {});
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    /** Empties the session for a new song. */
    void clear();

    /** The song structure state; none until the song-making code installs it. */
    SongData* songData() const { return m_song.get(); }
    void setSongData(std::unique_ptr<SongData> song) { m_song = std::move(song); }

    // Undo list. Every structural edit is a command pushed here.
    CommandList& commands() { return m_commands; }
    /** Pushes the command onto the undo list, which applies it; the result of apply. */
    bool push(std::unique_ptr<Command> command) { return m_commands.push(std::move(command)); }

    /** What the "session properties" command swaps as a whole. */
    struct Properties
    {
        QString sessionDir;
        QString songName;
        QString comment;
        std::shared_ptr<const TimeScale> scale; // a copy of the time scale
    };
    /** The properties now, with a copy of the time scale. */
    Properties properties() const;
    /**
     * Replaces the properties. A new time scale keeps MIDI material on its beats, or, when its
     * resolution differs, everything on its frames. Call under the edit lock.
     */
    void setProperties(const Properties& props);

    // Document.
    TimeScale& scale() { return m_scale; }
    const QString& sessionDir() const { return m_sessionDir; }
    void setSessionDir(const QString& dir);
    const QString& songName() const { return m_songName; }
    void setSongName(const QString& name) { m_songName = name; }
    const QString& comment() const { return m_comment; }
    void setComment(const QString& text) { m_comment = text; }
    const QString& clientName() const { return m_clientName; }
    void setClientName(const QString& name) { m_clientName = name; }
    bool stretchAudio() const { return m_stretchAudio; }
    void setStretchAudio(bool on) { m_stretchAudio = on; }
    /** End of the last clip. 0 recomputes it from every clip; another value only raises it. */
    uint32_t endFrame() const { return m_endFrame; }
    void updateEnd(uint32_t frame);

    // Tracks.
    const std::vector<Track*>& tracks() const { return m_tracks; }
    int trackCount() const { return int(m_tracks.size()); }
    int indexOf(const Track* track) const;
    Track* currentTrack() const { return m_currentTrack; }
    void setCurrentTrack(Track* track) { m_currentTrack = track; }
    /** Adds the track after `after` (last when none); the session owns it from then on. */
    void addTrack(Track* track, Track* after = nullptr);
    /** Unlinks the track; the caller (a command) owns it from then on. */
    void removeTrack(Track* track);
    /** Relinks the track before `before` (at the end when none). */
    void moveTrack(Track* track, Track* before);
    /** After a clip of the track was added, removed, moved or resized. */
    void trackChanged(Track* track);
    /** The colours a new track gets: number = track count + 1. */
    void setNewTrackColours(Track* track) const;

    // Flags and their counters.
    void mute(Track* track, bool on);
    void solo(Track* track, bool on);
    void record(Track* track, bool on);
    /**
     * Takes the clip the track is recording into out of it (the recording goes on for other
     * tracks); the caller finishes it. None when the track records nothing.
     */
    std::unique_ptr<Clip> takeRecordingClip(Track* track);
    /** A track sounds while not muted and either nothing is soloed or it is soloed. */
    bool isAudible(const Track* track) const;
    uint32_t muteCount() const { return m_muteCount; }
    uint32_t soloCount() const { return m_soloCount; }
    uint32_t recordCount() const { return m_recordCount; }
    uint16_t audioTrackCount() const { return m_audioTrackCount; }
    uint16_t midiTrackCount() const { return m_midiTrackCount; }
    uint16_t lastTrackNumber() const { return m_lastTrackNumber; }

    // Ranges (frames, with cached ticks). A range is set when in < out.
    void setLoop(uint32_t in, uint32_t out);
    void setPunch(uint32_t in, uint32_t out);
    void setMarkerIn(uint32_t frame);
    void setMarkerOut(uint32_t frame);
    uint32_t loopIn() const { return m_loop.in; }
    uint32_t loopOut() const { return m_loop.out; }
    uint32_t loopInTick() const { return m_loop.inTick; }
    uint32_t loopOutTick() const { return m_loop.outTick; }
    bool isLoopSet() const { return m_loop.in < m_loop.out; }
    uint32_t punchIn() const { return m_punch.in; }
    uint32_t punchOut() const { return m_punch.out; }
    bool isPunchSet() const { return m_punch.in < m_punch.out; }
    uint32_t markerIn() const { return m_markerIn.frame; }
    uint32_t markerOut() const { return m_markerOut.frame; }
    uint32_t markerInTick() const { return m_markerIn.tick; }
    uint32_t markerOutTick() const { return m_markerOut.tick; }

    // Tempo, meter and resolution.
    /** Quarter-note tempo of the first node (120 when there is none). */
    float tempo() const;
    void setTempo(float bpm);
    void setMeter(uint16_t tempoUnit, uint16_t beatsPerBar, uint16_t beatUnit);
    void setTicksPerBeat(uint16_t ticks);
    void setSampleRate(uint32_t rate);
    /** MIDI material stays on its beats, audio keeps its frames, ranges follow their ticks. */
    void afterTempoChange();
    /** Everything keeps its frames; tick copies are computed again. */
    void afterMeterChange();
    /** Before the edit lock of a meter change: the clips read their files now (prepareReopen). */
    void prepareMeterChange();

    // Engines and transport.
    Engine* audioEngine() const { return m_audioEngine.get(); }
    Engine* midiEngine() const { return m_midiEngine.get(); }
    /** Replaces both engines (start-up installs the real ones); the old ones are cleaned. */
    void setEngines(std::unique_ptr<Engine> audio, std::unique_ptr<Engine> midi);
    QMutex& mutex() { return m_mutex; }
    bool ensureMasterBuses();
    bool isPlaying() const;
    bool isActive() const;
    bool isRecording() const { return m_recording; }
    void setPlaying(bool on);
    void startRecording(bool on);
    void locate(uint32_t frame);
    void locateCursors(uint32_t frame, bool seek);
    /** The audio engine's cursor frame. */
    uint32_t playHead() const;

    // Edit lock.
    void lockEdit();   // GUI thread; waits handling no events (see session_transport.cpp)
    void unlockEdit(); // GUI thread
    /** Audio thread, once per block: true when the session may be read this block. */
    bool tryLockEngine();
    /** Audio thread: ends the block's access. */
    void releaseEngine();
    bool isEditing() const;
    int editDepth() const { return m_editDepth.load(); }

    // File names.
    static QString sanitizeName(const QString& text);
    QString uniqueFileName(const QString& trackName, int number, const QString& extension) const;
    /** The file an audio recording writes to, in the system temporary folder. */
    static QString audioRecordingPath(const QString& extension = QStringLiteral("wav"));

    // Cursors register themselves.
    void addCursor(SessionCursor* cursor);
    void removeCursor(SessionCursor* cursor);
    const std::vector<SessionCursor*>& cursors() const { return m_cursors; }

private:
    struct Range
    {
        uint32_t in = 0, out = 0, inTick = 0, outTick = 0;
    };
    struct Marker
    {
        uint32_t frame = 0, tick = 0;
    };

    void createEngines(const EngineFactory& factory);
    void destroyTracks();
    void deleteTrack(Track* track);
    void updateLoopWindows();
    void updateLoopWindows(Track* track);
    void passOnAudibility(Track* track, bool audible);
    void armTrack(Track* track, bool on);
    uint32_t recordingStart() const;
    void waitForEngine(int milliseconds) const;

    QString m_sessionDir;
    QString m_songName;
    QString m_comment;
    TimeScale m_scale;
    uint32_t m_endFrame = 0;
    uint32_t m_recordCount = 0;
    uint32_t m_muteCount = 0;
    uint32_t m_soloCount = 0;
    Track* m_currentTrack = nullptr;
    std::vector<Track*> m_tracks;
    std::vector<SessionCursor*> m_cursors;
    QString m_clientName = QStringLiteral("Cantova");
    std::unique_ptr<Engine> m_midiEngine;
    std::unique_ptr<Engine> m_audioEngine;
    QMutex m_mutex;
    uint16_t m_audioTrackCount = 0;
    uint16_t m_midiTrackCount = 0;
    uint16_t m_lastTrackNumber = 0;
    std::vector<uint16_t> m_freeTrackNumbers;
    Marker m_markerIn, m_markerOut;
    Range m_loop, m_punch;
    bool m_recording = false;
    bool m_stretchAudio = false;
    std::atomic<int> m_editDepth{0};
    std::atomic<int> m_engineBusy{0};
    std::atomic<int> m_editGuard{0};
    std::unique_ptr<SongData> m_song;
    // Last, so commands (and the tracks and clips they own) go while the rest still exists.
    CommandList m_commands;
};
