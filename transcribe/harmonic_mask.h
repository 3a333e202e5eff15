#pragma once

#include "analysis_parameters.h"

#include <span>
#include <vector>

/**
 * The decaying harmonic mask: per bin, the level (dB) below which a peak counts as explained
 * by a louder, lower peak whose harmonics reach it.
 *
 * Each unmasked peak raises the mask around each of its harmonics K to its level − 12·ln K,
 * falling linearly by 60 dB down to half that harmonic's frequency and up to twice it. The mask
 * is kept across frames and falls by a fixed number of dB per frame. Buffers are made in
 * configure(); the per-frame calls allocate nothing. Analysis thread only.
 */
class HarmonicMask
{
public:
    static constexpr float kFloor = -150.0f;

    void configure(const AnalysisParameters& parameters, std::span<const float> binFrequencies);

    /** Every bin back to the floor, as at the start of a run. */
    void reset();

    /** Lowers every bin by the per-frame decay. */
    void decay();

    /** The mask at a frequency, interpolated between bins. */
    float at(float frequency) const;

    /**
     * Spreads the harmonics of a peak unless the mask at its frequency is already above its
     * level. Returns false for such a masked peak, which spreads nothing.
     */
    bool spread(float frequency, float level);

    std::span<const float> values() const { return mask_; }

private:
    void spreadHarmonic(int bin, float top, float harmonicFrequency);

    std::vector<float> mask_;
    std::vector<float> harmonicDrop_; // 12·ln K by harmonic number K
    std::span<const float> binFrequency_;
    float frameSize_ = 0.0f;
    float sampleRate_ = 0.0f;
    float decay_ = 0.0f;
};
