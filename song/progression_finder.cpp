#include "progression_finder.h"

#include "chord_dictionary.h"
#include "chord_text.h"
#include "key_names.h"
#include "pitch_spelling.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace {

constexpr double kForbidden = std::numeric_limits<double>::infinity();
// The first chord under the melody is the tonic almost always; the last one nearly without
// exception (the final cadence). Paid by any other chord there.
constexpr double kNotTonicAtStart = 1.0;
constexpr double kNotTonicAtEnd = 1.2;
// A melody sung as far as its half close (the first half of a tune, a verse before its
// refrain) ends on the dominant: less rare than any other chord at the end.
constexpr double kDominantAtEnd = 0.5;
// A four-bar phrase ends on the tonic (full close) or the dominant (half close).
constexpr double kPhraseEndElsewhere = 0.15;
constexpr int kPhraseBars = 4;
// A second chord inside a bar costs this much more than a change at a bar line, so the
// harmony changes in the middle of a bar only where the two halves clearly differ.
constexpr double kMidBarChange = 0.15;
// Another key than the one found by counting notes must fit this much better (bar units).
constexpr double kOtherKey = 0.5;
// Keys tried must hold the melody nearly as well as the best: this share of the weight more
// outside their scale at most.
constexpr double kScaleSlack = 0.08;
// Suggestions list at most this many chords per bar.
constexpr int kSuggestions = 6;

struct PairHash
{
    size_t operator()(const std::pair<uint64_t, uint64_t>& p) const
    {
        return std::hash<uint64_t>()(p.first * 0x9e3779b97f4a7c15ull ^ p.second);
    }
};

} // namespace

void ProgressionFinder::setKey(int signature, bool minor)
{
    m_signature = signature;
    m_minor = minor;
    // shiftToC moves the major tonic to C; a minor tonic sits three semitones below it.
    m_shift = shiftToC(signature) + (minor ? 3 : 0);
}

uint32_t ProgressionFinder::secondSegmentOffset() const
{
    return m_evidence.segmentsPerBar() == 2 ? m_evidence.segmentTicks() : 0;
}

QString ProgressionFinder::nameOf(int chord) const
{
    if (chord < 0)
        return QString();
    const ProgressionRules::Chord& c = m_rules.chord(chord);
    return QString(noteNameInKey(pitchClass(c.root - m_shift), m_signature)) + c.suffix;
}

void ProgressionFinder::prepareWeights()
{
    const int segments = m_evidence.segmentCount();
    m_weights.assign(size_t(segments), Weights{});
    m_totals.assign(size_t(segments), 0.0);
    m_firstSegment = m_lastSegment = -1;
    for (int s = 0; s < segments; ++s) {
        const Weights& concert = m_evidence.segment(s);
        for (int pc = 0; pc < 12; ++pc)
            m_weights[size_t(s)][size_t(pitchClass(pc + m_shift))] = concert[size_t(pc)];
        m_totals[size_t(s)] = m_evidence.total(s);
        if (m_totals[size_t(s)] > 0) {
            if (m_firstSegment < 0)
                m_firstSegment = s;
            m_lastSegment = s;
        }
    }
}

// A bar repeats an earlier one when both hold the same notes and so does the bar before or
// after each. Repeats are heard together: their weights are pooled on the earliest one.
void ProgressionFinder::findRepeats()
{
    const int bars = m_evidence.barCount();
    const int per = m_evidence.segmentsPerBar();
    m_repeatOf.assign(size_t(bars), 0);
    // The first bar with each pair of prints (the bar before and the bar; the bar and the next).
    std::unordered_map<std::pair<uint64_t, uint64_t>, int, PairHash> withPrevious, withNext;
    const auto print = [this, bars](int b) {
        return b >= 0 && b < bars ? m_evidence.barPrint(b) : 0;
    };
    for (int b = 0; b < bars; ++b) {
        m_repeatOf[size_t(b)] = b;
        if (print(b) == 0)
            continue;
        int earliest = b;
        const auto before = withPrevious.try_emplace({print(b - 1), print(b)}, b).first->second;
        const auto after = withNext.try_emplace({print(b), print(b + 1)}, b).first->second;
        earliest = std::min({earliest, before, after});
        m_repeatOf[size_t(b)] = m_repeatOf[size_t(earliest)];
    }
    for (int b = 0; b < bars; ++b) {
        const int e = m_repeatOf[size_t(b)];
        if (e == b)
            continue;
        for (int k = 0; k < per; ++k) {
            Weights& into = m_weights[size_t(e * per + k)];
            const Weights& from = m_weights[size_t(b * per + k)];
            for (int pc = 0; pc < 12; ++pc)
                into[size_t(pc)] += from[size_t(pc)];
            m_totals[size_t(e * per + k)] += m_totals[size_t(b * per + k)];
        }
    }
    for (int b = 0; b < bars; ++b) {
        const int e = m_repeatOf[size_t(b)];
        for (int k = 0; k < per && e != b; ++k) {
            m_weights[size_t(b * per + k)] = m_weights[size_t(e * per + k)];
            m_totals[size_t(b * per + k)] = m_totals[size_t(e * per + k)];
        }
    }
}

// Per segment: the only chord allowed (a fixed one), or -1.
std::vector<int> ProgressionFinder::constraints(const std::vector<Fixed>& fixed)
{
    std::vector<int> allowed(m_weights.size(), -1);
    for (const Fixed& f : fixed) {
        if (f.segment < 0 || size_t(f.segment) >= allowed.size())
            continue;
        const ParsedChord parsed = parseChord(f.chord);
        if (!parsed.isValid())
            continue;
        const int root = pitchClass(tpcPitch(parsed.root) + m_shift);
        allowed[size_t(f.segment)] =
            m_rules.indexOf(root, parsed.type->toneMask, parsed.type->name);
    }
    // A fixed chord holds until the next chord: later segments of its bar keep it too, unless
    // they have their own.
    const int per = m_evidence.segmentsPerBar();
    for (size_t s = 1; s < allowed.size(); ++s)
        if (allowed[s] < 0 && s % size_t(per) != 0 && allowed[s - 1] >= 0)
            allowed[s] = allowed[s - 1];
    return allowed;
}

double ProgressionFinder::segmentCost(int s, int chord) const
{
    const ProgressionRules::Chord& c = m_rules.chord(chord);
    if (c.fixedOnly)
        return kForbidden;
    const double share = 1.0 / m_evidence.segmentsPerBar();
    const double total = m_totals[size_t(s)];
    double cost = total > 0 ? m_rules.emission(chord, m_weights[size_t(s)], total) * share : 0.0;
    const bool tonic = m_rules.isTonic(chord);
    if (s == m_firstSegment && !tonic)
        cost += kNotTonicAtStart;
    if (s == m_lastSegment && !tonic)
        cost += m_rules.isDominant(chord) ? kDominantAtEnd : kNotTonicAtEnd;
    const int per = m_evidence.segmentsPerBar();
    const int bar = s / per;
    const int phraseBar = bar - std::max(m_evidence.firstFullBar(), 0) + 1;
    if (s % per == per - 1 && phraseBar > 0 && phraseBar % kPhraseBars == 0 &&
        bar < m_evidence.lastBar() && !tonic && !m_rules.isDominant(chord))
        cost += kPhraseEndElsewhere;
    return cost;
}

std::vector<int> ProgressionFinder::decode(const std::vector<int>& allowed, double& total) const
{
    const int n = m_rules.size();
    const int first = m_firstSegment, last = m_lastSegment;
    const int per = m_evidence.segmentsPerBar();
    const size_t count = size_t(last - first + 1);
    std::vector<double> cost(static_cast<size_t>(n)), next(static_cast<size_t>(n));
    std::vector<int> back(count * size_t(n), -1);
    for (int c = 0; c < n; ++c) {
        const int only = allowed[size_t(first)];
        cost[size_t(c)] = only >= 0 && only != c ? kForbidden
                          : only == c            ? 0.0
                                                 : segmentCost(first, c);
    }
    for (int s = first + 1; s <= last; ++s) {
        const int only = allowed[size_t(s)];
        const double inside = s % per != 0 ? kMidBarChange : 0.0;
        for (int c = 0; c < n; ++c) {
            if (only >= 0 && only != c) {
                next[size_t(c)] = kForbidden;
                continue;
            }
            double best = kForbidden;
            int from = 0;
            for (int p = 0; p < n; ++p) {
                const double move = p == c ? 0.0 : m_rules.transition(p, c) + inside;
                if (cost[size_t(p)] + move < best) {
                    best = cost[size_t(p)] + move;
                    from = p;
                }
            }
            next[size_t(c)] = best + (only == c ? 0.0 : segmentCost(s, c));
            back[size_t(s - first) * size_t(n) + size_t(c)] = from;
        }
        std::swap(cost, next);
    }
    std::vector<int> path(m_weights.size(), -1);
    int c = int(std::min_element(cost.begin(), cost.end()) - cost.begin());
    total = cost[size_t(c)];
    for (int s = last; s >= first; --s) {
        path[size_t(s)] = c;
        if (s > first)
            c = back[size_t(s - first) * size_t(n) + size_t(c)];
    }
    return path;
}

// A repeated bar takes the chords of the bar it repeats, unless the user fixed one of its own
// or it closes the melody (the final cadence decides there).
void ProgressionFinder::copyRepeats(std::vector<int>& path, const std::vector<int>& allowed) const
{
    const int per = m_evidence.segmentsPerBar();
    for (int b = 0; b < m_evidence.barCount(); ++b) {
        const int e = m_repeatOf[size_t(b)];
        if (e == b || b == m_evidence.lastBar())
            continue;
        bool free = true;
        for (int k = 0; k < per; ++k)
            free = free && allowed[size_t(b * per + k)] < 0 && path[size_t(e * per + k)] >= 0 &&
                   path[size_t(b * per + k)] >= 0;
        for (int k = 0; k < per && free; ++k)
            path[size_t(b * per + k)] = path[size_t(e * per + k)];
    }
}

QString ProgressionFinder::suggestions(int bar) const
{
    const int per = m_evidence.segmentsPerBar();
    Weights sum{};
    double total = 0;
    for (int k = 0; k < per; ++k) {
        for (int pc = 0; pc < 12; ++pc)
            sum[size_t(pc)] += m_weights[size_t(bar * per + k)][size_t(pc)];
        total += m_totals[size_t(bar * per + k)];
    }
    if (total <= 0)
        return QString();
    std::vector<std::pair<double, int>> fits;
    for (int c = 0; c < m_rules.size(); ++c)
        if (!m_rules.chord(c).fixedOnly)
            fits.push_back({m_rules.fit(c, sum, total) * 10.0, c});
    std::stable_sort(fits.begin(), fits.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    QString text;
    for (int i = 0; i < int(fits.size()) && i < kSuggestions && fits[size_t(i)].first > 0; ++i)
        text += QString::asprintf("%s = %.1f\n", qPrintable(nameOf(fits[size_t(i)].second)),
                                  fits[size_t(i)].first);
    return text;
}

double ProgressionFinder::decodeIn(Key key, const std::vector<Fixed>& fixed, std::vector<int>& path)
{
    setKey(key.signature, key.minor);
    m_rules = ProgressionRules(m_minor);
    prepareWeights();
    findRepeats();
    const std::vector<int> allowed = constraints(fixed);
    double cost = 0;
    path = decode(allowed, cost);
    copyRepeats(path, allowed);
    return cost;
}

// The keys worth trying, of those whose scale holds the melody about as well as the best of
// them: the one set, its relative, the major and minor keys on the first and the last note, and
// then every other key, as a tune's tonic need not be either (a hymn may start on the fifth and
// a sung verse stop on its half close). Equal costs go to the key tried first.
std::vector<ProgressionFinder::Key> ProgressionFinder::keysToTry() const
{
    std::vector<Key> keys{key(), {m_signature, !m_minor}};
    for (int pc : {m_evidence.firstPitchClass(), m_evidence.lastPitchClass()}) {
        keys.push_back({signatureOfTonic(pc), false});
        keys.push_back({signatureOfTonic(pc + 3), true});
    }
    for (int pc = 0; pc < 12; ++pc) {
        keys.push_back({signatureOfTonic(pc), false});
        keys.push_back({signatureOfTonic(pc + 3), true});
    }
    Weights sum{};
    double total = 0;
    for (int s = 0; s < m_evidence.segmentCount(); ++s)
        for (int pc = 0; pc < 12; ++pc) {
            sum[size_t(pc)] += m_evidence.segment(s)[size_t(pc)];
            total += m_evidence.segment(s)[size_t(pc)];
        }
    // Scale steps from the tonic; the minor scale with the raised sixth and seventh.
    constexpr uint16_t kMajorScale = 0xAB5, kMinorScale = 0xFAD;
    std::vector<double> outside;
    for (const Key& k : keys) {
        const int shift = shiftToC(k.signature) + (k.minor ? 3 : 0);
        double o = 0;
        for (int pc = 0; pc < 12; ++pc)
            if (!((k.minor ? kMinorScale : kMajorScale) >> pitchClass(pc + shift) & 1u))
                o += sum[size_t(pc)];
        outside.push_back(o);
    }
    const double least = *std::min_element(outside.begin(), outside.end());
    std::vector<Key> fitting;
    for (size_t i = 0; i < keys.size(); ++i)
        if (outside[i] <= least + kScaleSlack * total &&
            std::find(fitting.begin(), fitting.end(), keys[i]) == fitting.end())
            fitting.push_back(keys[i]);
    return fitting;
}

std::vector<ProgressionFinder::BarChords>
ProgressionFinder::find(const MidiSequence& melody, uint32_t barTicks, ChordEvidence::Meter meter,
                        int barCount, const std::vector<Fixed>& fixed)
{
    m_evidence.build(melody, barTicks, meter, barCount);
    std::vector<BarChords> bars(size_t(m_evidence.barCount()));
    if (m_evidence.firstBar() < 0)
        return bars;
    const Key given = key();
    Key best = given;
    double lowest = kForbidden;
    std::vector<int> path;
    if (m_tryOtherKeys) {
        for (const Key& k : keysToTry()) {
            const double cost = decodeIn(k, fixed, path) + (k == given ? 0.0 : kOtherKey);
            if (cost < lowest) {
                lowest = cost;
                best = k;
            }
        }
    }
    decodeIn(best, fixed, path);
    const int per = m_evidence.segmentsPerBar();
    for (int b = 0; b < m_evidence.barCount(); ++b) {
        BarChords& out = bars[size_t(b)];
        const int first = path[size_t(b * per)];
        const int second = per == 2 ? path[size_t(b * per + 1)] : -1;
        out.first = nameOf(first >= 0 ? first : second);
        if (first >= 0 && second >= 0 && second != first)
            out.second = nameOf(second);
        out.suggestions = suggestions(b);
    }
    return bars;
}
