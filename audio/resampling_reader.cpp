#include "resampling_reader.h"

#include "audio_file.h"
#include "error_log.h"

#include <algorithm>

ResamplingReader::~ResamplingReader()
{
    close();
}

bool ResamplingReader::open(AudioFile& file, double rate, int block)
{
    close();
    if (file.mode() != AudioFile::Reading || file.channels() < 1 || file.sampleRate() < 1 ||
        block < 1) {
        ErrorLog::add(QStringLiteral("ResamplingReader::open: the file is not open for reading"));
        return false;
    }
    file_ = &file;
    block_ = block;
    channels_ = file.channels();
    ratio_ = rate / file.sampleRate();
    resampling_ = file.sampleRate() != rate;
    if (resampling_ && !src_is_valid_ratio(ratio_)) {
        ErrorLog::add(QStringLiteral("ResamplingReader::open: cannot convert %1 Hz to %2 Hz")
                          .arg(file.sampleRate())
                          .arg(rate));
        close();
        return false;
    }
    const auto channels = static_cast<size_t>(channels_);
    outputPointers_.assign(channels, nullptr);
    inputPointers_.assign(channels, nullptr);
    if (!resampling_)
        return true;
    input_.assign(channels, std::vector<float>(static_cast<size_t>(block)));
    const int factor = PolyphaseDecimator::factorFor(file.sampleRate(), rate);
    decimating_ = factor > 0 && decimator_.configure(factor, channels_, block);
    return decimating_ || openConverters();
}

bool ResamplingReader::openConverters()
{
    for (int c = 0; c < channels_; ++c) {
        int error = 0;
        SRC_STATE* converter = src_new(SRC_SINC_FASTEST, 1, &error);
        if (!converter) {
            ErrorLog::add(QStringLiteral("ResamplingReader::open: src_new %1")
                              .arg(QString::fromLocal8Bit(src_strerror(error))));
            close();
            return false;
        }
        converters_.push_back(converter);
    }
    return true;
}

void ResamplingReader::close()
{
    for (SRC_STATE* converter : converters_) {
        if (converter)
            src_delete(converter);
    }
    converters_.clear();
    input_.clear();
    inputPointers_.clear();
    outputPointers_.clear();
    file_ = nullptr;
    inputFrames_ = 0;
    fileEnded_ = false;
    drained_ = false;
    ratio_ = 1.0;
    resampling_ = false;
    decimating_ = false;
    channels_ = 0;
}

long long ResamplingReader::expectedFrames() const
{
    if (!file_ || file_->frames() <= 0)
        return 0;
    return static_cast<long long>(static_cast<long double>(file_->frames()) * ratio_);
}

long long ResamplingReader::readDirect(float* const* channels, long long frames)
{
    long long done = 0;
    while (done < frames) {
        for (size_t c = 0; c < outputPointers_.size(); ++c)
            outputPointers_[c] = channels[c] ? channels[c] + done : nullptr;
        const long long got = file_->read(outputPointers_.data(), frames - done);
        if (got <= 0)
            break;
        done += got;
    }
    return done;
}

// Tops up every channel's input after what the converters left over; at the end of the file
// the converters are told so and flush what they hold.
bool ResamplingReader::refill()
{
    if (fileEnded_ || inputFrames_ >= block_)
        return true;
    for (size_t c = 0; c < input_.size(); ++c)
        inputPointers_[c] = input_[c].data() + inputFrames_;
    const long long got = file_->read(inputPointers_.data(), block_ - inputFrames_);
    if (got <= 0)
        fileEnded_ = true;
    else
        inputFrames_ += got;
    return true;
}

// One conversion step from the input held into the channels; used tells the input consumed.
long long ResamplingReader::convert(float* const* channels, long long frames, long long& used)
{
    for (size_t c = 0; c < input_.size(); ++c)
        inputPointers_[c] = input_[c].data();
    if (decimating_)
        return decimator_.process(inputPointers_.data(), inputFrames_, fileEnded_, channels, frames,
                                  used);
    long made = 0;
    for (size_t c = 0; c < converters_.size(); ++c) {
        SRC_DATA data{};
        data.data_in = input_[c].data();
        data.input_frames = static_cast<long>(inputFrames_);
        data.data_out = channels[c];
        data.output_frames = static_cast<long>(frames);
        data.src_ratio = ratio_;
        data.end_of_input = fileEnded_ ? 1 : 0;
        const int error = src_process(converters_[c], &data);
        if (error) {
            ErrorLog::add(QStringLiteral("ResamplingReader::read: src_process %1")
                              .arg(QString::fromLocal8Bit(src_strerror(error))));
            used = 0;
            return -1;
        }
        used = data.input_frames_used; // the same for every channel: it depends on counts only
        made = data.output_frames_gen;
    }
    return made;
}

long long ResamplingReader::read(float* const* channels, long long frames)
{
    if (!file_ || frames <= 0)
        return 0;
    if (!resampling_)
        return readDirect(channels, frames);

    long long done = 0;
    while (done < frames && !drained_) {
        refill();
        for (size_t c = 0; c < outputPointers_.size(); ++c)
            outputPointers_[c] = channels[c] + done;
        long long used = 0;
        const long long made = convert(outputPointers_.data(), frames - done, used);
        if (made < 0) {
            drained_ = true;
            return done;
        }
        for (auto& in : input_)
            std::copy(in.begin() + used, in.begin() + inputFrames_, in.begin());
        inputFrames_ -= used;
        done += made;
        if (fileEnded_ && made == 0)
            drained_ = true;
        else if (!fileEnded_ && made == 0 && used == 0 && inputFrames_ >= block_)
            drained_ = true; // a converter that neither takes nor gives would loop forever
    }
    return done;
}

void ResamplingReader::reset()
{
    for (SRC_STATE* converter : converters_) {
        if (converter)
            src_reset(converter);
    }
    if (decimating_)
        decimator_.reset();
    inputFrames_ = 0;
    fileEnded_ = false;
    drained_ = false;
}
