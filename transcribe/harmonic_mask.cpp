#include "harmonic_mask.h"

#include "spectrum_curve.h"

#include <algorithm>
#include <cmath>

namespace {

// Fall of the mask, in dB, from a harmonic to half and to twice its frequency.
constexpr float kSpreadRange = 60.0f;

} // namespace

void HarmonicMask::configure(const AnalysisParameters& parameters,
                             std::span<const float> binFrequencies)
{
    const auto bins = static_cast<size_t>(parameters.binCount);
    mask_.assign(bins, kFloor);
    // A peak lies at bin 1.5 or above, so its harmonic numbers inside the spectrum stay below B.
    harmonicDrop_.assign(bins + 1, 0.0f);
    for (size_t k = 1; k <= bins; ++k)
        harmonicDrop_[k] = 12.0f * std::log(static_cast<float>(k));
    binFrequency_ = binFrequencies;
    frameSize_ = static_cast<float>(parameters.frameSize);
    sampleRate_ = parameters.sampleRate;
    decay_ = parameters.maskDecay;
}

void HarmonicMask::reset()
{
    std::fill(mask_.begin(), mask_.end(), kFloor);
}

void HarmonicMask::decay()
{
    for (float& m : mask_)
        m -= decay_;
}

float HarmonicMask::at(float frequency) const
{
    return curveAt(mask_, frameSize_ * frequency / sampleRate_);
}

bool HarmonicMask::spread(float frequency, float level)
{
    if (at(frequency) > level)
        return false;
    const int bins = static_cast<int>(mask_.size());
    for (int k = 1;; ++k) {
        const float harmonic = frequency * static_cast<float>(k);
        const int bin = static_cast<int>(harmonic * frameSize_ / sampleRate_);
        if (bin >= bins || k >= static_cast<int>(harmonicDrop_.size()))
            break;
        spreadHarmonic(bin, level - harmonicDrop_[k], harmonic);
    }
    return true;
}

// Both walks stop at the first bin already above the new value: beyond it an earlier, louder
// spread covers the mask, which keeps spreading cheap.
void HarmonicMask::spreadHarmonic(int bin, float top, float harmonicFrequency)
{
    const float half = harmonicFrequency / 2.0f;
    for (int n = bin; n >= 1; --n) {
        const float value = top - kSpreadRange + kSpreadRange * (binFrequency_[n] - half) / half;
        if (value < mask_[n])
            break;
        mask_[n] = value;
    }
    const int bins = static_cast<int>(mask_.size());
    for (int n = bin + 1; n < bins; ++n) {
        const float value =
            top - kSpreadRange * (binFrequency_[n] - harmonicFrequency) / harmonicFrequency;
        if (value < mask_[n])
            break;
        mask_[n] = value;
    }
}
