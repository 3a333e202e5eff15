#pragma once

#include "bus.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class Track;
class Session;
class SessionCursor;
class Clip;
class Monitor;

/**
 * Engine: the base of the audio engine and the MIDI engine.
 *
 * The operations reset controls, init, activate, start, stop, deactivate and clean are its
 * virtual slots in that order. This base class is also a working engine that plays nothing:
 * the session uses it until the real engines are installed, and tests use it to drive the
 * session without devices. Each engine owns the session cursor of its track kind and its buses.
 * All methods are GUI thread only unless stated otherwise.
 */
class Engine
{
public:
    enum Kind { NoKind = 0, AudioKind = 1, MidiKind = 2 };

    Engine(Session* session, int kind);
    virtual ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // The engine operation set, in this order.
    virtual void resetControls() {}
    virtual bool init();
    virtual bool activate();
    virtual bool start();
    virtual bool stop();
    virtual bool deactivate();
    virtual bool clean();

    bool isInitialized() const { return m_initialized; }
    bool isActivated() const { return m_activated; }
    /** Safe from any thread. */
    bool isPlaying() const { return m_playing.load(std::memory_order_acquire); }

    int kind() const { return m_kind; }
    Session* session() const { return m_session; }
    /** The session cursor of this engine's kind: the audio play head, or how far MIDI is scheduled. */
    SessionCursor* cursor() const { return m_cursor.get(); }

    // Buses. The engine owns them; tracks keep pointers resolved by attach().
    const std::vector<std::unique_ptr<Bus>>& buses() const { return m_buses; }
    virtual Bus* createBus(const QString& name, int flags);
    Bus* findBus(const QString& name) const;
    /** The first bus with the given flag bit, or none. */
    Bus* firstBus(int flag) const;
    /** Closes and deletes every bus; tracks must have been detached first. */
    virtual void clearBuses();
    /** Position of the bus in the list, -1 when it is not the engine's. */
    int busIndex(const Bus* bus) const;
    /** Takes the bus out of the list (closed first); the caller owns it. None when not found. */
    std::unique_ptr<Bus> takeBus(Bus* bus);
    /** Puts a bus into the list at index (the end when out of range) and opens it. */
    Bus* insertBus(std::unique_ptr<Bus> bus, int index = -1);
    /** Opens the bus's device side (a MIDI port) when the engine is initialised. */
    virtual void openBus(Bus* bus) { (void)bus; }
    /** Silences and closes the bus's device side. */
    virtual void closeBus(Bus* bus) { (void)bus; }
    /** After buses were added, removed or changed: re-pick the metronome and player buses. */
    virtual void busesChanged() {}
    /** A bus monitor's gain or pan changed (the MIDI engine sends master volume or balance). */
    virtual void busGainChanged(Bus* bus) { (void)bus; }
    virtual void busPanningChanged(Bus* bus) { (void)bus; }

    /** The gain and pan stage for a track with an output bus; the engine's own kind. */
    virtual std::unique_ptr<Monitor> createMonitor(Track* track, Bus* output);

    /**
     * Asks the engine to fade its output in (+1) or out (-1) and waits, processing events, until
     * the process cycle took the request. Engines without a process cycle do nothing.
     */
    virtual void requestFade(int direction) { (void)direction; }

    /** Stops and resumes the engine's processing around a change of the loop range. */
    virtual void suspend() {}
    virtual void resume() {}

    /**
     * The session's edit lock was taken (outermost lockEdit) or released (outermost unlockEdit).
     * The MIDI engine keeps its output thread out of the session in between.
     */
    virtual void editLocked() {}
    virtual void editUnlocked() {}

    /** A track's audibility changed under mute and solo while the engines run. */
    virtual void trackAudibilityChanged(Track* track, bool audible)
    {
        (void)track;
        (void)audible;
    }

    /**
     * Audio thread, once per playing process cycle: lets the MIDI engine schedule the next
     * window ahead of the play head. Must never block, lock or allocate.
     */
    virtual void wakeOutput() {}

    /** Moves the device client's transport, when the engine has a device client. */
    virtual bool hasDeviceClient() const { return false; }
    /** True when the engine's cycles run on a sound card's real-time callback. */
    virtual bool hasRealTimeClient() const { return false; }
    virtual void locateDeviceClient(uint32_t frame) { (void)frame; }

    /**
     * Makes the clip a record-armed track of this engine's kind records into, starting at
     * frame start; none when the engine cannot record. The caller adds it to the track.
     */
    virtual Clip* createRecordingClip(Track* track, uint32_t start);
    /**
     * Ends a take: closes the record clip taken from its track and makes the clip that joins the
     * track, the take ending at frame end. None when nothing was recorded (the take ends at or
     * before its start). The base keeps the clip, at its start with length end − start.
     */
    virtual std::unique_ptr<Clip> finishRecordingClip(std::unique_ptr<Clip> recorded, uint32_t end);

private:
    Session* m_session;
    int m_kind;
    bool m_initialized = false;
    bool m_activated = false;
    std::atomic<bool> m_playing{false};
    std::unique_ptr<SessionCursor> m_cursor;
    std::vector<std::unique_ptr<Bus>> m_buses;

protected:
    void setPlaying(bool playing) { m_playing.store(playing, std::memory_order_release); }
};
