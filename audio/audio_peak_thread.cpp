#include "audio_peak_thread.h"

#include "audio_file.h"
#include "audio_format_registry.h"
#include "error_log.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QMutexLocker>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr long long blockFrames = 16384;

/** Peak and sum of squares of one channel over the current period. */
struct ChannelSums
{
    float peak = 0.0f;
    double squares = 0.0;
};

void addSamples(const float* samples, long long n, ChannelSums& sums)
{
    float peak = sums.peak;
    float squares = 0.0f;
    for (long long k = 0; k < n; ++k) {
        const float v = std::fabs(samples[k]);
        peak = v > peak ? v : peak;
        squares += v * v;
    }
    sums.peak = peak;
    sums.squares += double(squares);
}

unsigned char scaled(double value)
{
    return static_cast<unsigned char>(std::min(255.0, std::floor(255.0 * value)));
}

/** Appends the record of the sums over `frames` frames and clears them. */
void appendRecord(std::vector<ChannelSums>& sums, long long frames, QByteArray& out)
{
    for (ChannelSums& s : sums) {
        out.append(char(scaled(s.peak)));
        out.append(char(scaled(std::sqrt(s.squares / double(frames)))));
        s = ChannelSums{};
    }
}

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
    std::vector<ChannelSums> sums(static_cast<size_t>(channels));
    long long inPeriod = 0;
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
        for (long long k = 0; k < got;) {
            // The rest of the current period, one channel at a time (vectorises).
            const long long n = std::min(got - k, m_framesPerRecord - inPeriod);
            for (int c = 0; c < channels; ++c)
                addSamples(buffers[size_t(c)].data() + k, n, sums[size_t(c)]);
            k += n;
            inPeriod += n;
            if (inPeriod == m_framesPerRecord) {
                appendRecord(sums, inPeriod, batch);
                inPeriod = 0;
            }
        }
        writeBatch();
    }
    if (inPeriod > 0)
        appendRecord(sums, inPeriod, batch);
    writeBatch();
    QMutexLocker lock(&m_mutex);
    peaks.close();
    audio->close();
    return true;
}
