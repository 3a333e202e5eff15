#pragma once

#include "transcription_region.h"
#include "transcription_source.h"

#include <QtGlobal>

#include <functional>
#include <memory>

class AudioBuffer;

/**
 * ClipAudioSource: the audio of a transcription region read through an audio buffer of its
 * own at the analysis rate, with the clip's stretch and pitch applied as in playback. The
 * buffer's thread converts and stretches ahead; read() takes what it has filled, unscaled, and
 * waits for it in short fill steps when it has nothing yet.
 *
 * Analysis start and length are the region's in session frames × the analysis rate ÷ the session
 * rate (unsigned 64-bit, truncated). Every channel of the file is read; the engine analyses the
 * first. Owner's thread (the GUI thread for Audio to MIDI).
 */
class ClipAudioSource : public TranscriptionSource
{
public:
    /**
     * Called between fill steps while read() waits; returning false gives up the wait, so read()
     * delivers nothing (Abort in the progress dialog).
     */
    using KeepWaiting = std::function<bool()>;

    explicit ClipAudioSource(const TranscriptionRegion& region);
    ~ClipAudioSource() override;
    ClipAudioSource(const ClipAudioSource&) = delete;
    ClipAudioSource& operator=(const ClipAudioSource&) = delete;

    /**
     * Opens the buffer on the region's file; false (reason in the error log) when the file
     * cannot be read. A region shorter than one analysis frame reads nothing.
     */
    bool open();
    void setKeepWaiting(KeepWaiting keepWaiting) { keepWaiting_ = std::move(keepWaiting); }

    /** Analysis frames of the region: what a whole run reads. */
    long long length() const { return length_; }
    /** Analysis frame of the file where reading starts (the clip's offset and shift). */
    long long start() const { return start_; }

    int channelCount() const override;
    int blockSize() const override;
    long long read(float* const* channels, int frames) override;

private:
    bool fillStep(qint64 waitedMs);

    TranscriptionRegion region_;
    std::unique_ptr<AudioBuffer> buffer_;
    KeepWaiting keepWaiting_;
    long long start_ = 0;
    long long length_ = 0;
    long long position_ = 0;
};
