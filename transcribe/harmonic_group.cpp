#include "harmonic_group.h"

#include "partial_track.h"

#include <cmath>
#include <numbers>

double aWeighting(double frequency)
{
    const double f2 = frequency * frequency;
    // 12200², 20.6², 107.7², 737.9²
    return 148840000.0 * f2 * f2 /
           ((f2 + 424.36) * std::sqrt((f2 + 11599.29) * (f2 + 544496.41)) * (f2 + 148840000.0));
}

double trackStrength(const PartialTrack& track, int frame)
{
    if (!track.isActiveAt(frame))
        return 0.0;
    const TrackPoint& p = track.at(frame);
    const double scale = 10.0 * std::numbers::sqrt2;
    const double level = p.level;
    return std::pow(10.0, level / 20.0) * (1.0 + std::erf((level - p.localLevel - 20.0) / scale)) *
           (1.0 + std::erf((level - p.maskLevel) / scale)) * aWeighting(p.frequency);
}

float harmonicWeight(double ratio, int* harmonic)
{
    const double h = std::floor(ratio + 0.5);
    *harmonic = static_cast<int>(h);
    if (h <= 1.0 || std::abs(h - ratio) > 0.2)
        return 0.0f;
    const double miss = h - ratio;
    return static_cast<float>(std::pow(h, -0.25) * std::exp(-0.5 * miss * miss / 0.01));
}
