#include "audio_peak_manager.h"

#include "audio_peak.h"

#include <QEvent>

AudioPeakManager::~AudioPeakManager()
{
    qDeleteAll(m_peaks);
}

AudioPeakManager& AudioPeakManager::instance()
{
    static AudioPeakManager manager;
    return manager;
}

int AudioPeakManager::eventType()
{
    static const int type = QEvent::registerEventType();
    return type;
}

AudioPeakManager::Key AudioPeakManager::keyOf(const QString& audioPath, double stretchFactor)
{
    return {audioPath, QString::number(stretchFactor, 'g', 6)};
}

AudioPeak* AudioPeakManager::acquire(const QString& audioPath, double stretchFactor)
{
    const Key key = keyOf(audioPath, stretchFactor);
    AudioPeak*& peak = m_peaks[key];
    if (!peak)
        peak = new AudioPeak(audioPath, stretchFactor, m_sessionRate, m_notify, eventType());
    ++peak->references;
    return peak;
}

void AudioPeakManager::release(AudioPeak* peak)
{
    if (!peak || --peak->references > 0)
        return;
    m_peaks.remove(keyOf(peak->audioPath(), peak->stretchFactor()));
    delete peak;
}
