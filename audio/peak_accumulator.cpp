#include "peak_accumulator.h"

#include <algorithm>
#include <cmath>

namespace {

unsigned char scaled(double value)
{
    return static_cast<unsigned char>(std::min(255.0, std::floor(255.0 * value)));
}

} // namespace

PeakAccumulator::PeakAccumulator(int channels, long long framesPerRecord)
    : m_sums(size_t(std::max(channels, 0))), m_framesPerRecord(std::max(1LL, framesPerRecord))
{
}

void PeakAccumulator::add(const float* const* samples, long long frames, QByteArray& out)
{
    for (long long k = 0; k < frames;) {
        // The rest of the current period, one channel at a time (vectorises).
        const long long n = std::min(frames - k, m_framesPerRecord - m_inPeriod);
        for (size_t c = 0; c < m_sums.size(); ++c) {
            const float* s = samples[c] + k;
            float peak = m_sums[c].peak;
            float squares = 0.0f;
            for (long long i = 0; i < n; ++i) {
                const float v = std::fabs(s[i]);
                peak = v > peak ? v : peak;
                squares += v * v;
            }
            m_sums[c].peak = peak;
            m_sums[c].squares += double(squares);
        }
        k += n;
        m_inPeriod += n;
        if (m_inPeriod == m_framesPerRecord)
            appendRecord(out);
    }
}

void PeakAccumulator::finish(QByteArray& out)
{
    if (m_inPeriod > 0)
        appendRecord(out);
}

void PeakAccumulator::appendRecord(QByteArray& out)
{
    for (ChannelSums& s : m_sums) {
        out.append(char(scaled(s.peak)));
        out.append(char(scaled(std::sqrt(s.squares / double(m_inPeriod)))));
        s = ChannelSums{};
    }
    m_inPeriod = 0;
}
