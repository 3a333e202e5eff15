#include "real_fft.h"

#include "error_log.h"

#include <fftw3.h>

namespace {

bool isPowerOfTwo(int n)
{
    return n >= 2 && (n & (n - 1)) == 0;
}

} // namespace

RealFft::~RealFft()
{
    release();
}

bool RealFft::configure(int size)
{
    if (!isPowerOfTwo(size)) {
        ErrorLog::add(QStringLiteral("%1 is not a power of two").arg(size));
        return false;
    }
    if (size == size_)
        return true;
    release();
    input_ = fftwf_alloc_real(static_cast<size_t>(size));
    auto* output = fftwf_alloc_complex(static_cast<size_t>(size / 2 + 1));
    output_ = output;
    // FFTW_ESTIMATE: the plan does not depend on timing, so every run gives the same bits.
    plan_ = fftwf_plan_dft_r2c_1d(size, input_, output, FFTW_ESTIMATE | FFTW_DESTROY_INPUT);
    if (!input_ || !output_ || !plan_) {
        release();
        ErrorLog::add(
            QStringLiteral("RealFft::configure: cannot plan a transform of %1").arg(size));
        return false;
    }
    size_ = size;
    return true;
}

void RealFft::power(std::span<float> out)
{
    fftwf_execute(static_cast<fftwf_plan>(plan_));
    const auto* bins = static_cast<const fftwf_complex*>(output_);
    const int half = size_ / 2;
    out[0] = bins[0][0] * bins[0][0] + bins[half][0] * bins[half][0];
    for (int i = 1; i < half; ++i)
        out[i] = bins[i][0] * bins[i][0] + bins[i][1] * bins[i][1];
}

void RealFft::release()
{
    if (plan_)
        fftwf_destroy_plan(static_cast<fftwf_plan>(plan_));
    fftwf_free(input_);
    fftwf_free(output_);
    plan_ = nullptr;
    input_ = nullptr;
    output_ = nullptr;
    size_ = 0;
}
