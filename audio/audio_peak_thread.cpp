#include "audio_peak_thread.h"

#include "audio_file.h"
#include "audio_format_registry.h"
#include "error_log.h"
#include "peak_accumulator.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QMutexLocker>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr long long blockFrames = 16384;

} // namespace

AudioPeakThread::AudioPeakThread(const QString& audioPath, const QString& peakPath,
                                 double sessionRate, double stretchFactor, QMutex& mutex,
                                 QObject* notify, int eventType)
    : m_audioPath(audioPath), m_peakPath(peakPath), m_sessionRate(sessionRate),
      m_stretchFactor(stretchFactor), m_mutex(mutex), m_notify(notify), m_eventType(eventType)
{
}

AudioPeakThread::~AudioPeakThread()
{
    stop();
    join();
}

void AudioPeakThread::run()
{
    build();
    QObject* notify = m_notify.data();
    if (notify)
        QCoreApplication::postEvent(notify, new QEvent(QEvent::Type(m_eventType)));
    m_finished.store(true, std::memory_order_release);
}

bool AudioPeakThread::build()
{
    auto audio = AudioFormatRegistry::instance().create(m_audioPath);
    if (!audio || !audio->open(m_audioPath, AudioFile::Reading)) {
        ErrorLog::add(QStringLiteral("AudioPeakThread: cannot read %1").arg(m_audioPath));
        return false;
    }
    const int channels = audio->channels();
    QFile peaks(m_peakPath);
    {
        QMutexLocker lock(&m_mutex);
        if (channels < 1 || channels > 0xffff ||
            !peaks.open(QIODevice::ReadWrite | QIODevice::Truncate)) {
            ErrorLog::add(QStringLiteral("AudioPeakThread: cannot create %1").arg(m_peakPath));
            return false;
        }
        const quint16 header[2] = {1024, quint16(channels)};
        peaks.write(reinterpret_cast<const char*>(header), sizeof header);
        peaks.flush();
    }
    if (m_sessionRate > 0.0 && m_stretchFactor > 0.0)
        m_framesPerRecord = std::max(
            1LL, std::llround(1024.0 * audio->sampleRate() / (m_sessionRate * m_stretchFactor)));

    std::vector<std::vector<float>> buffers(static_cast<size_t>(channels),
                                            std::vector<float>(blockFrames));
    std::vector<float*> pointers;
    for (auto& b : buffers)
        pointers.push_back(b.data());
    PeakAccumulator peakRecords(channels, m_framesPerRecord);
    long long records = 0;
    QByteArray batch;
    const auto writeBatch = [&] {
        QMutexLocker lock(&m_mutex);
        peaks.seek(4 + records * 2 * channels);
        peaks.write(batch);
        peaks.flush();
        records += batch.size() / (2 * channels);
        batch.clear();
    };
    while (m_running.load()) {
        const long long got = audio->read(pointers.data(), blockFrames);
        if (got <= 0)
            break;
        peakRecords.add(pointers.data(), got, batch);
        writeBatch();
    }
    peakRecords.finish(batch);
    writeBatch();
    QMutexLocker lock(&m_mutex);
    peaks.close();
    audio->close();
    return true;
}
