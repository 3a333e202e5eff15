#pragma once

#include "audio_buffer_thread.h"
#include "resampling_reader.h"
#include "time_stretcher.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class AudioFile;

/**
 * AudioBuffer: a lock-free ring of one audio file's frames, filled ahead of the play head by
 * its own AudioBufferThread, converted to the engine's sample rate (libsamplerate) and
 * time-stretched (TimeStretcher) on the way in, and mixed into bus channels by the process
 * cycle. Positions are clip frames: frame 0 is the file's frame at the clip's offset, in engine
 * frames after conversion and stretch.
 *
 * The ring is single-producer (the buffer thread writes the frames and m_writeIndex) and
 * single-consumer (the process cycle reads the frames and moves m_readIndex). Both indices run
 * freely and are masked with size − 1 on use; each side publishes its index with a release
 * store and reads the other's with an acquire load. A seek the ring cannot serve crosses to the
 * thread as a request: the consumer stores the target, then raises m_seekRequests (release);
 * the thread serves it and stores the count it served in m_seeksServed (release). While the two
 * differ the consumer neither reads nor moves m_readIndex, so the thread may empty the ring by
 * setting its write index to the read index.
 *
 * A clip whose every frame fits in the ring is held whole after the first fill: the thread stops
 * reading and seeks and loops only move the read index.
 *
 * Threads:
 * - GUI thread (or any one owner): construction, the setters, open(), close(), setLoop() while
 *   the engine does not process the buffer (the session's edit lock, or before the engine runs).
 * - The consumer side (seek(), isInSync(), mix(), read()) runs in the audio callback, or on the
 *   owner's thread while no callback can reach the buffer. It never locks, allocates, frees or
 *   logs; wake() only try-locks.
 * - firstFill() and sync() run on the buffer thread only.
 * - The getters of sizes and state are safe from any thread.
 */
class AudioBuffer : public AudioBufferThread::Worker
{
public:
    static constexpr uint32_t kMinRingFrames = 4096;
    static constexpr uint32_t kMaxRingFrames = 131072;
    /** Longest de-click ramp, in frames. */
    static constexpr uint32_t kDeclickFrames = 32;
    /** Bus channels mix() serves. */
    static constexpr int kMaxBusChannels = 8;

    /** Ring size, refill threshold and read chunk for a clip length and resample ratio. */
    struct Layout
    {
        uint32_t size = kMinRingFrames;
        uint32_t threshold = kMinRingFrames / 4;
        uint32_t chunk = kMinRingFrames / 16;
    };
    static Layout layoutFor(uint64_t length, double ratio);
    /**
     * The length in engine frames a clip of the whole file gets: its frames × ratio × stretch,
     * rounded half away from zero. Audio to MIDI and the command line size a file's region by it.
     */
    static uint32_t wholeLength(long long fileFrames, double ratio, float stretch);

    /** Program-wide options read at open(): stretching allowed (on), quick seek (off). */
    static void setStretchAllowed(bool on);
    static bool isStretchAllowed();
    static void setQuickSeek(bool on);
    static bool isQuickSeek();

    /** A buffer producing frames at the engine's sample rate. */
    explicit AudioBuffer(int sampleRate);
    ~AudioBuffer() override;
    AudioBuffer(const AudioBuffer&) = delete;
    AudioBuffer& operator=(const AudioBuffer&) = delete;

    // Set up before open().
    /** File frames skipped before clip frame 0, in engine frames (after conversion, stretch). */
    void setOffset(uint32_t frames) { m_offset = frames; }
    /** Clip length in engine frames; 0 takes the file's whole length at open(). */
    void setLength(uint32_t frames) { m_length = frames; }
    /** Time-stretch and pitch factors; a factor outside the active ranges is set back to 1. */
    void setStretch(float factor);
    void setPitch(float factor);
    float stretch() const { return m_stretch; }
    float pitch() const { return m_pitch; }

    /**
     * Opens the file through the format registry and starts the buffer thread on it. False
     * (with the reason in the error log) when the file cannot be read, reports no channel or no
     * rate, or cannot be converted; the buffer then stays closed.
     */
    bool open(const QString& path);
    /** Stops the thread (waking it every 100 ms until it ended), frees the ring and the file. */
    void close();
    bool isOpen() const { return m_thread != nullptr; }

    int channels() const { return m_channels; }
    int fileSampleRate() const { return m_fileRate; }
    int sampleRate() const { return m_sampleRate; }
    uint32_t offset() const { return m_offset; }
    uint32_t length() const { return m_length; }
    uint32_t ringSize() const { return m_layout.size; }
    uint32_t threshold() const { return m_layout.threshold; }
    uint32_t chunk() const { return m_layout.chunk; }
    /** Engine rate ÷ file rate; 1 when no conversion runs. */
    double resampleRatio() const { return m_ratio; }
    bool isResampling() const { return m_ratio != 1.0; }
    bool isStretching() const { return m_stretcherActive; }
    bool isReady() const { return m_ready.load(std::memory_order_acquire); }
    bool isWholeFileHeld() const { return m_wholeHeld.load(std::memory_order_acquire); }
    /** Seeks requested and not yet served by the thread. */
    bool isSeekPending() const;
    /** The clip frame the next mixed frame comes from. */
    uint32_t readPosition() const { return m_readPosition.load(std::memory_order_relaxed); }

    /**
     * Owner's thread, for tests and offline renders: waits (sleeping, at most timeoutMs) until
     * the thread is ready, has served every seek and has filled the ring as far as it will.
     */
    bool waitForFill(int timeoutMs);

    // Consumer side.
    /** Loop window in clip frames; none when start ≥ end. Owner's thread, engine locked out. */
    void setLoop(uint32_t start, uint32_t end);
    uint32_t loopStart() const { return m_loopStart.load(std::memory_order_relaxed); }
    uint32_t loopEnd() const { return m_loopEnd.load(std::memory_order_relaxed); }
    bool isLooping() const { return loopStart() < loopEnd(); }
    /**
     * Moves to clip frame p: inside the ring at once, otherwise by a request to the thread;
     * the buffer is then out of sync (silent) until the thread has refilled from p.
     */
    void seek(uint32_t p);
    /** True when the next mixed frame is clip frame p; otherwise seeks there and is false. */
    bool isInSync(uint32_t p);
    /**
     * Adds up to `frames` frames into bus channels from busOffset on, each bus channel scaled by
     * a gain that moves per frame from the last call's gain to gains[channel]. Buffer channels
     * are reused when the bus has more, folded onto the bus channels when it has fewer. Loops
     * wrap (repeatedly for short loops); the first part after open or a seek fades in, a part
     * that ends at the loop end fades out and the next fades in. Returns the frames mixed
     * (fewer at the end of the clip or when the ring runs short).
     */
    uint32_t mix(float* const* bus, int busChannels, uint32_t frames, uint32_t busOffset,
                 const float* gains);
    /** The same walk as mix(), copying unscaled into one buffer per buffer channel at offset. */
    uint32_t read(float* const* out, uint32_t frames, uint32_t offset);
    /** Wakes the thread when it is idle (try-lock: never waits). */
    void wake();

    // Buffer thread side.
    /** The first fill after open(); false when nothing could be read. */
    bool firstFill() override;
    /** Serves pending seeks, then fills the free part of the ring. */
    void sync() override;
    /** True when the thread should not wait before another sync(). */
    bool wantsSync() const override;

private:
    enum class Walk
    {
        Mix,
        Copy
    };
    uint32_t walk(Walk kind, float* const* target, int targetChannels, uint32_t frames,
                  uint32_t targetOffset, const float* gains);
    uint32_t contiguousFrames(uint32_t wanted) const;
    void mixPart(float* const* bus, int busChannels, uint32_t frames, uint32_t busOffset,
                 uint32_t done, uint32_t total, const float* gains, bool fadeIn, bool fadeOut);
    void copyPart(float* const* out, uint32_t frames, uint32_t offset);
    void applySeekServed();

    // Thread side helpers (audio_buffer_fill.cpp).
    void serveSeeks();
    void fill();
    uint32_t readBlock(uint32_t wanted);
    uint32_t writeToRing(const float* const* samples, uint32_t frames);
    void writeSilence(uint32_t frames);
    bool seekFile(uint32_t p);
    uint32_t readEnd() const;
    void freeReadBuffers();

    // Set at open, read by both sides.
    int m_sampleRate;
    int m_channels = 0;
    int m_fileRate = 0;
    uint32_t m_offset = 0;
    uint32_t m_length = 0;
    float m_stretch = 1.0f;
    float m_pitch = 1.0f;
    double m_ratio = 1.0;
    bool m_stretcherActive = false;
    double m_fileStretch = 1.0; // the stretch the file is read with (1 when not allowed)
    Layout m_layout;
    uint32_t m_mask = kMinRingFrames - 1;
    std::vector<std::vector<float>> m_ring;

    std::atomic<uint32_t> m_writeIndex{0}; // buffer thread writes
    std::atomic<uint32_t> m_readIndex{0};  // consumer writes
    std::atomic<uint32_t> m_readPosition{0};
    std::atomic<uint32_t> m_loopStart{0};
    std::atomic<uint32_t> m_loopEnd{0};
    std::atomic<uint32_t> m_seekTarget{0};
    std::atomic<uint32_t> m_seekRequests{0}; // consumer raises
    std::atomic<uint32_t> m_seeksServed{0};  // buffer thread stores
    std::atomic<bool> m_ready{false};
    std::atomic<bool> m_wholeHeld{false};
    std::atomic<bool> m_fillDone{false}; // the thread read up to the clip's end (or the file's)

    // Consumer only.
    bool m_seekApplying = false;
    bool m_fadeInNext = true;
    float m_previousGains[kMaxBusChannels] = {1, 1, 1, 1, 1, 1, 1, 1};

    // Buffer thread only (and open/close).
    std::unique_ptr<AudioFile> m_file;
    ResamplingReader m_reader;
    TimeStretcher m_stretcher;
    uint32_t m_filePosition = 0; // the clip frame m_writeIndex stands for
    bool m_fileEnded = false;
    std::vector<std::vector<float>> m_readBuffers;
    std::vector<float*> m_readPointers;
    std::vector<std::vector<float>> m_stretchBuffers;
    std::vector<float*> m_stretchPointers;

    std::unique_ptr<AudioBufferThread> m_thread;
};
