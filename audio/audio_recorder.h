#pragma once

#include "audio_buffer_thread.h"
#include "peak_accumulator.h"

#include <QFile>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class AudioFile;

/**
 * AudioRecorder: writes a take from the sound card's input into an audio file.
 *
 * The process cycle hands it the input (write()): the input channels are folded onto the file's
 * channels into a lock-free ring, nothing else. Its AudioBufferThread drains the ring to the
 * file in chunks and builds the take's peak file (.pkf, as AudioPeak reads it) on the way, so
 * the waveform is there when the take becomes a clip.
 *
 * Nothing is lost silently. When the ring is full (the disk cannot keep up) the cycle's frames
 * are dropped and counted; the frames that follow keep their place, because the drain writes as
 * many silent frames where the lost ones were. lostSpans() tells where and how long. When the
 * file takes fewer frames than it was given (the disk is full) the drain stops, the file keeps
 * what it got, and isDiskFull() tells the owner to stop recording.
 *
 * The ring is single-producer (the cycle writes frames and m_writeIndex) and single-consumer
 * (the thread reads frames and moves m_readIndex); both indices run freely, masked on use. A gap
 * crosses to the thread as a marker in a small ring of its own: the position in the frame
 * stream where silence goes and how much.
 *
 * Threads: open() and close() on the owner (the GUI thread), while no cycle writes; write() in
 * the audio callback, never locking, allocating or waiting (wake() only try-locks); the drain on
 * the recorder's thread; the counters from any thread.
 */
class AudioRecorder : public AudioBufferThread::Worker
{
public:
    /** About 3 s at 44100 Hz. */
    static constexpr uint32_t kRingFrames = 131072;
    /** The part of a cycle's window a punch range lets through. */
    struct Window
    {
        uint32_t frames = 0;
        uint32_t inputOffset = 0; ///< frame of the cycle's input the first written frame is
    };
    /** Where a stretch of the take was lost, in frames from the take's start. */
    struct LostSpan
    {
        uint64_t position = 0;
        uint64_t frames = 0;
    };
    /** Makes the file object a take writes to (a test replaces it to fake a full disk). */
    using FileFactory =
        std::function<std::unique_ptr<AudioFile>(const QString& path, int channels, int rate)>;

    /**
     * The frames of the cycle [first, last) that are recorded: all of them without punching,
     * otherwise those inside [punchIn, punchOut).
     */
    static Window window(uint32_t first, uint32_t last, bool punching, uint32_t punchIn,
                         uint32_t punchOut);
    /** Files come from the format registry unless a factory is set; an empty one resets. */
    static void setFileFactory(FileFactory factory);

    AudioRecorder(int channels, int sampleRate, uint32_t ringFrames = kRingFrames);
    ~AudioRecorder() override;
    AudioRecorder(const AudioRecorder&) = delete;
    AudioRecorder& operator=(const AudioRecorder&) = delete;

    /**
     * Creates the file for writing in the registry's write format and starts the drain thread.
     * False, with the reason in the error log, when the file cannot be made.
     */
    bool open(const QString& path);
    /** Drains what is left, stops the thread and closes the file and its peaks. */
    void close();
    bool isOpen() const { return m_thread != nullptr; }
    const QString& path() const { return m_path; }
    int channels() const { return m_channels; }
    int sampleRate() const { return m_sampleRate; }
    uint32_t ringSize() const { return m_size; }

    /**
     * Audio callback: appends `frames` frames of the input, from inputOffset on, to the take.
     * The first file channels take the input channels of the same index, further input
     * channels are added onto the file channels in turn (stereo onto mono sums both), and with
     * fewer input channels than file channels the input channels are reused in turn.
     */
    void write(const float* const* input, int inputChannels, uint32_t frames, uint32_t inputOffset);

    /** Frames handed to write() (kept or lost) since open. */
    uint64_t framesRecorded() const { return m_position.load(std::memory_order_acquire); }
    /** Frames the file took, silence for lost frames included. */
    uint64_t framesWritten() const { return m_written.load(std::memory_order_acquire); }
    /** Frames dropped because the ring was full. */
    uint64_t framesLost() const { return m_lost.load(std::memory_order_acquire); }
    /** True once the file refused frames; the take ends where the file does. */
    bool isDiskFull() const { return m_diskFull.load(std::memory_order_acquire); }
    /** Where frames were lost; complete after close(). */
    const std::vector<LostSpan>& lostSpans() const { return m_lostSpans; }

    /** Test hook: the drain sleeps this long after each chunk, as a disk too slow would. */
    void setDrainDelay(int microseconds) { m_drainDelayUs.store(microseconds); }

    // Buffer thread side.
    bool firstFill() override { return true; }
    /** Drains the ring (and the silence of lost frames) to the file. */
    void sync() override;
    bool wantsSync() const override;

private:
    struct Gap
    {
        uint32_t at = 0; ///< m_writeIndex where the silence goes
        uint64_t frames = 0;
        uint64_t position = 0;
    };
    static constexpr uint32_t kGapSlots = 64;

    void fold(const float* const* input, int inputChannels, uint32_t frames, uint32_t inputOffset,
              uint32_t at);
    bool publishPendingGap(uint32_t writeIndex);
    bool drainFrames(uint32_t frames);
    bool writeSilence(uint64_t position, uint64_t frames);
    bool writeToFile(const float* const* samples, uint32_t frames);
    void openPeaks();
    void closePeaks();

    int m_channels;
    int m_sampleRate;
    uint32_t m_size;
    uint32_t m_mask;
    uint32_t m_chunk;
    QString m_path;
    std::vector<std::vector<float>> m_ring;

    std::atomic<uint32_t> m_writeIndex{0}; // the cycle writes
    std::atomic<uint32_t> m_readIndex{0};  // the thread writes
    Gap m_gaps[kGapSlots];
    std::atomic<uint32_t> m_gapWrite{0}; // the cycle writes
    std::atomic<uint32_t> m_gapRead{0};  // the thread writes
    std::atomic<uint64_t> m_position{0};
    std::atomic<uint64_t> m_written{0};
    std::atomic<uint64_t> m_lost{0};
    // Lost frames not yet announced to the thread, and where they began (the cycle's; the owner
    // reads them once no cycle writes).
    std::atomic<uint64_t> m_pendingGap{0};
    std::atomic<uint64_t> m_pendingStart{0};
    std::atomic<bool> m_diskFull{false};
    std::atomic<int> m_drainDelayUs{0};

    // Thread side (and the owner once the thread has ended).
    std::unique_ptr<AudioFile> m_file;
    std::vector<float> m_silence;
    std::vector<const float*> m_pointers;
    std::vector<LostSpan> m_lostSpans;
    QFile m_peakFile;
    std::unique_ptr<PeakAccumulator> m_peaks;
    QByteArray m_peakBatch;

    std::unique_ptr<AudioBufferThread> m_thread;
};
