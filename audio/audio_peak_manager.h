#pragma once

#include <QHash>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>

class AudioPeak;

/**
 * AudioPeakManager: hands out the shared AudioPeak of each (audio path, stretch factor), counting
 * references, and names the event a finished peak build posts to the notify object (views
 * repaint on it).
 *
 * Threads: GUI thread only.
 */
class AudioPeakManager
{
public:
    AudioPeakManager() = default;
    ~AudioPeakManager();
    AudioPeakManager(const AudioPeakManager&) = delete;
    AudioPeakManager& operator=(const AudioPeakManager&) = delete;

    /** The program's manager. */
    static AudioPeakManager& instance();
    /** The event type posted to the notify object when a build ends. */
    static int eventType();

    void setNotifyObject(QObject* notify) { m_notify = notify; }
    QObject* notifyObject() const { return m_notify; }
    /** Session frames per second the records are counted in; 0 counts in file frames. */
    void setSessionRate(double rate) { m_sessionRate = rate; }

    /** The peak object of (path, factor), made on first use; one reference more. */
    AudioPeak* acquire(const QString& audioPath, double stretchFactor);
    /** One reference less; the object goes when none is left. */
    void release(AudioPeak* peak);
    int count() const { return int(m_peaks.size()); }

private:
    using Key = QPair<QString, QString>;
    static Key keyOf(const QString& audioPath, double stretchFactor);

    QHash<Key, AudioPeak*> m_peaks;
    QPointer<QObject> m_notify;
    double m_sessionRate = 0.0;
};
