#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>

class AudioBuffer;
class AudioBus;

/**
 * AudioPlayer: previews an audio file on the engine's player bus, outside the song.
 *
 * The buffer is handed between the GUI thread and the audio callback under a lock word taken by
 * compare-and-swap (0 → 1): the callback only tries it and skips the cycle when it is held; the
 * GUI thread waits for it in short sleeps, so it never frees a buffer the callback is mixing.
 *
 * Threads: play() and stop() on the GUI thread; process() in the audio callback, where it never
 * blocks, allocates or logs; isPlaying() from any thread.
 */
class AudioPlayer
{
public:
    AudioPlayer();
    ~AudioPlayer();
    AudioPlayer(const AudioPlayer&) = delete;
    AudioPlayer& operator=(const AudioPlayer&) = delete;

    /** Starts the file from its beginning at the engine's rate; false when it cannot be read. */
    bool play(const QString& path, int sampleRate);
    /** Stops and closes the file. */
    void stop();
    bool isPlaying() const { return m_playing.load(std::memory_order_acquire); }
    /** Frames played since play(). */
    uint32_t position() const { return m_position.load(std::memory_order_relaxed); }
    /** For tests and renders: waits until the file is read ahead. */
    bool waitForFill(int timeoutMs);

    /** Audio callback: mixes `frames` frames into the bus from its first frame. */
    void process(AudioBus* bus, uint32_t frames);

private:
    void lock();
    void unlock();
    std::unique_ptr<AudioBuffer> swapBuffer(std::unique_ptr<AudioBuffer> buffer);

    std::unique_ptr<AudioBuffer> m_buffer;
    std::atomic<int> m_lock{0};
    std::atomic<bool> m_playing{false};
    std::atomic<uint32_t> m_position{0};
};
