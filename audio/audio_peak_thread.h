#pragma once

#include <QMutex>
#include <QPointer>
#include <QString>
#include <QThread>

#include <atomic>

/**
 * AudioPeakThread: builds a peak file (.pkf) for one audio file in the background.
 *
 * The file starts with a header {u16 1024, u16 channels}; then one record per period of source
 * frames, per channel a peak byte (255 × largest absolute sample) and an RMS byte (255 × root
 * mean square), both capped at 255. A period covers 1024 session frames: round(1024 × file rate ÷
 * (session rate × stretch factor)) source frames, or 1024 when no session rate is known.
 *
 * Threads: constructed, started, stopped and waited for on the GUI thread; run() on its own
 * thread. Records are written in place under the mutex shared with the readers of the peak
 * file, so a reader sees whole records only. When run() ends it posts an event of `eventType` to
 * the notify object, if that still exists.
 */
class AudioPeakThread : public QThread
{
    Q_OBJECT
public:
    AudioPeakThread(const QString& audioPath, const QString& peakPath, double sessionRate,
                    double stretchFactor, QMutex& mutex, QObject* notify, int eventType);
    ~AudioPeakThread() override;

    /** Clears the running flag; the build ends after the block being read. */
    void stop() { m_running.store(false); }
    /**
     * Waits until the thread has ended. The flag run() sets last, acquired here, orders all it
     * did before what the caller does next: QThread::wait() joins inside QtCore, where
     * ThreadSanitizer cannot see it.
     */
    void join()
    {
        wait();
        m_finished.load(std::memory_order_acquire);
    }
    /** Source frames per record of the last build (1024 until the audio file is open). */
    long long framesPerRecord() const { return m_framesPerRecord; }

protected:
    void run() override;

private:
    bool build();

    QString m_audioPath;
    QString m_peakPath;
    double m_sessionRate;
    double m_stretchFactor;
    QMutex& m_mutex;
    QPointer<QObject> m_notify;
    int m_eventType;
    std::atomic<bool> m_running{true};
    std::atomic<bool> m_finished{false};
    long long m_framesPerRecord = 1024;
};
