#include "spectrum_analyser.h"

#include "spectrum_curve.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

constexpr float kSixteenthOctave = 1.0442737f; // 2^(1/16)
constexpr float kPruneBins = 3.0f;             // smallest pruning distance, in bins
constexpr float kLocalLevelOffset = 6.0f;      // dB added to the local average

// Single-precision lanes with plain adds, so each lane rounds exactly like a scalar sum.
using Lanes4 = float __attribute__((vector_size(16)));
using Lanes8 = float __attribute__((vector_size(32)));
constexpr int kBlockVectors = 8; // running sums held in registers at once

// sum[c] = term[c − u] + term[c − u + 1] + ... + term[c + u], each summed from 0 in that order,
// for the centres c in [first, end), a block of centres at a time. The last block is moved back
// to end at `end` (the centres it repeats get the same values again), so no centre is left for a
// slow scalar tail. Returns the first centre not summed: `first` when fewer than a block remain.
template <typename Lanes>
[[gnu::always_inline]] inline int sumBlocks(const float* term, int u, int first, int end,
                                            float* sum)
{
    constexpr int laneCount = static_cast<int>(sizeof(Lanes) / sizeof(float));
    constexpr int blockCentres = laneCount * kBlockVectors;
    if (end - first < blockCentres)
        return first;
    for (int c = first;; c += blockCentres) {
        c = std::min(c, end - blockCentres);
        Lanes sums[kBlockVectors] = {};
        for (int j = c - u; j <= c + u; ++j) {
#pragma GCC unroll 8
            for (int v = 0; v < kBlockVectors; ++v) {
                Lanes t;
                std::memcpy(&t, term + j + v * laneCount, sizeof t);
                sums[v] += t;
            }
        }
        std::memcpy(sum + c, sums, sizeof sums);
        if (c + blockCentres == end)
            return end;
    }
}

int sumBlocksDefault(const float* term, int u, int first, int end, float* sum)
{
    return sumBlocks<Lanes4>(term, u, first, end, sum);
}

#if defined(__x86_64__) || defined(__i386__)
// Twice the lanes where the processor has AVX: the same adds in the same order per centre.
[[gnu::target("avx")]] int sumBlocksAvx(const float* term, int u, int first, int end, float* sum)
{
    return sumBlocks<Lanes8>(term, u, first, end, sum);
}

int sumCentres(const float* term, int u, int first, int end, float* sum)
{
    static const bool hasAvx = __builtin_cpu_supports("avx");
    if (hasAvx)
        return sumBlocksAvx(term, u, first, end, sum);
    return sumBlocksDefault(term, u, first, end, sum);
}
#else
int sumCentres(const float* term, int u, int first, int end, float* sum)
{
    return sumBlocksDefault(term, u, first, end, sum);
}
#endif

} // namespace

bool SpectrumAnalyser::configure(const AnalysisParameters& parameters)
{
    if (!fft_.configure(parameters.frameSize))
        return false;
    parameters_ = parameters;
    const int n = parameters.frameSize;
    const auto bins = static_cast<size_t>(parameters.binCount);
    window_.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        window_[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / (n - 1)));
    binFrequency_.resize(bins);
    for (size_t i = 0; i < bins; ++i)
        binFrequency_[i] = static_cast<float>(i) * parameters.sampleRate / static_cast<float>(n);
    power_.assign(bins, 0.0f);
    magnitude_.assign(bins, 0.0f);
    level_.assign(bins, kFloor);
    localTerm_.assign(bins, 0.0f);
    localLevel_.assign(bins, kFloor);
    peaks_.clear();
    peaks_.reserve(bins);
    pruned_.assign(bins, 0);
    candidate_.assign(bins, 0);
    peakMark_.assign(bins, 0);
    inverseFrameSize_ = 1.0f / static_cast<float>(n);
    mask_.configure(parameters, binFrequency_);
    frameLevel_ = kFloor;
    return true;
}

void SpectrumAnalyser::reset()
{
    mask_.reset();
    peaks_.clear();
    frameLevel_ = kFloor;
}

void SpectrumAnalyser::analyse(std::span<const float> frame)
{
    transform(frame);
    computeLevels();
    computeLocalLevel();
    findPeaks();
    if (!peaks_.empty())
        prune(0, peaks_.size());
    removePrunedPeaks();
    readLocalLevels();
    applyMask();
    computeFrameLevel();
}

float SpectrumAnalyser::localLevelAt(float frequency) const
{
    return curveAt(localLevel_, binPosition(frequency));
}

void SpectrumAnalyser::transform(std::span<const float> frame)
{
    std::span<float> input = fft_.input();
    for (size_t i = 0; i < input.size(); ++i)
        input[i] = frame[i] * window_[i];
    fft_.power(power_);
}

// A full-scale sine gives a magnitude of about 1 (0 dB).
void SpectrumAnalyser::computeLevels()
{
    const float scale = 4.0f / static_cast<float>(parameters_.frameSize);
    const size_t bins = magnitude_.size();
    for (size_t i = 0; i < bins; ++i)
        magnitude_[i] = std::sqrt(power_[i]) * scale;
    for (size_t i = 0; i < bins; ++i)
        level_[i] = magnitude_[i] > 0.0f ? 20.0f * std::log10(magnitude_[i]) : kFloor;
}

// Each centre's sum adds its 2u + 1 terms lowest bin first in single precision, and 6 dB is
// added to the finished sum; results depend on that order. Centres are summed a block at a time
// with the block's running sums held in vector registers, so every centre still sums in that
// order while the sums never go through memory.
void SpectrumAnalyser::computeLocalLevel()
{
    const int u = parameters_.localHalfWidth;
    const int bins = parameters_.binCount;
    const float divisor = static_cast<float>(u);
    for (int j = 0; j < bins; ++j)
        localTerm_[j] = 0.5f * level_[j] / divisor;
    const int firstCentre = u;
    const int lastCentre = bins - 2 - u;
    float* sum = localLevel_.data();
    const float* term = localTerm_.data();
    int c = sumCentres(term, u, firstCentre, lastCentre + 1, sum);
    c = sumBlocksDefault(term, u, c, lastCentre + 1, sum);
    for (; c <= lastCentre; ++c) {
        float s = 0.0f;
        for (int j = c - u; j <= c + u; ++j)
            s += term[j];
        sum[c] = s;
    }
    for (c = firstCentre; c <= lastCentre; ++c)
        sum[c] += kLocalLevelOffset;
    // Bins without a full average take the nearest centre's value. Every bin above the last
    // centre is filled, including bin B − 1 − u, so no bin keeps a stale value.
    std::fill(sum, sum + firstCentre, sum[firstCentre]);
    std::fill(sum + lastCentre + 1, sum + bins, sum[lastCentre]);
}

// The bins are first screened without branches (a peak's place in the spectrum is unpredictable,
// so a branch per bin mispredicts often): a vector pass marks them, a second pass lists the
// marked bins. Only those candidates get the parabola fit.
void SpectrumAnalyser::findPeaks()
{
    peaks_.clear();
    const int last = parameters_.binCount - 4;
    const float* m = magnitude_.data();
    const float* dB = level_.data();
    int* isPeak = peakMark_.data();
    for (int k = 2; k <= last; ++k)
        isPeak[k] = (m[k] > m[k - 1]) & (m[k] > m[k + 1]) & (dB[k] > kPeakFloor);
    int* candidates = candidate_.data();
    int count = 0;
    for (int k = 2; k <= last; ++k) {
        candidates[count] = k;
        count += isPeak[k];
    }
    for (int i = 0; i < count; ++i)
        addPeak(candidates[i]);
}

void SpectrumAnalyser::addPeak(int k)
{
    const float a = level_[k - 1];
    const float b = level_[k];
    const float c = level_[k + 1];
    const float curvature = a - 2.0f * b + c;
    // Neighbours whose levels round to the peak's leave no curvature: keep the bin itself.
    const float offset = curvature < 0.0f ? 0.5f * (a - c) / curvature : 0.0f;
    SpectralPeak peak;
    // The frame size is a power of two, so multiplying by its inverse divides exactly.
    peak.frequency = (static_cast<float>(k) + offset) * parameters_.sampleRate * inverseFrameSize_;
    peak.level = b - 0.25f * (a - c) * offset;
    peaks_.push_back(peak);
}

// Keeps the strongest peak of [first, last) and removes its neighbours closer than
// max(3 bins, 1/16 octave), then does the same on each side. Among equal levels the lowest
// peak wins. The ranges never overlap, so each only ever sees surviving peaks.
void SpectrumAnalyser::prune(size_t first, size_t last)
{
    const float zone = kPruneBins * parameters_.binWidth;
    while (first < last) {
        size_t strongest = first;
        for (size_t i = first + 1; i < last; ++i) {
            if (peaks_[i].level > peaks_[strongest].level)
                strongest = i;
        }
        const float f = peaks_[strongest].frequency;
        const float lowLimit = std::min(f / kSixteenthOctave, f - zone);
        size_t low = strongest;
        while (low > first && peaks_[low - 1].frequency > lowLimit)
            pruned_[--low] = 1;
        prune(first, low);
        const float highLimit = std::max(f + zone, f * kSixteenthOctave);
        size_t high = strongest + 1;
        while (high < last && peaks_[high].frequency < highLimit)
            pruned_[high++] = 1;
        first = high;
    }
}

void SpectrumAnalyser::removePrunedPeaks()
{
    size_t kept = 0;
    for (size_t i = 0; i < peaks_.size(); ++i) {
        if (pruned_[i])
            pruned_[i] = 0;
        else
            peaks_[kept++] = peaks_[i];
    }
    peaks_.resize(kept);
}

// Pruning reads only frequencies and levels, so only the surviving peaks need their local level.
void SpectrumAnalyser::readLocalLevels()
{
    for (SpectralPeak& peak : peaks_)
        peak.localLevel = localLevelAt(peak.frequency);
}

// Peaks spread in ascending frequency, so a lower peak can mask a higher one in the same frame.
void SpectrumAnalyser::applyMask()
{
    mask_.decay();
    for (const SpectralPeak& peak : peaks_)
        mask_.spread(peak.frequency, peak.level);
    for (SpectralPeak& peak : peaks_)
        peak.maskLevel = mask_.at(peak.frequency);
}

void SpectrumAnalyser::computeFrameLevel()
{
    double sum = 0.0;
    for (float m : magnitude_)
        sum += static_cast<double>(m) * m;
    const double rms = std::sqrt(sum / static_cast<double>(magnitude_.size()));
    frameLevel_ = rms > 0.0 ? static_cast<float>(20.0 * std::log10(rms)) : kFloor;
}

float SpectrumAnalyser::binPosition(float frequency) const
{
    return static_cast<float>(parameters_.frameSize) * frequency / parameters_.sampleRate;
}
