#pragma once

#include <QString>

/**
 * AudioFile: an audio file read or written as planar 32-bit float samples, whatever its format.
 *
 * The family's members wrap one decoding library each (SndFile, Mp3File); callers
 * make them through the format registry (AudioFormatRegistry) from a path. Failures return false
 * or 0 and add a message to the error log; nothing throws. One thread at a time uses an object
 * (the audio buffer thread, the peak thread, the recording or the transcription).
 */
class AudioFile
{
public:
    enum Mode
    {
        Closed = 0,
        Reading = 1,
        Writing = 2
    };

    virtual ~AudioFile() = default;

    /** Opens a path for reading (1) or writing (2), closing what was open first. */
    virtual bool open(const QString& path, int mode) = 0;
    /**
     * Reads up to `frames` frames, one buffer per channel. Returns the frames read: 0 at the end
     * or on error, fewer than asked near the end.
     */
    virtual long long read(float* const* channels, long long frames) = 0;
    /** Writes frames from one buffer per channel; returns the frames written. */
    virtual long long write(const float* const* channels, long long frames) = 0;
    /** True when the file is now at exactly that frame. */
    virtual bool seek(long long frame) = 0;
    virtual void close() = 0;
    virtual int mode() const = 0;
    virtual int channels() const = 0;
    /** Length in frames as the file states it. */
    virtual long long frames() const = 0;
    virtual int sampleRate() const = 0;

protected:
    AudioFile() = default;
    AudioFile(const AudioFile&) = delete;
    AudioFile& operator=(const AudioFile&) = delete;
};
