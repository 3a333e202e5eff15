#pragma once

#include "engine.h"
#include "sequencer_event.h"
#include "sequencer_layer.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class Track;
class Session;
class MidiBus;
class MidiClip;
class MidiEvent;
class MidiMonitor;
class MidiOutputThread;
class Clip;
class TimeScaleCursor;
struct TempoNode;

/** What the MIDI metronome plays: first beat of a bar and every other beat. */
struct MetronomeSound
{
    int channel = 9;                                         // zero-based: MIDI channel 10
    int barNote = 76, barVelocity = 96, barDuration = 48;    // duration in ticks
    int beatNote = 77, beatVelocity = 64, beatDuration = 24; // duration in ticks

    bool operator==(const MetronomeSound&) const = default;
};

/**
 * MidiEngine: the MIDI engine.
 *
 * Turns the session's MIDI tracks into timed sequencer events while the transport plays, adds
 * a metronome, and sends immediate messages (note previews, patches, volume and pan,
 * all-notes-off). Playback is scheduled ahead: the output thread keeps the queue between one
 * and two read-ahead windows (0.5 s of frames each) in front of the audio play head; the audio
 * process cycle wakes it through wakeOutput().
 *
 * Queue time: the queue runs at the tempo in force at the play head when playback starts, and
 * each event's queue time is taken from its frame on the session's tempo map. The sequencer
 * layer converts queue ticks to milliseconds at one fixed rate and ignores tempo events, so a
 * tempo change of the song moves the events' queue times instead of the queue's clock (with
 * one tempo this is the session tick minus the tick offset). The offsets drop by one loop
 * length at every loop wrap, so queue times keep rising.
 *
 * Threads: everything is GUI thread only unless stated otherwise. The window processing runs
 * on the output thread (or, with scheduleOnCycle, on the thread that calls wakeOutput) under
 * the output mutex; the GUI thread takes that mutex while it starts playback, re-schedules a
 * track, and for as long as the session's edit lock is held, so the output thread never reads
 * the session while it changes.
 */
class MidiEngine : public Engine
{
public:
    /** Called with every event handed to the sequencer layer (tests, meters). */
    using EventTap = void (*)(void* context, const SequencerEvent& event);

    explicit MidiEngine(Session* session, SequencerLayer* layer = &SequencerLayer::shared());
    ~MidiEngine() override;

    // The engine operation set, in the base class's order.
    /** Re-sends every track's volume and pan when resets were deferred. */
    void resetControls() override;
    /** Opens the sequencer layer and the metronome bus; false when the layer cannot open. */
    bool init() override;
    /** Starts the output thread; tick offset 0; monitors reset. */
    bool activate() override;
    /** Starts playback at the audio play head and schedules the first window at once. */
    bool start() override;
    /** Drops everything pending, stops the queue and shuts off every bus (no reset). */
    bool stop() override;
    bool deactivate() override;
    /** Deletes the metronome bus, ends the output thread and closes the layer. */
    bool clean() override;

    // Buses.
    Bus* createBus(const QString& name, int flags) override;
    void clearBuses() override;
    void openBus(Bus* bus) override;
    void closeBus(Bus* bus) override;
    void busesChanged() override;
    void busGainChanged(Bus* bus) override;
    void busPanningChanged(Bus* bus) override;
    std::unique_ptr<Monitor> createMonitor(Track* track, Bus* output) override;

    /**
     * Re-schedules a track from the play head after its audibility changed or its clips were
     * edited during playback. Silenced: sound-off and notes-off on its channel at once. Audible
     * again: the note-ons it withheld in the already scheduled range are queued from the play
     * head on.
     */
    void trackAudibilityChanged(Track* track, bool audible) override;
    /**
     * The session's edit lock keeps the output thread out of the session while it is held
     * (suspend() and resume() around a loop change need nothing more: they run inside it).
     */
    void editLocked() override;
    void editUnlocked() override;

    /**
     * Audio thread, once per playing cycle: wakes the output thread when the scheduled range
     * has come within one read-ahead of the play head. Never blocks or takes a lock: wake-ups
     * while the thread is busy fold into one more window. With scheduleOnCycle (offline
     * renders only) the window is processed here instead.
     */
    void wakeOutput() override;

    // Offline rendering.
    /** The clock the layer is opened on by init (System; AudioFrames for offline renders). */
    void setLayerClock(SequencerLayer::Clock clock) { m_layerClock = clock; }
    /**
     * When on, wakeOutput() processes the due window synchronously on the calling (render)
     * thread instead of waking the output thread, so an unpaced offline render with the layer
     * on Clock::AudioFrames is deterministic. Set while not playing. Offline only: processing
     * a window allocates in the scheduler, which a device's audio callback must not do. With
     * the session's audio engine on a real-time client, turning it on asserts in debug builds
     * and is refused otherwise (returns false, the output thread keeps scheduling); start()
     * checks again, for a client opened after the switch.
     */
    bool setScheduleOnCycle(bool on);
    bool scheduleOnCycle() const { return m_scheduleOnCycle.load(std::memory_order_acquire); }
    SequencerLayer* layer() const { return m_layer; }

    // Metronome.
    const MetronomeSound& metronomeSound() const { return m_metronome; }
    void setMetronomeSound(const MetronomeSound& sound);
    bool isMetronomeOn() const { return m_metronomeOn.load(std::memory_order_acquire); }
    void setMetronomeOn(bool on);
    bool metronomeOwnBus() const { return m_metronomeOwnBus; }
    /** True: a bus of its own named "Metronome"; false: the first output bus. */
    void setMetronomeOwnBus(bool own);
    MidiBus* metronomeBus() const { return m_metronomeBus; }

    // Immediate messages (direct events on the bus's port).
    /** Preview: velocity above 0 sends a note on, otherwise a note off, on the track's channel. */
    void playNote(Track* track, int key, int velocity);
    void playNote(MidiBus* bus, int channel, int key, int velocity, MidiMonitor* trackMonitor);
    /**
     * Program (>= 0) with an optional bank select: method 0 sends controllers 0 and 32, 1 only
     * controller 0, 2 only controller 32. A non-empty instrument name is kept in the patch map.
     */
    bool setPatch(MidiBus* bus, int channel, const QString& instrument, int bankMethod, int bank,
                  int program);
    /**
     * Every MIDI track's program (and bank, when above 0) on its channel, then its volume and
     * pan: what an output needs to play the song's instruments from wherever it starts.
     */
    void sendTrackPatches();
    /** Sound off and notes off on every patched channel; reset controllers when asked. */
    void shutOff(MidiBus* bus, bool reset);
    /**
     * Controller 7 from the track monitor's gain / controller 10 from its pan. While the layer
     * is closed the request is counted as a deferred reset, which resetControls() makes good.
     */
    void sendTrackVolume(Track* track);
    void sendTrackPan(Track* track);
    void sendTrackVolume(Track* track, float gain);
    void sendTrackPan(Track* track, float pan);
    /** 127 x gain and 63 x pan + 64, truncated and kept within 0..127. */
    static int volumeValue(float gain);
    static int panValue(float pan);
    /** Universal master volume and balance from the bus's output monitor (SysEx). */
    void sendMasterVolume(MidiBus* bus);
    void sendMasterBalance(MidiBus* bus);

    // Scheduling (output thread, under the output mutex).
    /** One read-ahead window from the MIDI cursor on, with loop wraps. */
    void processWindow();
    /**
     * Queue time of a session frame: queue ticks run at the queue tempo set at start, so a
     * tempo change of the song moves its events in ticks, never the queue's clock.
     */
    uint32_t queueTimeOfFrame(uint32_t frame) const;
    uint32_t queueTimeOfTick(uint32_t tick);
    /** A clip event at session tick `tick` with the clip's fade gain; see MidiClip::process. */
    void enqueue(MidiClip* clip, const MidiEvent& event, uint32_t tick, float gain);
    /** Frame/tick conversions on the engine's own tempo cursor (under the output mutex). */
    uint32_t frameToTick(uint32_t frame);
    uint32_t tickToFrame(uint32_t tick);

    // State, for the owner and the tests.
    uint32_t readAhead() const { return m_readAhead; }
    /** Session tick at queue time 0; drops by one loop length at each wrap (may go negative). */
    int64_t tickOffset() const { return m_tickOffset; }
    /** Session frame at queue time 0, likewise. */
    int64_t frameOffset() const { return m_frameOffset; }
    /** Queue ticks per frame at the queue tempo. */
    double queueRate() const { return m_queueRate; }
    uint64_t windowCount() const { return m_windowCount.load(std::memory_order_acquire); }
    float lastTempo() const { return m_lastTempo; }
    int deferredResets() const { return m_deferredResets; }
    MidiOutputThread* outputThread() const { return m_thread.get(); }
    std::mutex& outputMutex() { return m_outputMutex; }
    void setEventTap(EventTap tap, void* context);

private:
    /** False (after asserting in debug builds) when the audio cycles run in real time. */
    bool scheduleOnCycleAllowed() const;
    friend class MidiOutputThread;

    bool layerOpen() const { return m_layer && m_layer->isOpen(); }
    void handOver(const SequencerEvent& event);
    void sendScheduled(SequencerEvent event, MidiBus* bus, MidiMonitor* trackMonitor);
    void sendDirect(MidiBus* bus, SequencerEvent event, MidiMonitor* trackMonitor = nullptr);
    void sendController(MidiBus* bus, int channel, int controller, int value);
    void sendSysEx(MidiBus* bus, const uint8_t* bytes, uint32_t length);

    void startQueue(uint32_t frame);
    void processRange(uint32_t a, uint32_t b);
    void processTracks(uint32_t a, uint32_t b);
    void processTrackClips(Track* track, Clip* from, uint32_t a, uint32_t b);
    void queueTempoChange(uint32_t a, uint32_t b);
    void queueMetronome(uint32_t a, uint32_t b);
    void queueClick(uint32_t tick, bool bar);
    void retimeMonitors();
    void resetMonitors();
    void wrapOffsets(uint32_t loopIn, uint32_t loopOut);
    void moveMidiCursor(uint32_t frame);
    void rescheduleNoteOns(Track* track, uint32_t from);
    void endThread();

    void openMetronomeBus();
    void closeMetronomeBus();
    void resetTrackControls();
    MidiBus* midiBus(Bus* bus) const;
    MidiMonitor* trackMonitor(Track* track) const;
    void holdOutput();
    void releaseOutput();

    SequencerLayer* m_layer;
    SequencerLayer::Clock m_layerClock = SequencerLayer::Clock::System;
    int m_clientId = -1;
    int m_queueId = -1;
    int64_t m_tickOffset = 0;
    int64_t m_frameOffset = 0;
    double m_queueRate = 0.0;
    float m_lastTempo = 0.0f;
    std::atomic<bool> m_metronomeOn{false};
    bool m_metronomeOwnBus = false;
    MetronomeSound m_metronome;
    MidiBus* m_metronomeBus = nullptr;
    std::unique_ptr<MidiBus> m_ownMetronomeBus;
    int m_deferredResets = 0;
    std::unique_ptr<TimeScaleCursor> m_tempoCursor;
    int m_nextPort = 0;

    std::unique_ptr<MidiOutputThread> m_thread;
    // The thread wakeOutput() wakes: the audio callback reads it, endThread() clears it first.
    std::atomic<MidiOutputThread*> m_wakeTarget{nullptr};
    std::mutex m_outputMutex; // a pthread mutex: thread checkers see its ordering
    int m_outputHolds = 0;    // GUI thread: nested holds of the output mutex
    bool m_editHeld = false;  // GUI thread: one of the holds belongs to the session's edit lock
    uint32_t m_readAhead = 0;
    std::atomic<uint32_t> m_scheduledCount{0}; // mirror of the MIDI cursor's frame count
    std::atomic<bool> m_scheduleOnCycle{false};
    bool m_noteOnsOnly = false; // re-scheduling a track that was silenced
    std::atomic<uint64_t> m_windowCount{0};

    // Tracks silenced during playback, with the window count at that moment (GUI thread).
    struct Silenced
    {
        Track* track;
        uint64_t window;    // windows processed before it was silenced
        uint32_t scheduled; // how far MIDI was scheduled then (frame)
    };
    std::vector<Silenced> m_silenced;

    EventTap m_tap = nullptr;
    void* m_tapContext = nullptr;
};
