#include "mp3_file.h"

#include "error_log.h"

#include <QFile>

#include <mpg123.h>

namespace {

QString plainError(int code)
{
    return QString::fromLocal8Bit(mpg123_plain_strerror(code));
}

constexpr long long kBytesPerSample = 4; // 32-bit float output

} // namespace

Mp3File::Mp3File(long long sizeHint) : sizeHint_(sizeHint) {}

Mp3File::~Mp3File()
{
    close();
}

bool Mp3File::fail(const QString& message)
{
    ErrorLog::add(QStringLiteral("AudioMp3File::") + message);
    close();
    return false;
}

// The library's own code for the last failure of the handle.
QString Mp3File::errorText() const
{
    return plainError(handle_ ? mpg123_errcode(handle_) : MPG123_ERR);
}

bool Mp3File::open(const QString& path, int mode)
{
    close();
    if (mode != Reading)
        return fail(QStringLiteral("open: MP3 files are read only (%1)").arg(path));
    int result = mpg123_init();
    if (result != MPG123_OK)
        return fail(QStringLiteral("open: _init %1").arg(plainError(result)));
    initialised_ = true;
    handle_ = mpg123_new(nullptr, &result);
    if (!handle_)
        return fail(QStringLiteral("open: _new %1").arg(plainError(result)));
    // Float output; the library's own messages stay off standard error (the log has ours).
    if (mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_FORCE_FLOAT | MPG123_QUIET, 0.0) !=
        MPG123_OK)
        return fail(QStringLiteral("open: _param %1").arg(errorText()));
    if (mpg123_open(handle_, QFile::encodeName(path).constData()) != MPG123_OK)
        return fail(QStringLiteral("open: _open %1").arg(errorText()));

    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK)
        return fail(QStringLiteral("open: _getformat %1").arg(errorText()));
    if (encoding != MPG123_ENC_FLOAT_32)
        return fail(QStringLiteral("open: encoding != _ENC_FLOAT_32 %1").arg(encoding));
    if (rate < 1 || channels < 1 || channels > 2)
        return fail(
            QStringLiteral("open: %1 channels at %2 Hz in %3").arg(channels).arg(rate).arg(path));
    // Fix the output format, so the stream cannot change it while it is read.
    if (mpg123_format_none(handle_) != MPG123_OK)
        return fail(QStringLiteral("open: _format_none %1").arg(errorText()));
    if (mpg123_format(handle_, rate, channels, encoding) != MPG123_OK)
        return fail(QStringLiteral("open: _format %1").arg(errorText()));

    // Search the whole stream for sync, and scan it for the exact length.
    mpg123_param(handle_, MPG123_RESYNC_LIMIT, -1, 0.0);
    mpg123_scan(handle_);
    const off_t length = mpg123_length(handle_);
    if (length < 0)
        return fail(QStringLiteral("open: there is no length guess possible."));

    sampleRate_ = static_cast<int>(rate);
    channels_ = channels;
    frames_ = length;
    mode_ = Reading;
    buffer_.allocate(channels_, sizeHint_);
    return true;
}

long long Mp3File::read(float* const* channels, long long frames)
{
    if (mode_ != Reading || frames <= 0)
        return 0;
    frames = buffer_.reserve(frames);
    const size_t bytes = static_cast<size_t>(channels_ * kBytesPerSample * frames);
    size_t done = 0;
    const int result =
        mpg123_read(handle_, reinterpret_cast<unsigned char*>(buffer_.data()), bytes, &done);
    const long long got = static_cast<long long>(done) / channels_ / kBytesPerSample;
    if (result != MPG123_OK && result != MPG123_DONE && result != MPG123_NEED_MORE) {
        ErrorLog::add(QStringLiteral("AudioMp3File::read: _read %1, iFrames=%2 nRead=%3(nBytes=%4)")
                          .arg(errorText())
                          .arg(frames)
                          .arg(got)
                          .arg(static_cast<qulonglong>(done)));
        return 0;
    }
    buffer_.deinterleave(channels, got);
    return got;
}

long long Mp3File::write(const float* const*, long long)
{
    return 0;
}

// The decoder accepts offsets past the end of the stream; the scanned length tells them apart.
bool Mp3File::seek(long long frame)
{
    if (mode_ != Reading || frame < 0 || frame > frames_)
        return false;
    const off_t offset = mpg123_seek(handle_, static_cast<off_t>(frame), SEEK_SET);
    if (offset < 0) {
        ErrorLog::add(QStringLiteral("AudioMp3File::seek: offset < 0 %1").arg(errorText()));
        return false;
    }
    return offset == frame;
}

void Mp3File::close()
{
    if (handle_) {
        mpg123_close(handle_);
        mpg123_delete(handle_);
        handle_ = nullptr;
    }
    if (initialised_)
        mpg123_exit();
    initialised_ = false;
    mode_ = Closed;
    channels_ = 0;
    sampleRate_ = 0;
    frames_ = 0;
    buffer_.release();
}
