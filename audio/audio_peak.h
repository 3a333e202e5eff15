#pragma once

#include <QFile>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <vector>

class AudioPeakThread;

/**
 * AudioPeak: the peak records of one audio file at one time-stretch factor, read from its peak
 * file (.pkf) in the system temporary folder.
 *
 * A peak file not older than its audio file is read; an older or missing one is rebuilt by an
 * AudioPeakThread started on the first request, and again when a readable file is deleted.
 * While it builds, requests return the records already written. A record holds, per channel, a
 * peak byte then an RMS byte (0..255), for 1024 session frames. Reads go through a cache window
 * so that scrolling reads only new records.
 *
 * Objects are shared and reference counted through AudioPeakManager.
 *
 * Threads: everything on the GUI thread; the builder thread shares the mutex, which guards the
 * peak file while records are written and read.
 */
class AudioPeak
{
public:
    AudioPeak(const QString& audioPath, double stretchFactor, double sessionRate, QObject* notify,
              int eventType);
    ~AudioPeak();

    /** `<file name>_<factor, g, 6>.pkf` in the system temporary folder (`tempFolder()`). */
    static QString peakPath(const QString& audioPath, double stretchFactor);

    QString audioPath() const { return m_audioPath; }
    double stretchFactor() const { return m_stretchFactor; }
    /** Channels of the records; 0 while unknown (no peaks yet, or none at all). */
    int channels();
    /**
     * The audio file's channels, when its opener knows them (0: unknown). A reused peak file
     * with another count is built again rather than read with the wrong record size.
     */
    void setAudioChannels(int channels) { m_audioChannels = channels; }
    /** True while the builder thread runs. */
    bool isBuilding() const;
    /** Blocks until a running build has ended (for batch work and tests). */
    void waitForBuild();

    /**
     * Fills out with records [first, first + count): count × 2 × channels() bytes. Records not
     * in the file read as zeros. Returns the records present in the file; fewer than count near
     * the end or while the file is still being written.
     */
    long long read(long long first, long long count, unsigned char* out);

    int references = 0;

private:
    bool openForReading();
    void startBuild();
    void restart();
    long long recordsInFile();
    long long readRecords(long long first, long long count, unsigned char* out);
    void fillWindow(long long first, long long count);

    QString m_audioPath;
    double m_stretchFactor;
    double m_sessionRate;
    QPointer<QObject> m_notify;
    int m_eventType;
    QString m_peakPath;
    QMutex m_mutex;
    QFile m_file;
    std::unique_ptr<AudioPeakThread> m_thread;
    int m_channels = 0;
    bool m_started = false;
    bool m_reused = false; // the peak file was there before, not built by this object
    int m_audioChannels = 0;
    bool m_failed = false;
    // The cache window: records [m_windowStart, m_windowStart + m_windowCount) in m_window,
    // room for m_capacity records.
    std::vector<unsigned char> m_window;
    long long m_windowStart = 0;
    long long m_windowCount = 0;
    long long m_capacity = 0;
};
