#include "progression_rules.h"

#include "chord_dictionary.h"

#include <algorithm>
#include <utility>

namespace {

// How a note of the segment counts for a chord: the triad's tones for it, a seventh less (a
// melody touches the seventh of a plain triad often, as a passing note), any other note against
// it. Tuned on the chord set: a fifth counting less than the root made held fifths (a long A
// over D minor) into chords of their own.
constexpr double kTriadTone = 1.0;
constexpr double kSeventh = 0.6;
constexpr double kForeign = -0.8;

// A seventh chord is chosen over its plain triad only when the melody sings the seventh: it
// costs this much more unless the seventh has at least kSeventhHeard of the segment's weight.
constexpr double kSeventhUnheard = 0.15;
constexpr double kSeventhHeard = 0.1;
constexpr double kSeventhAlways = 0.04;

// Changing chord costs this much, so the harmony moves at a steady pace and a single passing
// note does not pull in a chord of its own.
constexpr double kChange = 0.35;
// Root falling a fifth: a major chord (dominant) resolving, the strongest move there is; the
// same motion between minor chords (vi-ii, ii-V in sequence) is still a good one.
constexpr double kDominantResolves = 0.06;
constexpr double kFallingFifth = 0.15;
// The everyday moves of common practice and of folk and pop (I-IV, I-V, IV-V, vi-IV, ...).
constexpr double kCommonMove = 0.18;
// A secondary dominant that does not go to its chord, and a dominant falling back to the
// subdominant side (V-IV, V-ii), are heard as wrong turns.
constexpr double kUnresolved = 0.25;
constexpr double kRetrogression = 0.2;
// Plain triad to its own seventh chord or back: the same harmony, coloured.
constexpr double kAddSeventh = 0.1;

struct Move
{
    int from;
    int to;
};

// Root motions (relative to the tonic) that common practice uses freely, besides falling
// fifths. Major: I-IV, I-V, IV-V, IV-I, vi-IV, I-vi, IV-ii, V-vi, I-ii, bVII-I, I-bVII, iii-IV.
constexpr Move kMajorMoves[] = {{0, 5}, {0, 7}, {5, 7},  {5, 0},  {9, 5}, {0, 9}, {5, 2},
                                {7, 9}, {0, 2}, {10, 0}, {0, 10}, {4, 5}, {10, 5}};
// Minor: i-iv, iv-i, i-V, iv-V, i-VI, VI-V, VI-VII, i-VII, VII-i, VI-iv, i-III, III-VII, V-VI.
constexpr Move kMinorMoves[] = {{0, 5},  {5, 0},  {0, 7}, {5, 7}, {0, 8},  {8, 7}, {8, 10},
                                {0, 10}, {10, 0}, {8, 5}, {0, 3}, {3, 10}, {7, 8}};

int relative(int pc)
{
    return ((pc % 12) + 12) % 12;
}

// A major chord or dominant seventh that leads a fifth down to another degree than the tonic:
// II, III and VI in major and I7 (to IV); VII7 (to III) and the major I (to iv) in minor.
bool isSecondaryDominant(const ProgressionRules::Chord& c, bool minor)
{
    if (c.minorThird || c.third < 0)
        return false;
    const bool seventh = c.seventh >= 0;
    if (!minor)
        return c.root == 2 || c.root == 4 || c.root == 9 || (c.root == 0 && seventh);
    return (c.root == 10 && seventh) || c.root == 0;
}

} // namespace

ProgressionRules::ProgressionRules(bool minor) : m_minor(minor)
{
    // Priors: what a bar pays for the chord before any note is heard. The tonic, subdominant
    // and dominant carry most folk and hymn tunes; the relative chords come next; secondary
    // dominants and borrowed chords only where the melody asks for them.
    if (!minor) {
        add(0, "", 0.0);    // I
        add(5, "", 0.045);  // IV
        add(7, "", 0.015);  // V
        add(7, "7", 0.055); // V7
        add(9, "m", 0.28);  // vi
        add(2, "m", 0.35);  // ii
        add(4, "m", 0.45);  // iii
        add(2, "", 0.4);    // V/V
        add(2, "7", 0.4);   // V7/V
        add(4, "", 0.5);    // V/vi
        add(4, "7", 0.5);   // V7/vi
        add(9, "", 0.55);   // V/ii
        add(9, "7", 0.55);  // V7/ii
        add(0, "7", 0.55);  // V7/IV
        add(10, "", 0.45);  // bVII
        add(5, "m", 0.45);  // iv
    } else {
        add(0, "m", 0.0);   // i
        add(5, "m", 0.08);  // iv
        add(7, "", 0.1);    // V (harmonic minor)
        add(7, "7", 0.06);  // V7
        add(7, "m", 0.35);  // v (natural minor)
        add(3, "", 0.29);   // III
        add(8, "", 0.1);    // VI
        add(10, "", 0.18);  // VII
        add(10, "7", 0.4);  // V7/III
        add(5, "", 0.4);    // IV (dorian)
        add(0, "", 0.5);    // V/iv, or the major tonic at the end
        add(0, "7", 0.5);   // V7/iv
        add(2, "dim", 0.6); // ii dim
    }
    rebuildTransitions();
}

void ProgressionRules::add(int root, const char* suffix, double prior)
{
    const ChordType* type = ChordDictionary::find(QString::fromLatin1(suffix));
    const uint16_t mask = type ? type->toneMask : uint16_t(0x91);
    Chord c;
    c.root = relative(root);
    c.suffix = QString::fromLatin1(suffix);
    c.prior = prior;
    for (int i = 0; i < 12; ++i)
        if (mask >> i & 1u)
            c.mask |= uint16_t(1u << relative(root + i));
    c.minorThird = (mask >> 3 & 1u) && !(mask >> 4 & 1u);
    c.third = (mask >> 4 & 1u) ? relative(root + 4) : (mask >> 3 & 1u) ? relative(root + 3) : -1;
    c.fifth = (mask >> 7 & 1u)   ? relative(root + 7)
              : (mask >> 6 & 1u) ? relative(root + 6)
              : (mask >> 8 & 1u) ? relative(root + 8)
                                 : -1;
    c.seventh = (mask >> 10 & 1u)   ? relative(root + 10)
                : (mask >> 11 & 1u) ? relative(root + 11)
                                    : -1;
    c.secondary = isSecondaryDominant(c, m_minor);
    m_chords.push_back(std::move(c));
}

int ProgressionRules::indexOf(int root, uint16_t maskFromRoot, const QString& suffix)
{
    uint16_t mask = 0;
    for (int i = 0; i < 12; ++i)
        if (maskFromRoot >> i & 1u)
            mask |= uint16_t(1u << relative(root + i));
    for (int i = 0; i < size(); ++i)
        if (m_chords[size_t(i)].root == relative(root) && m_chords[size_t(i)].mask == mask)
            return i;
    const QByteArray latin = suffix.toLatin1();
    add(root, latin.constData(), 0.0);
    Chord& c = m_chords.back();
    c.mask = mask; // the dictionary's tones, whatever the name
    c.fixedOnly = true;
    rebuildTransitions();
    return size() - 1;
}

double ProgressionRules::fit(int chord, const ChordEvidence::Weights& w, double total) const
{
    const Chord& c = m_chords[size_t(chord)];
    double sum = 0;
    for (int pc = 0; pc < 12; ++pc) {
        if (w[size_t(pc)] == 0)
            continue;
        double m = kForeign;
        if (pc == c.root || pc == c.third || pc == c.fifth)
            m = kTriadTone;
        else if (pc == c.seventh)
            m = kSeventh;
        else if (c.mask >> pc & 1u)
            m = kTriadTone; // other tones of a fixed chord (added notes)
        sum += w[size_t(pc)] * m;
    }
    return total > 0 ? sum / total : 0.0;
}

double ProgressionRules::emission(int chord, const ChordEvidence::Weights& w, double total) const
{
    const Chord& c = m_chords[size_t(chord)];
    double cost = c.prior - fit(chord, w, total);
    if (c.seventh >= 0) {
        cost += kSeventhAlways;
        if (total <= 0 || w[size_t(c.seventh)] / total < kSeventhHeard)
            cost += kSeventhUnheard;
    }
    return cost;
}

double ProgressionRules::computeTransition(const Chord& a, const Chord& b) const
{
    if (a.root == b.root && a.minorThird == b.minorThird)
        return (a.mask == b.mask) ? 0.0 : kAddSeventh;
    const int up = relative(b.root - a.root);
    double cost = kChange;
    if (up == 5) {
        cost = a.minorThird ? kFallingFifth : kDominantResolves;
    } else {
        const Move* begin = m_minor ? std::begin(kMinorMoves) : std::begin(kMajorMoves);
        const Move* end = m_minor ? std::end(kMinorMoves) : std::end(kMajorMoves);
        if (std::any_of(begin, end,
                        [&](const Move& m) { return m.from == a.root && m.to == b.root; }))
            cost = kCommonMove;
    }
    if (a.secondary && up != 5)
        cost += kUnresolved;
    if (a.root == 7 && !a.minorThird && (b.root == 5 || b.root == 2))
        cost += kRetrogression;
    return cost;
}

void ProgressionRules::rebuildTransitions()
{
    const size_t n = m_chords.size();
    m_transitions.assign(n * n, 0.0);
    for (size_t a = 0; a < n; ++a)
        for (size_t b = 0; b < n; ++b)
            m_transitions[a * n + b] = a == b ? 0.0 : computeTransition(m_chords[a], m_chords[b]);
}

double ProgressionRules::transition(int a, int b) const
{
    return m_transitions[size_t(a) * m_chords.size() + size_t(b)];
}

bool ProgressionRules::isTonic(int chord) const
{
    const Chord& c = m_chords[size_t(chord)];
    return c.root == 0 && c.minorThird == m_minor && c.seventh < 0;
}

bool ProgressionRules::isDominant(int chord) const
{
    const Chord& c = m_chords[size_t(chord)];
    return c.root == 7 && !c.minorThird && c.third >= 0;
}
