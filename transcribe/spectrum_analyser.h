#pragma once

#include "analysis_parameters.h"
#include "harmonic_mask.h"
#include "real_fft.h"
#include "spectral_peak.h"

#include <span>
#include <vector>

/**
 * Turns one frame of samples into a cleaned-up list of spectral peaks.
 *
 * Per frame: Hann window, power spectrum, magnitudes and levels, the local level (a 400 Hz wide
 * average of the levels), the peaks with parabolic interpolation, pruning of peaks too close to
 * a stronger one, the harmonic mask (kept across frames) and the frame's overall level.
 * Every buffer is made in configure(); analyse() allocates nothing. Analysis thread only (the
 * transcription engine runs it on the GUI thread); the accessors read the last frame.
 */
class SpectrumAnalyser
{
public:
    /** Level of silence and of curves that hold nothing yet. */
    static constexpr float kFloor = -150.0f;
    /** A bin at or below this level is never a peak. */
    static constexpr float kPeakFloor = -80.0f;

    /** Sizes the buffers; false (with the reason in the error log) for an unusable frame size. */
    bool configure(const AnalysisParameters& parameters);

    /** Forgets the previous frames: the mask returns to the floor, the peaks are cleared. */
    void reset();

    /** Analyses frameSize samples, oldest first. */
    void analyse(std::span<const float> frame);

    /** Frequency in Hz of each bin. */
    std::span<const float> binFrequencies() const { return binFrequency_; }
    std::span<const float> magnitudes() const { return magnitude_; }
    /** Level of each bin in dB; kFloor where the magnitude is 0. */
    std::span<const float> levels() const { return level_; }
    std::span<const float> localLevels() const { return localLevel_; }
    const HarmonicMask& harmonicMask() const { return mask_; }
    /** Overall level of the last frame in dB (root mean square of the magnitudes). */
    float frameLevel() const { return frameLevel_; }

    /** Peaks of the last frame in ascending frequency; the tracker sets their owners. */
    std::span<SpectralPeak> peaks() { return peaks_; }
    std::span<const SpectralPeak> peaks() const { return peaks_; }

    /** The local level curve read at a frequency. */
    float localLevelAt(float frequency) const;

private:
    void transform(std::span<const float> frame);
    void computeLevels();
    void computeLocalLevel();
    void findPeaks();
    void addPeak(int bin);
    void prune(size_t first, size_t last);
    void removePrunedPeaks();
    void readLocalLevels();
    void applyMask();
    void computeFrameLevel();
    float binPosition(float frequency) const;

    AnalysisParameters parameters_;
    RealFft fft_;
    std::vector<float> window_;
    std::vector<float> binFrequency_;
    std::vector<float> power_;
    std::vector<float> magnitude_;
    std::vector<float> level_;
    std::vector<float> localTerm_;
    std::vector<float> localLevel_;
    std::vector<SpectralPeak> peaks_;
    std::vector<unsigned char> pruned_;
    std::vector<int> peakMark_;  // 1 where a bin passes the peak test, one frame
    std::vector<int> candidate_; // bins that pass it, one frame
    float inverseFrameSize_ = 0.0f;
    HarmonicMask mask_;
    float frameLevel_ = kFloor;
};
