#include "audio_buffer_thread.h"

namespace {
constexpr unsigned long kStopWakeMs = 100;
} // namespace

AudioBufferThread::AudioBufferThread(Worker* buffer) : m_buffer(buffer) {}

AudioBufferThread::~AudioBufferThread()
{
    stop();
}

void AudioBufferThread::wake()
{
    if (m_mutex.try_lock()) {
        m_condition.notify_one();
        m_mutex.unlock();
    }
}

void AudioBufferThread::stop()
{
    m_running.store(false, std::memory_order_release);
    while (isRunning()) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_condition.notify_all();
        }
        if (wait(kStopWakeMs))
            break;
    }
    m_finished.load(std::memory_order_acquire);
}

void AudioBufferThread::run()
{
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_buffer->firstFill()) {
            while (m_running.load(std::memory_order_acquire)) {
                m_buffer->sync();
                if (m_running.load(std::memory_order_acquire) && !m_buffer->wantsSync())
                    m_condition.wait(lock);
            }
        }
    }
    m_finished.store(true, std::memory_order_release);
}
