#pragma once

/**
 * The sizes and rates of one analysis run, derived from the sample rate.
 *
 * Everything is scaled from the 11025 Hz analysis rate by the integer ratio
 * sampleRate ÷ 11025, so at 11025 Hz a frame is 2048 samples and the hop 256.
 * A plain value type; any thread.
 */
struct AnalysisParameters
{
    /** The rate the driver always analyses at, and the unit of the scaling. */
    static constexpr float kBaseRate = 11025.0f;
    /** The highest rate accepted, as a multiple of kBaseRate (a 32768-sample frame). */
    static constexpr int kMaxRatio = 16;

    float sampleRate = 0.0f;
    int frameSize = 0;      ///< N: samples per frame, the FFT size
    int hop = 0;            ///< H: samples between two frames
    int binCount = 0;       ///< B = N ÷ 2: spectrum bins kept
    float binWidth = 0.0f;  ///< sampleRate ÷ N in Hz
    int localHalfWidth = 0; ///< u: half-width in bins of the local level average (200 Hz)
    float maskDecay = 0.0f; ///< dB the harmonic mask falls per frame (20 dB per second)
    int decisionLag = 0;    ///< frames between the newest frame and the note decision (0.3 s)
    int emissionLag = 0;    ///< frames between the newest frame and note emission (0.5 s)

    /**
     * The parameters for a sample rate. The frame size may come out unusable: 0 for a rate
     * outside 11025 Hz .. kMaxRatio × 11025 Hz (isUsable() is false), or not a power of two,
     * which the FFT refuses when it is configured.
     */
    static AnalysisParameters forSampleRate(float sampleRate);

    bool isUsable() const { return frameSize > 0; }

    /**
     * Time of a frame in seconds from the first sample: (frame × hop − binCount) ÷ rate.
     * Negative for the first frames.
     */
    double frameTime(int frame) const
    {
        return (static_cast<double>(frame) * hop - binCount) / sampleRate;
    }

    /** A frame's time as events carry it: never before the first sample. */
    double eventTime(int frame) const { return frameTime(frame) > 0.0 ? frameTime(frame) : 0.0; }

    /** Zero samples finish() feeds so that every pending decision and note-off is reached. */
    int flushLength() const { return (emissionLag + decisionLag) * hop + 4 * binCount; }
};
