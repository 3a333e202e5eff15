#include "polyphase_decimator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Stop-band attenuation in dB and the transition band as a fraction of the output rate: pass
// band to 0.4, stop band from 0.6 (what folds to the pass band's edge).
constexpr double kAttenuation = 90.0;
constexpr double kTransition = 0.2;

// The zeroth-order modified Bessel function of the first kind, by its power series.
double besselI0(double x)
{
    double sum = 1.0;
    double term = 1.0;
    for (int k = 1; k < 64 && term > sum * 1e-17; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
    }
    return sum;
}

} // namespace

int PolyphaseDecimator::factorFor(double fileRate, double rate)
{
    if (!(rate >= 1.0) || !(fileRate >= 1.0) || std::floor(rate) != rate ||
        std::floor(fileRate) != fileRate)
        return 0;
    const double factor = fileRate / rate;
    if (factor < 2.0 || factor > kMaxFactor || std::floor(factor) != factor)
        return 0;
    return int(factor);
}

bool PolyphaseDecimator::configure(int factor, int channels, int block)
{
    if (factor < 2 || factor > kMaxFactor || channels < 1 || block < 1)
        return false;
    m_factor = factor;
    // Kaiser's estimate of the length that reaches the attenuation over the transition band.
    const double transition = kTransition / factor;
    m_half = int(std::ceil((kAttenuation - 7.95) / (14.36 * transition) / 2.0));
    m_phaseTaps = (2 * m_half + 1 + factor - 1) / factor;
    m_block = std::max(1, block / factor);
    design();

    const long long span = (long long)m_phaseTaps * factor;
    // The leading zeros, a step's input, what the filter still needs of the last step, and the
    // silence that flushes the tail.
    const auto capacity = size_t(m_half + m_block * factor + 2 * span);
    m_input.assign(size_t(channels), std::vector<float>(capacity, 0.0f));
    m_phases.assign(size_t(factor), std::vector<float>(size_t(m_block + m_phaseTaps), 0.0f));
    m_output.assign(size_t(channels), nullptr);
    reset();
    return true;
}

// A windowed sinc with its cut-off at the output's Nyquist frequency, scaled to a gain of one.
void PolyphaseDecimator::design()
{
    const double beta = 0.1102 * (kAttenuation - 8.7);
    const double cutoff = 0.5 / m_factor; // cycles per input sample
    m_taps.assign(size_t(m_phaseTaps * m_factor), 0.0f);
    std::vector<double> taps(size_t(2 * m_half + 1));
    double sum = 0.0;
    for (int i = -m_half; i <= m_half; ++i) {
        const double x = 2.0 * cutoff * i;
        const double sinc = i == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
        const double r = double(i) / m_half;
        const double window =
            besselI0(beta * std::sqrt(std::max(0.0, 1.0 - r * r))) / besselI0(beta);
        taps[size_t(i + m_half)] = sinc * window;
        sum += sinc * window;
    }
    for (size_t t = 0; t < taps.size(); ++t)
        m_taps[t] = float(taps[t] / sum);
}

void PolyphaseDecimator::reset()
{
    for (auto& samples : m_input)
        std::fill(samples.begin(), samples.begin() + m_half, 0.0f);
    m_start = 0;
    m_filled = m_half;
    m_received = 0;
    m_delivered = 0;
    m_ended = false;
}

long long PolyphaseDecimator::process(const float* const* in, long long inFrames, bool endOfInput,
                                      float* const* out, long long outFrames, long long& used)
{
    used = 0;
    if (m_factor == 0)
        return 0;
    long long made = 0;
    while (made < outFrames) {
        if (!m_ended)
            used += take(in, used, std::max(0LL, inFrames - used));
        if (endOfInput && used >= inFrames && !m_ended) {
            m_ended = true;
            appendSilence((long long)m_phaseTaps * m_factor);
        }
        const long long n = std::min({outputsReady(), outFrames - made, m_block});
        if (n <= 0)
            break;
        for (size_t c = 0; c < m_output.size(); ++c)
            m_output[c] = out[c] + made;
        filter(m_output.data(), n);
        made += n;
    }
    return made;
}

// Copies what fits of the input from offset on, after a compaction, keeping room for the
// tail's silence.
long long PolyphaseDecimator::take(const float* const* in, long long offset, long long frames)
{
    const long long capacity = (long long)m_input.front().size();
    const long long reserve = (long long)m_phaseTaps * m_factor;
    if (m_filled + frames + reserve > capacity)
        compact();
    const long long n = std::min(frames, capacity - reserve - m_filled);
    if (n <= 0)
        return 0;
    for (size_t c = 0; c < m_input.size(); ++c)
        std::copy(in[c] + offset, in[c] + offset + n, m_input[c].begin() + m_filled);
    m_filled += n;
    m_received += n;
    return n;
}

void PolyphaseDecimator::appendSilence(long long frames)
{
    compact();
    const long long n = std::min(frames, (long long)m_input.front().size() - m_filled);
    for (auto& samples : m_input)
        std::fill(samples.begin() + m_filled, samples.begin() + m_filled + n, 0.0f);
    m_filled += n;
}

// Outputs whose whole filter span is held; after the end, only those of the signal itself.
long long PolyphaseDecimator::outputsReady() const
{
    const long long span = (long long)m_phaseTaps * m_factor;
    const long long held = m_filled - m_start;
    long long ready = held >= span ? (held - span) / m_factor + 1 : 0;
    if (m_ended)
        ready = std::min(ready, (m_received + m_factor - 1) / m_factor - m_delivered);
    return std::max(0LL, ready);
}

// Output j is the dot product of the taps with the input from its start. Split by phase, each
// tap multiplies one contiguous run of input; outputs are summed a group at a time in registers.
void PolyphaseDecimator::filter(float* const* out, long long frames)
{
    const long long run = frames + m_phaseTaps - 1;
    for (size_t c = 0; c < m_input.size(); ++c) {
        const float* base = m_input[c].data() + m_start;
        for (int p = 0; p < m_factor; ++p) {
            float* phase = m_phases[size_t(p)].data();
            for (long long m = 0; m < run; ++m)
                phase[m] = base[m * m_factor + p];
        }
        long long j = 0;
        for (; j + kGroup <= frames; j += kGroup)
            sumGroup<kGroup>(out[c] + j, j);
        for (; j < frames; ++j)
            sumGroup<1>(out[c] + j, j);
    }
    m_start += frames * m_factor;
    m_delivered += frames;
}

template <int N> void PolyphaseDecimator::sumGroup(float* y, long long j) const
{
    float sum[N] = {};
    const float* tap = m_taps.data();
    for (int k = 0; k < m_phaseTaps; ++k) {
        for (int p = 0; p < m_factor; ++p, ++tap) {
            const float* x = m_phases[size_t(p)].data() + j + k;
            for (int i = 0; i < N; ++i)
                sum[i] += *tap * x[i];
        }
    }
    std::copy(sum, sum + N, y);
}

// Moves the input still needed to the buffer's start.
void PolyphaseDecimator::compact()
{
    if (m_start == 0)
        return;
    for (auto& samples : m_input)
        std::copy(samples.begin() + m_start, samples.begin() + m_filled, samples.begin());
    m_filled -= m_start;
    m_start = 0;
}
