#include "snd_file.h"

#include "audio_format_registry.h"
#include "error_log.h"

#include <QFile>

SndFile::SndFile(int channels, int sampleRate, long long sizeHint)
    : writeChannels_(channels), writeRate_(sampleRate), sizeHint_(sizeHint)
{
}

SndFile::~SndFile()
{
    close();
}

bool SndFile::open(const QString& path, int mode)
{
    close();
    if (mode == Writing)
        return openForWriting(path);
    if (mode != Reading) {
        ErrorLog::add(QStringLiteral("AudioSndFile::open: mode %1 (%2)").arg(mode).arg(path));
        return false;
    }
    info_ = SF_INFO{};
    handle_ = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info_);
    if (!handle_) {
        ErrorLog::add(QStringLiteral("AudioSndFile::open: _open %1")
                          .arg(QString::fromLocal8Bit(sf_strerror(nullptr))));
        info_ = SF_INFO{};
        return false;
    }
    // The header is untrusted: a file without channels or rate cannot be read as audio.
    if (info_.channels < 1 || info_.samplerate < 1) {
        ErrorLog::add(QStringLiteral("AudioSndFile::open: %1 channels at %2 Hz in %3")
                          .arg(info_.channels)
                          .arg(info_.samplerate)
                          .arg(path));
        close();
        return false;
    }
    mode_ = Reading;
    buffer_.allocate(info_.channels, sizeHint_);
    return true;
}

bool SndFile::openForWriting(const QString& path)
{
    info_ = SF_INFO{};
    info_.channels = writeChannels_;
    info_.samplerate = writeRate_;
    info_.format = AudioFormatRegistry::instance().writeFormat();
    if (writeChannels_ < 1 || writeRate_ < 1 || !sf_format_check(&info_)) {
        char version[128] = {};
        sf_command(nullptr, SFC_GET_LIB_VERSION, version, sizeof(version));
        ErrorLog::add(QStringLiteral("AudioSndFile::open: _format_check %1").arg(info_.format));
        ErrorLog::add(QStringLiteral("AudioSndFile::open: _GET_LIB_VERSION %1")
                          .arg(QString::fromLatin1(version)));
        info_ = SF_INFO{};
        return false;
    }
    handle_ = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info_);
    if (!handle_) {
        ErrorLog::add(QStringLiteral("AudioSndFile::open: _open %1")
                          .arg(QString::fromLocal8Bit(sf_strerror(nullptr))));
        info_ = SF_INFO{};
        return false;
    }
    // Integer formats clip samples beyond full scale instead of wrapping them round.
    sf_command(handle_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    mode_ = Writing;
    buffer_.allocate(info_.channels, sizeHint_);
    return true;
}

long long SndFile::read(float* const* channels, long long frames)
{
    if (mode_ != Reading || frames <= 0)
        return 0;
    frames = buffer_.reserve(frames);
    const sf_count_t got = sf_readf_float(handle_, buffer_.data(), frames);
    if (got <= 0)
        return 0;
    buffer_.deinterleave(channels, got);
    return got;
}

long long SndFile::write(const float* const* channels, long long frames)
{
    if (mode_ != Writing || frames <= 0)
        return 0;
    frames = buffer_.reserve(frames);
    buffer_.interleave(channels, frames);
    return sf_writef_float(handle_, buffer_.data(), frames);
}

bool SndFile::seek(long long frame)
{
    if (mode_ == Closed)
        return false;
    return sf_seek(handle_, frame, SEEK_SET) == frame;
}

void SndFile::close()
{
    if (handle_)
        sf_close(handle_);
    handle_ = nullptr;
    mode_ = Closed;
    buffer_.release();
}
