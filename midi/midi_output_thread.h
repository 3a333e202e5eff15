#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

class Session;
class MidiEngine;

/**
 * MidiOutputThread: the MIDI engine's scheduling thread.
 *
 * It sleeps on a wake-up flag and, each time the audio process cycle raises it while the
 * session plays, processes one read-ahead window of the engine under the engine's output
 * mutex. The GUI thread holds that mutex while it starts playback, re-schedules a track or
 * edits the session, so a window never reads a session that changes.
 *
 * Threads: wake() runs in the audio callback and never locks: it raises the flag and wakes the
 * sleeping thread through the kernel (a futex), taking no mutex the thread could hold.
 * begin() and end() run on the owning (GUI) thread.
 */
class MidiOutputThread
{
public:
    /** readAhead 0 means half the session's sample rate (integer halving). */
    MidiOutputThread(MidiEngine* engine, Session* session, std::mutex* mutex,
                     uint32_t readAhead = 0);
    ~MidiOutputThread();
    MidiOutputThread(const MidiOutputThread&) = delete;
    MidiOutputThread& operator=(const MidiOutputThread&) = delete;

    uint32_t readAhead() const { return m_readAhead; }
    bool isRunning() const { return m_running.load(std::memory_order_acquire); }

    /** Sets the running flag and starts the thread. */
    void begin();
    /**
     * Audio thread: asks for one more window. Wake-ups that come while the thread is busy
     * fold into one; the thread processes a window after the last of them.
     */
    void wake();
    /** Clears the running flag, wakes the thread and waits until it has ended. */
    void end();

private:
    void run();

    MidiEngine* m_engine;
    Session* m_session;
    std::mutex* m_mutex;
    uint32_t m_readAhead;
    std::atomic<bool> m_running{false};
    std::atomic<uint32_t> m_wakeUps{0}; // 1 while a wake-up waits for the thread
    std::thread m_thread;
};
