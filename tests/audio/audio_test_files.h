#pragma once

// Audio files the audio tests make for themselves: tones written as 32-bit float WAV (or any
// format the registry writes), and the spectral peak of a rendered signal.
#include "audio_file.h"
#include "audio_format_registry.h"

#include <sndfile.h>

#include <QString>
#include <cmath>
#include <functional>
#include <vector>

namespace audiotest {

/** Sample of channel c at frame k. */
using Signal = std::function<float(int c, long long k)>;

/** A sine of `hz` at `rate` with amplitude a, the same on every channel. */
inline Signal sine(double hz, double rate, double a)
{
    return
        [=](int, long long k) { return float(a * std::sin(2.0 * M_PI * hz * double(k) / rate)); };
}

/** Writes `frames` frames of the signal; float WAV unless the path names another format. */
inline bool writeFile(const QString& path, int channels, int rate, long long frames,
                      const Signal& signal, int quality = 3)
{
    AudioFormatRegistry& registry = AudioFormatRegistry::instance();
    const QString suffix = path.section(QLatin1Char('.'), -1).toLower();
    const auto* entry = registry.entryFor(suffix);
    if (!entry)
        return false;
    registry.chooseWriteFormat(entry->extension, entry->majorFormat, quality, 4);
    auto file = registry.create(path, channels, rate, 4096);
    if (!file || !file->open(path, AudioFile::Writing))
        return false;
    std::vector<std::vector<float>> data(size_t(channels), std::vector<float>(4096));
    std::vector<float*> pointers;
    for (auto& channel : data)
        pointers.push_back(channel.data());
    for (long long done = 0; done < frames;) {
        const long long n = std::min<long long>(4096, frames - done);
        for (int c = 0; c < channels; ++c)
            for (long long k = 0; k < n; ++k)
                data[size_t(c)][size_t(k)] = signal(c, done + k);
        if (file->write(pointers.data(), n) != n)
            return false;
        done += n;
    }
    file->close();
    registry.chooseWriteFormat(QStringLiteral("wav"), SF_FORMAT_WAV, 0, 4);
    return true;
}

/**
 * The frequency between lo and hi Hz (in 0.1 Hz steps) where the Hann-windowed spectrum of
 * samples[from, from + n) is largest.
 */
inline double peakFrequency(const std::vector<float>& samples, size_t from, size_t n, double rate,
                            double lo, double hi)
{
    std::vector<double> windowed(n);
    for (size_t k = 0; k < n; ++k)
        windowed[k] =
            samples[from + k] * (0.5 - 0.5 * std::cos(2.0 * M_PI * double(k) / double(n)));
    double best = lo, bestPower = -1.0;
    for (double hz = lo; hz <= hi; hz += 0.1) {
        const double w = 2.0 * M_PI * hz / rate;
        // Goertzel: the power of one frequency.
        double s1 = 0, s2 = 0;
        const double coefficient = 2.0 * std::cos(w);
        for (size_t k = 0; k < n; ++k) {
            const double s0 = windowed[k] + coefficient * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
        if (power > bestPower) {
            bestPower = power;
            best = hz;
        }
    }
    return best;
}

/** The largest step between neighbouring samples in [from, to). */
inline float largestStep(const std::vector<float>& samples, size_t from, size_t to)
{
    float step = 0;
    for (size_t k = from + 1; k < to && k < samples.size(); ++k)
        step = std::max(step, std::fabs(samples[k] - samples[k - 1]));
    return step;
}

} // namespace audiotest
