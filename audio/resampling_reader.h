#pragma once

#include "polyphase_decimator.h"

#include <samplerate.h>

#include <vector>

class AudioFile;

/**
 * Reads an open audio file converted to another sample rate, fed block by block from the file,
 * with the input frames a converter has not consumed kept for the next block. A whole-number
 * ratio down (44100 Hz to 11025 Hz) goes through a polyphase decimator; other ratios through one
 * libsamplerate converter per channel (fastest sinc), whose pass band the decimator matches. At
 * the file's own rate it reads the file directly.
 *
 * All buffers are made in open(). One thread at a time.
 */
class ResamplingReader
{
public:
    /** Input frames read from the file per conversion step. */
    static constexpr int kDefaultBlock = 16384;

    ResamplingReader() = default;
    ~ResamplingReader();
    ResamplingReader(const ResamplingReader&) = delete;
    ResamplingReader& operator=(const ResamplingReader&) = delete;

    /**
     * Starts reading `file` (open for reading, at its start) at `rate`. False, with the reason in
     * the error log, when the conversion ratio is out of libsamplerate's range or a converter
     * cannot be made. The file must outlive the reader's use of it.
     */
    bool open(AudioFile& file, double rate, int block = kDefaultBlock);
    void close();

    int channels() const { return channels_; }
    /** Output rate ÷ file rate. */
    double ratio() const { return ratio_; }
    /** Frames at the output rate the whole file gives (truncated), from its stated length. */
    long long expectedFrames() const;

    /**
     * Reads up to `frames` frames at the output rate into one buffer per channel (every channel
     * needs one: the converters must stay in step). Returns the frames
     * delivered: fewer near the end, 0 once the file and the converters are drained.
     */
    long long read(float* const* channels, long long frames);
    /**
     * Forgets the input held and the converters' state, after the caller moved the file to
     * another frame: the next read() starts converting from there.
     */
    void reset();

private:
    bool openConverters();
    long long readDirect(float* const* channels, long long frames);
    bool refill();
    long long convert(float* const* channels, long long frames, long long& used);

    AudioFile* file_ = nullptr;
    double ratio_ = 1.0;
    bool resampling_ = false;
    bool fileEnded_ = false;
    bool drained_ = false;
    int block_ = kDefaultBlock;
    int channels_ = 0;
    PolyphaseDecimator decimator_;
    bool decimating_ = false;
    std::vector<SRC_STATE*> converters_;
    std::vector<std::vector<float>> input_; // per channel: left-over input, then new input
    std::vector<float*> inputPointers_;
    std::vector<float*> outputPointers_;
    long long inputFrames_ = 0; // frames in input_ not yet consumed
};
