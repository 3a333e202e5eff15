#include "audio_buffer_thread.h"

#include "audio_buffer.h"

namespace {
constexpr unsigned long kStopWakeMs = 100;
} // namespace

AudioBufferThread::AudioBufferThread(AudioBuffer* buffer) : m_buffer(buffer) {}

AudioBufferThread::~AudioBufferThread()
{
    stop();
}

void AudioBufferThread::wake()
{
    if (m_mutex.tryLock()) {
        m_condition.wakeOne();
        m_mutex.unlock();
    }
}

void AudioBufferThread::stop()
{
    m_running.store(false, std::memory_order_release);
    if (!isRunning())
        return;
    do {
        m_mutex.lock();
        m_condition.wakeAll();
        m_mutex.unlock();
    } while (!wait(kStopWakeMs));
}

void AudioBufferThread::run()
{
    QMutexLocker lock(&m_mutex);
    if (!m_buffer->firstFill())
        return;
    while (m_running.load(std::memory_order_acquire)) {
        m_buffer->sync();
        if (m_running.load(std::memory_order_acquire) && !m_buffer->wantsSync())
            m_condition.wait(&m_mutex);
    }
}
