#pragma once

#include <vector>

/**
 * Lowers the sample rate of planar audio by a whole factor (44100 Hz to 11025 Hz is 4): a
 * linear-phase low-pass FIR (Kaiser-windowed sinc) evaluated only at the kept samples, in its
 * polyphase form so the inner loops run over contiguous samples.
 *
 * The pass band reaches 80% of the output's Nyquist frequency, like the fastest sinc converter of
 * libsamplerate the reader uses for other ratios; from 120% on everything is at least 90 dB down,
 * so nothing folds into the pass band. Output sample n is the filtered input at sample n × factor,
 * without delay: the signal is taken as silent before its start and after its end.
 *
 * All buffers are made in configure(); process() allocates nothing. One thread at a time.
 */
class PolyphaseDecimator
{
public:
    static constexpr int kMaxFactor = 16;

    /**
     * The whole factor fileRate ÷ rate when it is one from 2 to kMaxFactor and both rates are
     * whole numbers of Hz, else 0.
     */
    static int factorFor(double fileRate, double rate);

    /**
     * Designs the filter for factor (2..kMaxFactor) and makes room for `block` input frames of
     * each of `channels` channels per step. False for out-of-range arguments.
     */
    bool configure(int factor, int channels, int block);
    /** Forgets the input held: the next process() starts a new signal. */
    void reset();

    int factor() const { return m_factor; }
    int taps() const { return int(m_taps.size()); }

    /**
     * Takes up to inFrames frames of input (one buffer per channel; used tells how many it took)
     * and writes up to outFrames output frames (one buffer per channel). With endOfInput, and
     * once all the input is taken, the filter's tail is flushed: the whole signal gives one output
     * frame per started group of factor input frames. Returns the output frames written; 0 once
     * everything is out.
     */
    long long process(const float* const* in, long long inFrames, bool endOfInput,
                      float* const* out, long long outFrames, long long& used);

private:
    void design();
    long long take(const float* const* in, long long offset, long long frames);
    void appendSilence(long long frames);
    long long outputsReady() const;
    void filter(float* const* out, long long frames);
    template <int N> void sumGroup(float* y, long long j) const;
    void compact();

    static constexpr int kGroup = 16; // outputs summed together

    int m_factor = 0;
    int m_half = 0;            // taps on each side of the centre tap
    int m_phaseTaps = 0;       // taps per phase: the filter's length in output samples
    long long m_block = 0;     // output frames per filtering step
    std::vector<float> m_taps; // factor × m_phaseTaps, zero after the filter's own length
    std::vector<std::vector<float>> m_input;  // per channel: m_half zeros, then the signal
    std::vector<std::vector<float>> m_phases; // one channel's input split by phase
    std::vector<float*> m_output;             // where the current step writes, per channel
    long long m_start = 0;  // first input sample still needed (a multiple of the factor)
    long long m_filled = 0; // input samples held, counted from the buffer's start
    long long m_received = 0;
    long long m_delivered = 0;
    bool m_ended = false;
};
