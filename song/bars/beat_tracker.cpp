#include "beat_tracker.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kBumpWidth = 0.02; // seconds: a note's onset is known to about this much
constexpr double kTightness = 60.0; // weight of the log-ratio penalty against onset strength

std::vector<double> strengthCurve(const std::vector<BeatTracker::Onset>& onsets, double start,
                                  int frames)
{
    std::vector<double> curve(size_t(frames), 0.0);
    const int reach = int(std::ceil(3 * kBumpWidth * BeatTracker::kRate));
    for (const BeatTracker::Onset& onset : onsets) {
        const int centre = int(std::lround((onset.time - start) * BeatTracker::kRate));
        for (int n = std::max(0, centre - reach); n <= std::min(frames - 1, centre + reach); ++n) {
            const double d = (n / BeatTracker::kRate + start - onset.time) / kBumpWidth;
            curve[size_t(n)] += onset.strength * std::exp(-0.5 * d * d);
        }
    }
    return curve;
}

} // namespace

std::vector<double> BeatTracker::track(const std::vector<Onset>& onsets, double period)
{
    if (onsets.empty() || !(period > 0.0))
        return {};
    auto [first, last] =
        std::minmax_element(onsets.begin(), onsets.end(),
                            [](const Onset& a, const Onset& b) { return a.time < b.time; });
    const double start = first->time - period;
    const double end = last->time + period;
    const int frames = int(std::ceil((end - start) * kRate)) + 1;
    const std::vector<double> curve = strengthCurve(onsets, start, frames);

    // score[n]: the best total of a beat sequence ending with a beat at frame n.
    const double p = period * kRate;
    const int shortest = std::max(1, int(std::floor(p * 0.7)));
    const int longest = int(std::ceil(p * 1.4));
    std::vector<double> score(curve);
    std::vector<int> previous(size_t(frames), -1);
    for (int n = shortest; n < frames; ++n) {
        double best = 0.0; // starting a new sequence here costs nothing
        int from = -1;
        for (int k = n - longest; k <= n - shortest; ++k) {
            if (k < 0)
                continue;
            const double ratio = std::log((n - k) / p);
            const double candidate = score[size_t(k)] - kTightness * ratio * ratio;
            if (candidate > best) {
                best = candidate;
                from = k;
            }
        }
        score[size_t(n)] = curve[size_t(n)] + best;
        previous[size_t(n)] = from;
    }

    // The sequence ends at the best score within the last period.
    int n = frames - 1;
    for (int k = std::max(0, frames - 1 - int(p)); k < frames; ++k)
        if (score[size_t(k)] > score[size_t(n)])
            n = k;
    std::vector<double> beats;
    for (; n >= 0; n = previous[size_t(n)])
        beats.push_back(start + n / kRate);
    std::reverse(beats.begin(), beats.end());

    // Beats through a leading gap the sequence did not reach, at the local period.
    while (beats.size() >= 2 && beats.front() > first->time - period * 0.5) {
        const double step = beats[1] - beats[0];
        beats.insert(beats.begin(), beats.front() - step);
    }
    while (beats.size() >= 2 && beats.back() < last->time + period * 0.5) {
        const double step = beats[beats.size() - 1] - beats[beats.size() - 2];
        beats.push_back(beats.back() + step);
    }
    return beats;
}
