#pragma once

#include "audio_file.h"
#include "interleave_buffer.h"

struct mpg123_handle_struct;

/**
 * Mp3File: an MP3 file decoded by libmpg123 to 32-bit float samples. Read only: opening
 * for writing fails and write() returns 0.
 *
 * Opening scans the whole stream so that the length is exact. One thread at a time.
 */
class Mp3File : public AudioFile
{
public:
    explicit Mp3File(long long sizeHint = 0);
    ~Mp3File() override;

    bool open(const QString& path, int mode) override;
    long long read(float* const* channels, long long frames) override;
    long long write(const float* const* channels, long long frames) override;
    bool seek(long long frame) override;
    void close() override;
    int mode() const override { return mode_; }
    int channels() const override { return channels_; }
    long long frames() const override { return frames_; }
    int sampleRate() const override { return sampleRate_; }

private:
    bool fail(const QString& message);
    QString errorText() const;

    mpg123_handle_struct* handle_ = nullptr;
    bool initialised_ = false;
    int mode_ = Closed;
    int channels_ = 0;
    int sampleRate_ = 0;
    long long frames_ = 0;
    long long sizeHint_ = 0;
    InterleaveBuffer buffer_;
};
