#include "interleave_buffer.h"

#include <algorithm>

void InterleaveBuffer::allocate(int channels, long long sizeHint)
{
    channels_ = std::max(channels, 1);
    capacity_ = kInitialFrames;
    while (capacity_ < std::min(sizeHint, kLargestFrames))
        capacity_ *= 2;
    samples_.assign(static_cast<std::size_t>(channels_ * capacity_), 0.0f);
}

void InterleaveBuffer::release()
{
    samples_ = std::vector<float>();
    capacity_ = 0;
}

long long InterleaveBuffer::reserve(long long frames)
{
    frames = std::min(frames, kLargestFrames);
    if (frames > capacity_) {
        while (capacity_ < frames)
            capacity_ = capacity_ ? capacity_ * 2 : kInitialFrames;
        samples_.assign(static_cast<std::size_t>(channels_ * capacity_), 0.0f);
    }
    return std::max(0LL, frames);
}

void InterleaveBuffer::deinterleave(float* const* channels, long long frames) const
{
    for (int c = 0; c < channels_; ++c) {
        float* out = channels[c];
        if (!out)
            continue;
        const float* in = samples_.data() + c;
        for (long long i = 0; i < frames; ++i, in += channels_)
            out[i] = *in;
    }
}

void InterleaveBuffer::interleave(const float* const* channels, long long frames)
{
    for (int c = 0; c < channels_; ++c) {
        float* out = samples_.data() + c;
        const float* in = channels[c];
        for (long long i = 0; i < frames; ++i, out += channels_)
            *out = in ? in[i] : 0.0f;
    }
}
