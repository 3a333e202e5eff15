#include "singer_tuning.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// The wrapped difference of two grid positions, in −0.5..0.5 semitone.
double wrapped(double x)
{
    return x - std::floor(x + 0.5);
}

struct Phasor
{
    double c = 0.0;
    double s = 0.0;

    void add(double pitch, double weight)
    {
        c += weight * std::cos(kTwoPi * pitch);
        s += weight * std::sin(kTwoPi * pitch);
    }
    // Where on the grid the weighted pitches lie, −0.5..0.5; 0 when they cancel out.
    double position() const { return (c == 0.0 && s == 0.0) ? 0.0 : std::atan2(s, c) / kTwoPi; }
};

} // namespace

std::vector<double> SingerTuning::references(const SungNotes& notes,
                                             const std::vector<double>& weights)
{
    const std::size_t n = notes.size();
    if (n == 0)
        return {};
    Phasor global;
    for (std::size_t i = 0; i < n; ++i)
        global.add(notes[i].pitch, weights[i]);
    const double whole = global.position();
    std::vector<double> refs(n, whole);
    // Each pass moves every local reference by the weighted mean of the notes' distances from
    // it, wrapped to ±0.5: measured from the reference itself, a drift that spreads the
    // window's pitches over most of a semitone still averages correctly, where a plain
    // circular mean of so wide a spread would not.
    for (int pass = 0; pass < kPasses; ++pass)
        refs = movedReferences(notes, weights, refs, whole);
    // Unwrap along the take, then move the whole by semitones to sit around the 440 Hz grid.
    double sum = 0.0;
    double total = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0)
            refs[i] = refs[i - 1] + wrapped(refs[i] - refs[i - 1]);
        sum += weights[i] * refs[i];
        total += weights[i];
    }
    const double mean = total > 0.0 ? sum / total : refs[0];
    const double shift = std::floor(mean + 0.5);
    for (double& r : refs)
        r -= shift;
    return refs;
}

// One pass over the notes in onset order; the window's reach keeps it linear in the notes.
std::vector<double> SingerTuning::movedReferences(const SungNotes& notes,
                                                  const std::vector<double>& weights,
                                                  const std::vector<double>& refs, double whole)
{
    const std::size_t n = notes.size();
    const double reach = 3.0 * kWindow; // the window's weight is negligible beyond
    std::vector<double> moved(n);
    std::size_t first = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = notes[i].onset;
        while (notes[first].onset < t - reach)
            ++first;
        // The whole take's reference steadies a window that holds few notes.
        double sum = kGlobalWeight * wrapped(whole - refs[i]);
        double total = kGlobalWeight;
        for (std::size_t j = first; j < n && notes[j].onset <= t + reach; ++j) {
            const double d = (notes[j].onset - t) / kWindow;
            const double w = weights[j] * std::exp(-0.5 * d * d);
            sum += w * wrapped(notes[j].pitch - refs[i]);
            total += w;
        }
        moved[i] = refs[i] + sum / total;
    }
    return moved;
}

double SingerTuning::assign(SungNotes& notes, const std::vector<double>& weights)
{
    const std::vector<double> refs = references(notes, weights);
    double sum = 0.0;
    double total = 0.0;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        const double note = std::floor(notes[i].pitch - refs[i] + 0.5);
        notes[i].note = static_cast<uint8_t>(std::clamp(note, 0.0, 127.0));
        sum += weights[i] * refs[i];
        total += weights[i];
    }
    return total > 0.0 ? -sum / total : 0.0;
}
