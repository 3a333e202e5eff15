#include "bar_finder.h"

#include "beat_tracker.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <numeric>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSlowestQuarter = 60.0 / 50.0; // seconds
constexpr double kFastestQuarter = 60.0 / 180.0;
// The quarter, in seconds, of 100 quarter notes per minute: the centre of the tempo preference.
constexpr double kCentreQuarter = 0.6;
// In seconds per quarter, the tempo below which 2/4 in eighths lies farther from the centre
// than 4/4 in quarters at twice the tempo (100/sqrt(2) quarter notes per minute).
constexpr double kSlowestDuple = kCentreQuarter * 1.41421356;

/** A meter tried: beats per bar, the beat in quarter notes, sixteenths per beat. */
struct Meter
{
    int numerator;
    int denominator;
    int beats;           // beats per bar as felt (6/8 has two)
    double beatQuarters; // length of a felt beat in quarter notes
    int steps;           // sixteenths per felt beat
    double prior;        // how common the meter is in songs
};

const Meter kMeters[] = {
    {4, 4, 4, 1.0, 4, 1.0},
    {3, 4, 3, 1.0, 4, 0.5},
    {2, 4, 2, 1.0, 4, 0.0}, // taken only with the eighths of a 2/4 tune (see duple)
    {6, 8, 2, 1.5, 6, 0.0},
};

struct Scored
{
    double score = -1e300;
    const Meter* meter = nullptr;
    std::vector<double> beats; // felt beats
    int downbeatBeat = 0;      // index in beats of the first downbeat at or after the first note
};

struct Sample
{
    double time;
    double salience;
};

std::vector<Sample> samplesOf(std::vector<BarFinder::Note>& notes)
{
    std::sort(notes.begin(), notes.end(),
              [](const BarFinder::Note& a, const BarFinder::Note& b) { return a.onset < b.onset; });
    std::vector<double> spans;
    for (size_t i = 0; i + 1 < notes.size(); ++i)
        spans.push_back(std::clamp(notes[i + 1].onset - notes[i].onset, 0.05, 2.5));
    std::vector<double> sorted = spans;
    std::nth_element(sorted.begin(), sorted.begin() + long(sorted.size() / 2), sorted.end());
    const double median = sorted[sorted.size() / 2];
    // The last note lasts as long as it is held, at least a usual note.
    spans.push_back(std::clamp(std::max(notes.back().duration, median), 0.05, 2.5));
    std::vector<Sample> samples;
    for (size_t i = 0; i < notes.size(); ++i)
        samples.push_back({notes[i].onset, std::clamp(std::sqrt(spans[i] / median), 0.5, 2.5)});
    return samples;
}

double medianSpan(const std::vector<Sample>& samples)
{
    std::vector<double> spans;
    for (size_t i = 0; i + 1 < samples.size(); ++i)
        spans.push_back(samples[i + 1].time - samples[i].time);
    std::nth_element(spans.begin(), spans.begin() + long(spans.size() / 2), spans.end());
    return spans[spans.size() / 2];
}

/** How well a grid of this period fits the onsets (0..1), in windows so drift does not smear. */
double gridFit(const std::vector<Sample>& samples, double period)
{
    const double window = std::max(6.0, period * 8);
    const double end = samples.back().time;
    double total = 0.0, weights = 0.0;
    for (double start = samples.front().time; start < end || weights == 0.0; start += window / 2) {
        std::complex<double> sum;
        double weight = 0.0;
        int count = 0;
        for (const Sample& s : samples) {
            if (s.time < start || s.time >= start + window)
                continue;
            sum += s.salience * std::polar(1.0, 2 * kPi * s.time / period);
            weight += s.salience;
            ++count;
        }
        if (count >= 4) {
            total += std::abs(sum);
            weights += weight;
        }
        if (start + window >= end)
            break;
    }
    return weights > 0.0 ? total / weights : 0.0;
}

/** Quarter-note periods worth tracking: multiples of the pulses that fit the onsets. */
std::vector<double> quarterCandidates(const std::vector<Sample>& samples)
{
    std::vector<std::pair<double, double>> fits; // period, fit
    for (double p = 0.17; p <= 1.5; p *= 1.01)
        fits.emplace_back(p, gridFit(samples, p));
    double best = 0.0;
    for (const auto& f : fits)
        best = std::max(best, f.second);
    std::vector<double> candidates;
    auto add = [&](double p) {
        if (p < kFastestQuarter || p > kSlowestQuarter)
            return;
        for (double c : candidates)
            if (std::abs(std::log(c / p)) < 0.03)
                return;
        candidates.push_back(p);
    };
    for (size_t i = 1; i + 1 < fits.size(); ++i) {
        const auto& f = fits[i];
        if (f.second < 0.6 * best || f.second < fits[i - 1].second || f.second < fits[i + 1].second)
            continue;
        for (double k : {1.0, 2.0, 0.5, 3.0, 1.0 / 3.0, 1.5, 2.0 / 3.0, 4.0, 0.25})
            add(f.first * k);
    }
    return candidates;
}

/** Onset position in felt beats along tracked beats (fractional beat index). */
double beatPosition(const std::vector<double>& beats, double time)
{
    auto it = std::upper_bound(beats.begin(), beats.end(), time);
    size_t k = size_t(std::max<long>(0, long(it - beats.begin()) - 1));
    k = std::min(k, beats.size() - 2);
    return double(k) + (time - beats[k]) / (beats[k + 1] - beats[k]);
}

/** The share of notes that last about an eighth (the time to the next note). */
double eighthShare(const std::vector<Sample>& samples, double quarter)
{
    int eighths = 0;
    for (size_t i = 0; i + 1 < samples.size(); ++i) {
        const double span = (samples[i + 1].time - samples[i].time) / quarter;
        eighths += span >= 0.35 && span <= 0.75 ? 1 : 0;
    }
    return double(eighths) / double(samples.size() - 1);
}

/** How a reading divides the beat: shares of the notes (the time to the next note). */
struct Division
{
    double shorter = 0.0;  // shorter than a dotted eighth (eighths and shorter)
    double shortest = 0.0; // shorter than a little over a sixteenth
};

Division divisionOf(const std::vector<Sample>& samples, double quarter)
{
    Division d;
    const double n = double(samples.size() - 1);
    for (size_t i = 0; i + 1 < samples.size(); ++i) {
        const double span = (samples[i + 1].time - samples[i].time) / quarter;
        d.shorter += span < 0.75 ? 1.0 / n : 0.0;
        d.shortest += span < 0.35 ? 1.0 / n : 0.0;
    }
    return d;
}

/** 1 for a reading that never divides its beat, down to 0 for one that does now and then. */
double undivided(const Division& division, const BarFinder::Weights& w)
{
    return std::max(0.0, 1.0 - division.shorter / w.undividedShare);
}

/** The tuning aid: every hypothesis's cues on standard error when CANTOVA_BARS_DUMP is set. */
bool dumping()
{
    static const bool dump = std::getenv("CANTOVA_BARS_DUMP") != nullptr;
    return dump;
}

/** Metrical weight of a position (in sixteenths from the downbeat) of a meter. */
double profile(const Meter& m, int step)
{
    if (step == 0)
        return 1.0;
    if (step % m.steps == 0)
        return m.beats == 4 && step == 2 * m.steps ? 0.75 : 0.6;
    if (m.steps == 6)
        return step % 2 == 0 ? 0.3 : 0.05;
    return step % 2 == 0 ? 0.25 : 0.05;
}

/** Pearson correlation of the samples' salience with weights (0 when either is constant). */
double correlation(const std::vector<Sample>& samples, const std::vector<double>& weights)
{
    const double n = double(samples.size());
    double ms = 0.0, mw = 0.0;
    for (size_t i = 0; i < samples.size(); ++i) {
        ms += samples[i].salience / n;
        mw += weights[i] / n;
    }
    double sw = 0.0, ss = 0.0, swe = 0.0;
    for (size_t i = 0; i < samples.size(); ++i) {
        const double a = samples[i].salience - ms, b = weights[i] - mw;
        sw += a * b;
        ss += a * a;
        swe += b * b;
    }
    return ss > 0.0 && swe > 0.0 ? sw / std::sqrt(ss * swe) : 0.0;
}

/** Salience per felt beat (onsets within a quarter of a beat of it), for periodicity. */
std::vector<double> beatAccents(const std::vector<Sample>& samples,
                                const std::vector<double>& positions, int steps, size_t beats)
{
    std::vector<double> accents(beats, 0.0);
    for (size_t i = 0; i < samples.size(); ++i) {
        const double beat = positions[i] / steps;
        const long k = std::lround(beat);
        if (std::abs(beat - double(k)) <= 0.25 && k >= 0 && size_t(k) < beats)
            accents[size_t(k)] += samples[i].salience;
    }
    return accents;
}

/** Normalised autocorrelation of the beat accents at a lag of one bar. */
double periodicity(const std::vector<double>& accents, int lag)
{
    double mean = 0.0;
    for (double a : accents)
        mean += a / double(accents.size());
    double same = 0.0, all = 0.0;
    for (size_t k = 0; k < accents.size(); ++k) {
        all += (accents[k] - mean) * (accents[k] - mean);
        if (k + size_t(lag) < accents.size())
            same += (accents[k] - mean) * (accents[k + size_t(lag)] - mean);
    }
    return all > 0.0 ? same / all : 0.0;
}

/** How alike the rhythms of neighbouring bars are (0..1): songs repeat their bar rhythms. */
double barRepetition(const std::vector<double>& positions, int barSteps, int phaseSteps)
{
    std::vector<uint32_t> bars;
    for (double position : positions) {
        const long step = std::lround(position) - phaseSteps;
        const long bar = step >= 0 ? step / barSteps : -((-step + barSteps - 1) / barSteps);
        if (bar < 0)
            continue;
        if (bars.size() <= size_t(bar))
            bars.resize(size_t(bar) + 1, 0u);
        bars[size_t(bar)] |= 1u << (step - bar * barSteps);
    }
    double sum = 0.0;
    int pairs = 0;
    for (size_t k = 0; k + 1 < bars.size(); ++k)
        for (size_t lag : {size_t(1), size_t(2)}) {
            if (k + lag >= bars.size() || !(bars[k] | bars[k + lag]))
                continue;
            sum += double(__builtin_popcount(bars[k] & bars[k + lag])) /
                   double(__builtin_popcount(bars[k] | bars[k + lag]));
            ++pairs;
        }
    return pairs ? sum / pairs : 0.0;
}

} // namespace

BarFinder::Weights BarFinder::defaultWeights()
{
    return {};
}

namespace {

Scored scoreMeter(const std::vector<Sample>& samples, const Meter& meter, std::vector<double> beats,
                  double quarter, double median, const BarFinder::Weights& w)
{
    Scored best;
    if (beats.size() < 3)
        return best;
    const int barSteps = meter.beats * meter.steps;
    std::vector<double> positions;
    double misfit = 0.0, weight = 0.0;
    for (const Sample& s : samples) {
        const double steps = beatPosition(beats, s.time) * meter.steps;
        positions.push_back(steps);
        const double off = steps - std::round(steps);
        misfit += s.salience * off * off;
        weight += s.salience;
    }
    const double fit = -misfit / weight * 12.0; // 0 on the grid, -1 halfway between steps
    // Singers divide the beat now and then, into eighths far more often than into sixteenths.
    const Division division = divisionOf(samples, quarter);
    const double fast = std::clamp(4.0 * std::log2(60.0 / quarter / w.undividedTempo), 0.0, 1.0);
    const double divided =
        w.undivided * fast * undivided(division, w) + w.sixteenths * division.shortest;
    // Sung melodies move mostly in quarters and eighths; tempi cluster around 100 bpm.
    const double lengths = std::log2(median / quarter) + w.lengthCentre;
    // 6/8 is felt in dotted quarters, whose own tempi cluster a little slower.
    const double tempo = meter.denominator == 8 ? std::log2(quarter * 1.5 / w.compoundBeat)
                                                : std::log2(quarter / kCentreQuarter);
    const std::vector<double> accents = beatAccents(samples, positions, meter.steps, beats.size());
    // 6/8 repeats its accents every two felt beats, as 2/4 does: its bar is one period.
    const double periodic = periodicity(accents, meter.beats);
    // 2/4 tunes move in eighths; a melody of quarters and halves groups two beats into 4/4.
    // Below kSlowestDuple the eighths of 2/4 are as well the quarters of 4/4 at twice the
    // tempo: there they speak for 2/4 only as far as that reading would never divide its beat.
    const double eighths = meter.numerator != 2 ? 0.0 : eighthShare(samples, quarter) - 0.45;
    const double duple = quarter <= kSlowestDuple || eighths <= 0.0
                             ? eighths
                             : eighths * undivided(divisionOf(samples, quarter / 2), w);
    // Repeating bar rhythms tell how long the bar is, not where it starts (bars shifted by a beat
    // repeat as well), so every phase gets the mean over phases.
    // A phase that makes neighbouring bars alike still counts, a little, for that phase.
    // Two bars of 2/4 repeat as one of 4/4 does: 2/4 is measured over pairs of bars, so
    // repetition does not tell the two apart (the eighths and the accents do).
    const int pair = meter.numerator == 2 ? 2 : 1;
    std::vector<double> repeats;
    double repetition = 0.0;
    for (int phase = 0; phase < meter.beats * pair; ++phase) {
        repeats.push_back(barRepetition(positions, barSteps * pair, phase * meter.steps));
        repetition += repeats.back() / (meter.beats * pair);
    }
    if (pair == 2)
        for (int phase = 0; phase < meter.beats; ++phase)
            repeats[size_t(phase)] =
                std::max(repeats[size_t(phase)], repeats[size_t(phase + meter.beats)]);
    for (int phase = 0; phase < meter.beats; ++phase) {
        std::vector<double> weights;
        double strong = 0.0, downbeat = 0.0, downbeats = 0.0, mean = 0.0;
        for (size_t i = 0; i < samples.size(); ++i) {
            int step = int(std::lround(positions[i])) - phase * meter.steps;
            step = ((step % barSteps) + barSteps) % barSteps;
            weights.push_back(profile(meter, step));
            strong += samples[i].salience * weights.back() / weight;
            mean += samples[i].salience / double(samples.size());
            if (step == 0) {
                downbeat += samples[i].salience;
                downbeats += 1.0;
            }
        }
        const double contrast = downbeats > 0.0 ? downbeat / downbeats - mean : -1.0;
        // How strongly the notes' salience goes with the metrical weight of where they start:
        // a correlation, so meters with more or fewer strong positions compare fairly.
        const double metric = correlation(samples, weights);
        // A song ends on a downbeat more often than anywhere else.
        int last = int(std::lround(positions.back())) - phase * meter.steps;
        last = ((last % barSteps) + barSteps) % barSteps;
        const double ending = last == 0 ? 1.0 : 0.0;
        // The first downbeat at or after the first note's beat.
        const int firstBeat = int(std::floor(positions.front() / meter.steps + 0.25));
        int first = phase;
        while (first < firstBeat)
            first += meter.beats;
        // Pickups are short: a beat, rarely more.
        const double pickup = std::max(0.0, first - positions.front() / meter.steps - 1.25);
        const double score = w.correlation * metric + w.strong * strong + w.fit * fit -
                             w.lengths * lengths * lengths - w.tempo * tempo * tempo +
                             w.periodicity * periodic + w.contrast * contrast + w.ending * ending +
                             meter.prior * w.prior + w.repetition * repetition +
                             w.barStart * (repeats[size_t(phase)] - repetition) -
                             w.pickup * pickup + w.duple * duple - divided;
        if (dumping())
            std::fprintf(stderr,
                         "H %.3f %d/%d %.4f %.4f %.4f %.4f %.4f %.4f %.4f %.4f %.4f %.4f %.4f "
                         "%.4f %.4f\n",
                         60.0 / quarter, meter.numerator, meter.denominator, beats[size_t(first)],
                         metric, strong, fit, lengths * lengths, tempo * tempo, periodic, contrast,
                         ending, repeats[size_t(phase)], duple, divided, score);
        if (score > best.score) {
            best.score = score;
            best.meter = &meter;
            best.beats = beats;
            best.downbeatBeat = first;
        }
    }
    return best;
}

/**
 * Drift is a trend, not the bar-to-bar wobble of a sung take: the change of the bar length from
 * the first bar to the last by a least-squares line through the bar lengths, as a share of the
 * mean length (0 for fewer than four bars; the last bar, past the last note, is left out).
 */
double lengthTrend(const std::vector<double>& lines)
{
    const size_t n = lines.size() >= 2 ? lines.size() - 2 : 0;
    if (n < 4)
        return 0.0;
    const double middle = double(n - 1) / 2, mean = (lines[n] - lines[0]) / double(n);
    double slope = 0.0, spread = 0.0;
    for (size_t i = 0; i < n; ++i) {
        slope += (double(i) - middle) * (lines[i + 1] - lines[i] - mean);
        spread += (double(i) - middle) * (double(i) - middle);
    }
    return slope / spread * double(n - 1) / mean;
}

BarGrid gridOf(const Scored& s, const std::vector<Sample>& samples)
{
    BarGrid grid;
    const Meter& m = *s.meter;
    grid.beatsPerBar = m.numerator;
    grid.beatUnit = m.denominator;
    std::vector<double> beats = s.beats;
    // Beats up to one bar past the last note, at the last period.
    while (beats.back() < samples.back().time + 1e-9 ||
           (beats.size() - size_t(s.downbeatBeat)) % size_t(m.beats) != 1)
        beats.push_back(2 * beats.back() - beats[beats.size() - 2]);
    for (size_t b = size_t(s.downbeatBeat); b < beats.size(); b += size_t(m.beats))
        grid.barLines.push_back(beats[b]);
    grid.firstDownbeat = grid.barLines.front();
    const double span = grid.barLines.back() - grid.barLines.front();
    const int bars = int(grid.barLines.size()) - 1;
    grid.tempo = bars > 0 ? 60.0 * grid.quartersPerBar() * bars / span : 120.0;
    grid.drifts = std::abs(lengthTrend(grid.barLines)) > 0.02;
    grid.valid = true;
    return grid;
}

} // namespace

double BarGrid::barTempo(int bar) const
{
    if (bar < 0 || size_t(bar) + 1 >= barLines.size())
        return tempo;
    return 60.0 * quartersPerBar() / (barLines[size_t(bar) + 1] - barLines[size_t(bar)]);
}

double BarGrid::shiftToBarLine(double firstOnset) const
{
    const double bar = barSeconds();
    // A note less than a sixteenth before the downbeat is a late-sung downbeat, not a pickup.
    const double pickup = firstDownbeat - firstOnset - 0.25 * 60.0 / tempo;
    const double bars = pickup > 0.0 ? std::ceil((firstDownbeat - firstOnset) / bar) : 0.0;
    return bars * bar - firstDownbeat;
}

BarGrid BarFinder::find(std::vector<Note> notes, const Weights& weights)
{
    if (notes.size() < 6)
        return {};
    const std::vector<Sample> samples = samplesOf(notes);
    const double median = medianSpan(samples);
    std::vector<BeatTracker::Onset> onsets;
    for (const Sample& s : samples)
        onsets.push_back({s.time, s.salience});

    Scored best, second;
    for (double quarter : quarterCandidates(samples)) {
        for (const Meter& meter : kMeters) {
            const double beat = quarter * meter.beatQuarters;
            Scored s = scoreMeter(samples, meter, BeatTracker::track(onsets, beat), quarter, median,
                                  weights);
            if (s.score > best.score) {
                second = best;
                best = std::move(s);
            } else if (s.score > second.score) {
                second = std::move(s);
            }
        }
    }
    if (!best.meter || size_t(best.downbeatBeat) >= best.beats.size())
        return {};
    BarGrid grid = gridOf(best, samples);
    const double margin = second.meter ? best.score - second.score : 1.0;
    grid.confidence = std::clamp(1.0 - std::exp(-margin * 8.0), 0.0, 1.0);
    return grid;
}
