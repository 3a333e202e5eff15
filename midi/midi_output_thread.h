#pragma once

#include <QMutex>
#include <QThread>
#include <QWaitCondition>
#include <atomic>
#include <cstdint>

class Session;
class MidiEngine;

/**
 * MidiOutputThread: the MIDI engine's scheduling thread.
 *
 * It sleeps on its wait condition and, each time the audio process cycle wakes it while the
 * session plays, processes one read-ahead window of the engine. The mutex is the engine's
 * output mutex: the thread holds it while it processes, and the GUI thread takes it while it
 * starts playback, re-schedules a track or edits the session.
 *
 * wake() is safe from the audio thread: it only try-locks. end() runs on the owning thread.
 */
class MidiOutputThread : public QThread
{
public:
    /** readAhead 0 means half the session's sample rate (integer halving). */
    MidiOutputThread(MidiEngine* engine, Session* session, QMutex* mutex, uint32_t readAhead = 0);
    ~MidiOutputThread() override;

    uint32_t readAhead() const { return m_readAhead; }
    bool isRunning() const { return m_running.load(std::memory_order_acquire); }

    /** Sets the running flag and starts the thread at high priority. */
    void begin();
    /**
     * Audio thread: wakes the thread when its mutex can be had at once. False when the thread
     * was busy (this cycle's wake-up is skipped).
     */
    bool wake();
    /**
     * Clears the running flag and wakes the thread every 100 ms until it has ended. The caller
     * must not hold the mutex.
     */
    void end();

protected:
    void run() override;

private:
    MidiEngine* m_engine;
    Session* m_session;
    QMutex* m_mutex;
    QWaitCondition m_condition;
    uint32_t m_readAhead;
    std::atomic<bool> m_running{false};
};
