#include "audio_peak.h"

#include "audio_peak_thread.h"
#include "error_log.h"
#include "temp_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>

#include <algorithm>
#include <cstring>

AudioPeak::AudioPeak(const QString& audioPath, double stretchFactor, double sessionRate,
                     QObject* notify, int eventType)
    : m_audioPath(audioPath), m_stretchFactor(stretchFactor), m_sessionRate(sessionRate),
      m_notify(notify), m_eventType(eventType), m_peakPath(peakPath(audioPath, stretchFactor))
{
}

AudioPeak::~AudioPeak()
{
    if (m_thread) {
        m_thread->stop();
        m_thread->join();
    }
}

QString AudioPeak::peakPath(const QString& audioPath, double stretchFactor)
{
    return QDir(tempFolder())
        .filePath(QFileInfo(audioPath).fileName() + QLatin1Char('_') +
                  QString::number(stretchFactor, 'g', 6) + QStringLiteral(".pkf"));
}

bool AudioPeak::isBuilding() const
{
    return m_thread && m_thread->isRunning();
}

void AudioPeak::waitForBuild()
{
    if (m_thread)
        m_thread->join();
}

int AudioPeak::channels()
{
    if (m_channels > 0 && !isBuilding() && !QFile::exists(m_peakPath))
        restart(); // deleted under us: build again on this display
    if (!m_started) {
        // A peak file not older than its audio file is reused; otherwise it is built again.
        m_started = true;
        const QFileInfo audio(m_audioPath);
        const QFileInfo peaks(m_peakPath);
        m_reused = peaks.exists() && peaks.lastModified() >= audio.lastModified();
        if (m_reused)
            openForReading();
        else
            startBuild();
    }
    if (!m_failed && m_channels == 0)
        openForReading();
    return m_channels;
}

void AudioPeak::restart()
{
    if (m_thread)
        m_thread->join();
    m_thread.reset();
    QMutexLocker lock(&m_mutex);
    m_file.close();
    m_started = false;
    m_reused = false;
    m_failed = false;
    m_channels = 0;
    m_windowStart = 0;
    m_windowCount = 0;
}

void AudioPeak::startBuild()
{
    // Gone before the thread starts, so that no reader sees records of the old file.
    QFile::remove(m_peakPath);
    m_thread = std::make_unique<AudioPeakThread>(m_audioPath, m_peakPath, m_sessionRate,
                                                 m_stretchFactor, m_mutex, m_notify, m_eventType);
    m_thread->start(QThread::HighPriority);
}

bool AudioPeak::openForReading()
{
    QMutexLocker lock(&m_mutex);
    const bool building = isBuilding();
    if (!m_file.isOpen()) {
        m_file.setFileName(m_peakPath);
        if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            if (!building) {
                ErrorLog::add(QStringLiteral("AudioPeak: cannot open %1").arg(m_peakPath));
                m_failed = true;
            }
            return false;
        }
    }
    quint16 header[2] = {0, 0};
    m_file.seek(0);
    if (m_file.read(reinterpret_cast<char*>(header), sizeof header) != qint64(sizeof header)) {
        m_file.close();
        if (!building) {
            ErrorLog::add(QStringLiteral("AudioPeak: short header in %1").arg(m_peakPath));
            m_failed = true;
        }
        return false;
    }
    if (header[0] != 1024 || header[1] == 0) {
        ErrorLog::add(QStringLiteral("AudioPeak: bad header {%1, %2} in %3")
                          .arg(header[0])
                          .arg(header[1])
                          .arg(m_peakPath));
        m_file.close();
        m_failed = true;
        return false;
    }
    if (m_reused && m_audioChannels > 0 && header[1] != m_audioChannels) {
        ErrorLog::add(QStringLiteral("AudioPeak: %1 holds %2 channels, its audio file %3: built "
                                     "again")
                          .arg(m_peakPath)
                          .arg(header[1])
                          .arg(m_audioChannels));
        m_file.close();
        m_reused = false;
        startBuild();
        return false;
    }
    m_channels = header[1];
    return true;
}

long long AudioPeak::readRecords(long long first, long long count, unsigned char* out)
{
    QMutexLocker lock(&m_mutex);
    const long long size = 2LL * m_channels;
    const long long present = std::max(0LL, (m_file.size() - 4) / size - first);
    const long long n = std::min(count, present);
    if (n <= 0 || !m_file.seek(4 + first * size))
        return 0;
    const qint64 got = m_file.read(reinterpret_cast<char*>(out), n * size);
    return std::max<qint64>(0, got) / size;
}

void AudioPeak::fillWindow(long long first, long long count)
{
    const size_t size = 2 * size_t(m_channels);
    if (count > m_capacity) {
        m_capacity += 2 * count;
        m_window.resize(size_t(m_capacity) * size);
    }
    const long long end = m_windowStart + m_windowCount;
    if (first >= m_windowStart && first + count <= end)
        return;
    const long long shift = m_windowStart - first;
    if (shift > 0 && shift <= m_capacity && m_windowCount > 0) {
        // Shift the window right and read only the missing head.
        const long long keep = std::min(m_windowCount, m_capacity - shift);
        std::memmove(m_window.data() + size_t(shift) * size, m_window.data(), size_t(keep) * size);
        const long long head = readRecords(first, shift, m_window.data());
        m_windowCount = head == shift ? shift + keep : head;
        m_windowStart = first;
    } else if (first < m_windowStart || first > end || first + count - m_windowStart > m_capacity) {
        m_windowStart = first;
        m_windowCount = 0;
    }
    // Extend on the right by the records still missing.
    const long long from = m_windowStart + m_windowCount;
    const long long to = first + count;
    if (to > from)
        m_windowCount +=
            readRecords(from, to - from, m_window.data() + size_t(m_windowCount) * size);
}

long long AudioPeak::read(long long first, long long count, unsigned char* out)
{
    const int ch = channels();
    if (ch == 0 || count <= 0)
        return 0;
    const size_t size = 2 * size_t(ch);
    std::memset(out, 0, size_t(count) * size);
    const long long skip = first < 0 ? std::min(count, -first) : 0;
    first += skip;
    count -= skip;
    out += size_t(skip) * size;
    if (count == 0)
        return 0;
    fillWindow(first, count);
    const long long present = std::clamp(m_windowStart + m_windowCount - first, 0LL, count);
    if (present > 0)
        std::memcpy(out, m_window.data() + size_t(first - m_windowStart) * size,
                    size_t(present) * size);
    return present;
}
