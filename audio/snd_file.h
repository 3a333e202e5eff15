#pragma once

#include "audio_file.h"
#include "interleave_buffer.h"

#include <sndfile.h>

/**
 * SndFile: an audio file in any format that libsndfile reads (WAV, AIFF, FLAC, OGG, W64
 * and the others it reports).
 *
 * The channels and sample rate given at construction are those of a file to be written; a file
 * opened for reading reports its own. One thread at a time.
 */
class SndFile : public AudioFile
{
public:
    explicit SndFile(int channels = 0, int sampleRate = 0, long long sizeHint = 0);
    ~SndFile() override;

    bool open(const QString& path, int mode) override;
    long long read(float* const* channels, long long frames) override;
    long long write(const float* const* channels, long long frames) override;
    bool seek(long long frame) override;
    void close() override;
    int mode() const override { return mode_; }
    int channels() const override { return info_.channels; }
    long long frames() const override { return info_.frames; }
    int sampleRate() const override { return info_.samplerate; }
    /** The libsndfile format of the open file (major and sub-format). */
    int format() const { return info_.format; }

private:
    /** Opens with the registry's write format and the channels and rate given at construction. */
    bool openForWriting(const QString& path);

    SNDFILE* handle_ = nullptr;
    int mode_ = Closed;
    SF_INFO info_{};
    int writeChannels_ = 0;
    int writeRate_ = 0;
    long long sizeHint_ = 0;
    InterleaveBuffer buffer_;
};
