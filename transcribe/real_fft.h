#pragma once

#include <span>

/**
 * Power spectrum of a real frame, computed with an FFTW single-precision real transform.
 *
 * The plan and both buffers are made in configure(); power() allocates nothing, so it may run
 * once per analysis frame. Not thread-safe: one thread at a time (the transcription engine runs
 * on the GUI thread); configure() also makes an FFTW plan, which FFTW requires from one thread.
 */
class RealFft
{
public:
    RealFft() = default;
    ~RealFft();
    RealFft(const RealFft&) = delete;
    RealFft& operator=(const RealFft&) = delete;

    /**
     * Prepares transforms of `size` samples. Only powers of two from 2 up are accepted; any
     * other size adds "<size> is not a power of two" to the error log and returns false.
     */
    bool configure(int size);

    int size() const { return size_; }

    /** The frame to transform: size() samples, written by the caller before power(). */
    std::span<float> input() { return {input_, static_cast<size_t>(size_)}; }

    /**
     * Writes size() ÷ 2 power values re² + im² of the DFT of input(); bin 0 holds
     * DC² + Nyquist², as if the Nyquist bin were folded onto DC.
     */
    void power(std::span<float> out);

private:
    void release();

    int size_ = 0;
    float* input_ = nullptr;
    void* output_ = nullptr; // fftwf_complex[size ÷ 2 + 1]
    void* plan_ = nullptr;   // fftwf_plan
};
