#pragma once

#include <cstddef>
#include <vector>

/**
 * The interleaved samples of one read or write call, between the decoding library and the
 * caller's planar buffers.
 *
 * Its capacity in frames starts at 1024, or at the first power of two reached by doubling 1024
 * that is not below a size hint, and doubles whenever a call asks for more frames. Used by one
 * file object, so by one thread at a time.
 */
class InterleaveBuffer
{
public:
    static constexpr long long kInitialFrames = 1024;
    /** A single call moves at most this many frames (a caller asking more gets fewer). */
    static constexpr long long kLargestFrames = 1 << 20;

    /** Allocates channels × capacity floats. */
    void allocate(int channels, long long sizeHint);
    void release();

    /** Grows to hold `frames` frames (at most kLargestFrames); returns the frames it holds. */
    long long reserve(long long frames);

    float* data() { return samples_.data(); }
    long long capacity() const { return capacity_; }

    /** Copies `frames` interleaved frames into one buffer per channel (null ones skipped). */
    void deinterleave(float* const* channels, long long frames) const;
    /** Copies `frames` frames from one buffer per channel into the interleaved samples. */
    void interleave(const float* const* channels, long long frames);

private:
    std::vector<float> samples_;
    long long capacity_ = 0;
    int channels_ = 0;
};
