#include "analysis_parameters.h"

#include <cmath>

namespace {

// Frames between the newest frame k and the frame truncate(k − seconds × rate ÷ hop):
// for every k past the lag itself, truncation toward zero makes the lag the ceiling.
int lagFrames(double seconds, double sampleRate, int hop)
{
    return static_cast<int>(std::ceil(seconds * sampleRate / hop));
}

} // namespace

AnalysisParameters AnalysisParameters::forSampleRate(float sampleRate)
{
    AnalysisParameters p;
    p.sampleRate = sampleRate;
    const bool usable =
        std::isfinite(sampleRate) && sampleRate >= kBaseRate && sampleRate <= kMaxRatio * kBaseRate;
    const int ratio = usable ? static_cast<int>(sampleRate / kBaseRate) : 0;
    p.frameSize = 2048 * ratio;
    p.hop = 256 * ratio;
    p.binCount = p.frameSize / 2;
    if (ratio < 1)
        return p;
    p.binWidth = sampleRate / static_cast<float>(p.frameSize);
    p.localHalfWidth = static_cast<int>(200.0f / p.binWidth);
    p.maskDecay = 20.0f * static_cast<float>(p.hop) / sampleRate;
    p.decisionLag = lagFrames(0.3, sampleRate, p.hop);
    p.emissionLag = lagFrames(0.5, sampleRate, p.hop);
    return p;
}
