#pragma once

#include "frame_clock_listener.h"
#include "mpsc_ring.h"
#include "realtime_error_relay.h"
#include "scheduler_thread.h"
#include "sequencer_event.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>

class MidiOutput;
typedef struct _fluid_sequencer_t fluid_sequencer_t;
typedef struct _fluid_event_t fluid_event_t;

/**
 * The sequencer layer: the operation set the MIDI engine schedules its events through.
 *
 * FluidSynth's sequencer serves as a millisecond scheduler (time scale 1000 units per second).
 * Its client "Cantova" receives every event at its time and writes it as a short message to
 * the MIDI output (the built-in synthesizer or an ALSA port, chosen in the settings).
 *
 * The scheduler runs on one of two clocks. Clock::System: a timer thread of its own delivers
 * events at each millisecond of the system clock. Clock::AudioFrames: an offline audio client
 * advances the scheduler from its process cycle (advanceToFrame), so an offline render is
 * deterministic and every message carries the millisecond of the frame it belongs to. Either
 * way all deliveries happen on one thread, which lets the outputs use single-producer rings.
 *
 * That delivery thread owns the scheduler: nothing else calls into it while the layer is open.
 * Other threads hand their events over as plain requests through a preallocated lock-free ring
 * (kRequestCapacity); the delivery thread takes them at the start of each millisecond it
 * delivers and schedules them, so it never waits for a lock another thread holds. A full ring
 * drops the event, outputEvent returns -1 and the count reaches the error log.
 *
 * Threads: open, close and setOutput on the owning ordinary thread, while no other thread uses
 * the layer. The queue operations and outputEvent are safe from the MIDI output thread and the
 * main thread at once (they only push into the ring; the layer's fields are atomics).
 * Operations on a closed layer return -1 and do nothing.
 */
class SequencerLayer : public FrameClockListener
{
public:
    enum class Clock
    {
        System,
        AudioFrames
    };

    static constexpr int kQueueStart = SequencerEvent::Start;
    static constexpr int kQueueStop = SequencerEvent::Stop;
    /** Requests the ring holds between two deliveries: several dense read-ahead windows. */
    static constexpr size_t kRequestCapacity = 16384;

    SequencerLayer();
    ~SequencerLayer() override;

    SequencerLayer(const SequencerLayer&) = delete;
    SequencerLayer& operator=(const SequencerLayer&) = delete;

    /** The program's one sequencer layer. */
    static SequencerLayer& shared();

    /**
     * The output to open with the layer. Not owned; it must outlive the open layer. Without one
     * the layer creates the output chosen in the settings (MidiOutputs).
     */
    void setOutput(MidiOutput* output);

    /**
     * Whether open() still succeeds when the output cannot be opened (the built-in synthesizer
     * without a SoundFont, an ALSA port that went away): events are then delivered to nothing,
     * audio plays on, and outputProblem() says why MIDI is silent. Off by default, so a song
     * render without its synthesizer is refused. Set while closed.
     */
    void setOpensWithoutOutput(bool on) { m_opensWithoutOutput = on; }
    /** Why the open layer has no output; empty when it has one. Owner's thread. */
    QString outputProblem() const { return m_outputProblem; }

    /** Opens the scheduler, its client and the output. 0 on success (also when already open). */
    int open(Clock clock = Clock::System);
    /** Unregisters the client, deletes the scheduler and closes the output. */
    int close();
    bool isOpen() const { return m_sequencer != nullptr; }

    /** Program-wide playback latency in seconds, added to every scheduled event. */
    void setPlaybackLatency(double seconds);
    double playbackLatency() const { return m_latency.load(std::memory_order_relaxed); }

    int setQueueTempo(uint32_t ticksPerBeat, uint32_t microsecondsPerQuarter);
    int queueTempo(uint32_t* ticksPerBeat, uint32_t* microsecondsPerQuarter) const;
    /** kQueueStart records the start time; kQueueStop silences everything of this client. */
    int controlQueue(int type);
    /** Queue time in ticks since the start. */
    uint32_t queuePosition() const;
    /**
     * Converts one event and hands it to the delivery thread, which schedules it (direct events
     * go out at the next millisecond). -1 when the layer is closed or the request ring is full.
     */
    int outputEvent(const SequencerEvent& event);

    /** Scheduler time in milliseconds: the earliest time a new event can be delivered. */
    int64_t nowMs() const;

    /** Clock::AudioFrames only, on the render thread: delivers everything before endFrame. */
    void advanceToFrame(int64_t endFrame) override;

    /** Moves failures of the delivery thread into the error log now. Ordinary threads only. */
    void flushErrors() { m_errors.flush(); }

    // The rest of the set does nothing: no MIDI input is ever delivered and the enumerations
    // list no clients and no ports.
    int setClientName(const char*) { return 0; }
    int clientId() const { return 0; }
    int allocQueue() { return 0; }
    int freeQueue(int) { return 0; }
    int createPort(const char*) { return 0; }
    int deletePort(int) { return 0; }
    int dropOutput() { return 0; }
    int drainOutput() { return 0; }
    int pollDescriptorsCount() const { return 0; }
    int poll() { return -1; }
    int inputPending() { return -1; }
    int eventInput(SequencerEvent** event)
    {
        *event = nullptr;
        return 0;
    }
    int clientCount() const { return 0; }
    int portCount(int) const { return 0; }

private:
    /** One scheduler operation, handed from any thread to the delivery thread. */
    struct Request
    {
        enum Kind : uint8_t
        {
            Note, // a note on at timeMs and its off at offTimeMs
            NoteOn,
            NoteOff,
            Controller,
            ProgramChange,
            PitchBend,
            StopAll, // drop everything pending, then all notes off on every channel
        };
        Kind kind = NoteOn;
        uint8_t channel = 0;
        int16_t parameter = 0; // key or controller number
        int32_t value = 0;     // velocity or controller, program or bend value
        int64_t timeMs = 0;
        int64_t offTimeMs = 0;
    };

    bool request(const Request& request);
    /** Delivery thread: schedules every request handed over so far. */
    void takeRequests();
    void scheduleRequest(const Request& request);
    static void deliver(unsigned int time, fluid_event_t* event, fluid_sequencer_t*, void* data);
    static void tick(int64_t nowMs, void* layer);
    void advanceToMs(int64_t ms);
    int openOutput();
    void closeOutput();
    int64_t scheduledTime(uint64_t tick) const;
    void schedule(fluid_event_t* event, int64_t timeMs);
    int scheduleNote(const SequencerEvent& event);
    void stopQueue();

    fluid_sequencer_t* m_sequencer = nullptr;
    short m_clientId = -1;
    Clock m_clock = Clock::System;
    MidiOutput* m_chosenOutput = nullptr;
    std::unique_ptr<MidiOutput> m_ownOutput;
    MidiOutput* m_output = nullptr; // read by the delivery thread while open
    bool m_opensWithoutOutput = false;
    QString m_outputProblem;
    SchedulerThread m_timer;
    RealtimeErrorRelay m_errors;
    MpscRing<Request> m_requests{kRequestCapacity};
    std::atomic<unsigned> m_droppedRequests{0};
    fluid_event_t* m_event = nullptr; // the delivery thread's scratch event

    std::atomic<int64_t> m_lastProcessedMs{-1}; // written by the delivery thread only
    std::atomic<uint32_t> m_ticksPerBeat{500};
    std::atomic<uint32_t> m_tempo{500000};
    std::atomic<double> m_ticksPerSecond{1000.0};
    std::atomic<double> m_timeScale{1000.0};
    std::atomic<int64_t> m_startTime{0};
    std::atomic<double> m_latency{0.0};
};
