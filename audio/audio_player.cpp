#include "audio_player.h"

#include "audio_buffer.h"
#include "audio_bus.h"

#include <QThread>
#include <algorithm>

AudioPlayer::AudioPlayer() = default;

AudioPlayer::~AudioPlayer()
{
    stop();
}

void AudioPlayer::lock()
{
    int expected = 0;
    while (!m_lock.compare_exchange_weak(expected, 1, std::memory_order_acquire)) {
        expected = 0;
        QThread::msleep(1);
    }
}

void AudioPlayer::unlock()
{
    m_lock.store(0, std::memory_order_release);
}

std::unique_ptr<AudioBuffer> AudioPlayer::swapBuffer(std::unique_ptr<AudioBuffer> buffer)
{
    lock();
    m_buffer.swap(buffer);
    m_position.store(0, std::memory_order_relaxed);
    m_playing.store(m_buffer != nullptr, std::memory_order_release);
    unlock();
    return buffer;
}

bool AudioPlayer::play(const QString& path, int sampleRate)
{
    stop();
    auto buffer = std::make_unique<AudioBuffer>(sampleRate);
    if (!buffer->open(path))
        return false;
    swapBuffer(std::move(buffer));
    return true;
}

void AudioPlayer::stop()
{
    // The old buffer is closed here, on the GUI thread, once the callback cannot reach it.
    swapBuffer(nullptr);
}

bool AudioPlayer::waitForFill(int timeoutMs)
{
    lock();
    const bool filled = m_buffer && m_buffer->waitForFill(timeoutMs);
    unlock();
    return filled;
}

void AudioPlayer::process(AudioBus* bus, uint32_t frames)
{
    if (!bus || !isPlaying())
        return;
    int expected = 0;
    if (!m_lock.compare_exchange_strong(expected, 1, std::memory_order_acquire))
        return;
    if (m_buffer) {
        const float gains[AudioBuffer::kMaxBusChannels] = {1, 1, 1, 1, 1, 1, 1, 1};
        const int channels = std::min(bus->channels(), AudioBuffer::kMaxBusChannels);
        if (m_buffer->isInSync(m_buffer->readPosition()))
            m_buffer->mix(bus->outputChannels(), channels, frames, 0, gains);
        const uint32_t position = m_position.load(std::memory_order_relaxed) + frames;
        m_position.store(position, std::memory_order_relaxed);
        m_playing.store(position < m_buffer->length(), std::memory_order_release);
    }
    unlock();
}
