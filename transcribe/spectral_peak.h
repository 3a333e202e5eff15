#pragma once

class PartialTrack;

/**
 * One peak of a frame's magnitude spectrum, at the vertex of the parabola through its bin and
 * the two neighbours. Rebuilt every frame by the spectrum analyser; analysis thread only.
 */
struct SpectralPeak
{
    /** Mask level of a peak before the frame's harmonic mask is complete. */
    static constexpr float kMaskPending = -123.0f;

    PartialTrack* owner = nullptr;  ///< the track that took the peak this frame, if any
    float frequency = 0.0f;         ///< Hz
    float level = 0.0f;             ///< dB at the vertex
    float localLevel = 0.0f;        ///< dB, the local level curve at the frequency
    float maskLevel = kMaskPending; ///< dB, the harmonic mask at the frequency
};
