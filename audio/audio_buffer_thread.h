#pragma once

#include <QThread>
#include <atomic>
#include <condition_variable>
#include <mutex>

/**
 * AudioBufferThread: the thread that fills one audio buffer's ring ahead of the play head, or
 * drains a recorder's ring to its file.
 *
 * It holds its mutex while it works and releases it only while it waits on its condition: it
 * runs the buffer's first fill, then syncs (serve seeks, fill) and waits, until it is stopped.
 * wake() comes from the process cycle and only signals when it can take the mutex at once
 * (try-lock): a wake-up lost while the thread works is harmless, because the thread asks the
 * buffer whether more work is due before it waits, and the cycle wakes it again.
 *
 * Threads: start() and stop() on the buffer's owner; wake() from any thread, never blocking;
 * run() is the thread itself. The mutex and condition are the standard library's, whose waits
 * ThreadSanitizer sees (a QWaitCondition unlocks inside QtCore, out of its sight).
 */
class AudioBufferThread : public QThread
{
public:
    /** What the thread works on: an AudioBuffer (reading) or an AudioRecorder (writing). */
    class Worker
    {
    public:
        virtual ~Worker() = default;
        /** Runs once first; the thread ends at once when it fails. */
        virtual bool firstFill() = 0;
        /** One step of work (fill or drain). */
        virtual void sync() = 0;
        /** True when the thread should not wait before another sync(). */
        virtual bool wantsSync() const = 0;
    };

    explicit AudioBufferThread(Worker* buffer);
    ~AudioBufferThread() override;

    /** Signals the thread when it waits; never blocks. */
    void wake();
    /** Clears the running flag and wakes the thread every 100 ms until it has ended. */
    void stop();

protected:
    void run() override;

private:
    Worker* m_buffer;
    std::mutex m_mutex;
    std::condition_variable m_condition;
    std::atomic<bool> m_running{true};
    // Set last by run(): acquired after the join, it orders everything the thread did before
    // whatever the owner does next (QThread::wait() joins inside QtCore, unseen by sanitizers).
    std::atomic<bool> m_finished{false};
};
