#include "chord_finder.h"

#include "chord_text.h"
#include "error_log.h"
#include "key_names.h"
#include "midi_sequence.h"
#include "pitch_spelling.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kTieMargin = 1e-6;

// Vocabulary row indices, written in C major / A minor.
enum Row : int {
    Am = 0, Dm, E7, A, C, G7, F, B7, Gm, Bdim7, B, D, FSharpDim, ASharpM, Edim, Caug, GSharpDim,
    GSharpDim7, Bdim,
    End = 19 // ends a candidate list
};

struct VocabularyRow
{
    int root;
    const char* suffix;
    std::array<int, 4> tones; // -1 pads triads
};

// The vocabulary; the order is the candidates' index and part of every tie-break.
constexpr std::array<VocabularyRow, ChordFinder::kVocabularySize> kVocabulary = {{
    {9, "m", {9, 0, 4, -1}},       // Am
    {2, "m", {2, 5, 9, -1}},       // Dm
    {4, "7", {4, 8, 11, 2}},       // E7
    {9, "", {9, 1, 4, -1}},        // A
    {0, "", {0, 4, 7, -1}},        // C
    {7, "7", {7, 11, 2, 5}},       // G7
    {5, "", {5, 9, 0, -1}},        // F
    {11, "7", {11, 3, 6, 9}},      // B7
    {7, "m", {7, 10, 2, -1}},      // Gm
    {11, "dim7", {11, 2, 5, 8}},   // Bdim7
    {11, "", {11, 3, 6, -1}},      // B
    {2, "", {2, 6, 9, -1}},        // D
    {6, "dim", {6, 9, 0, -1}},     // F#dim
    {10, "m", {10, 2, 5, -1}},     // A#m
    {4, "dim", {4, 7, 10, -1}},    // Edim
    {0, "aug", {0, 4, 8, -1}},     // Caug
    {8, "dim", {8, 11, 2, -1}},    // G#dim
    {8, "dim7", {8, 11, 2, 5}},    // G#dim7
    {11, "dim", {11, 2, 5, -1}},   // Bdim
}};

bool isTone(int row, int pitchClass)
{
    for (int tone : kVocabulary[size_t(row)].tones)
        if (tone == pitchClass)
            return true;
    return false;
}

// Starting candidates by the pitch class of the bar's strong note: {minor key, major key}.
using StartList = std::array<int, 8>;
constexpr std::array<std::array<StartList, 2>, 12> kStart = {{
    /* C  */ {{{Am, Dm, F, C, End}, {C, F, Am, Dm, End}}},
    /* C# */ {{{A, End}, {A, End}}},
    /* D  */ {{{Dm, E7, C, G7, Am, End}, {Dm, G7, C, E7, End}}},
    /* D# */ {{{B7, End}, {B7, End}}},
    /* E  */ {{{E7, Am, Dm, F, C, A, G7, End}, {G7, C, Dm, F, Am, A, E7, End}}},
    /* F  */ {{{F, Dm, E7, A, G7, C, Am, End}, {F, Dm, G7, A, E7, C, Am, End}}},
    /* F# */ {{{B7, End}, {B7, End}}},
    /* G  */ {{{Dm, F, Am, C, A, G7, End}, {F, Dm, C, Am, A, G7, End}}},
    /* G# */ {{{E7, End}, {E7, End}}},
    /* A  */ {{{F, Am, G7, E7, A, Dm, End}, {F, Am, G7, E7, A, Dm, End}}},
    /* A# */ {{{End}, {End}}},
    /* B  */ {{{E7, Dm, G7, F, Am, C, End}, {G7, F, E7, Dm, C, Am, End}}},
}};

// Rows every bar considers after its starting list, in this order.
constexpr std::array<int, 9> kAlwaysAdded = {B, D, FSharpDim, ASharpM, Edim, Caug, GSharpDim,
                                             GSharpDim7, Bdim};

struct Bonus
{
    int row;
    double points;
};
struct Progression
{
    int previous;
    std::array<Bonus, 3> major; // row End pads
    std::array<Bonus, 3> minor;
};

// Bonuses for common progressions from the previous bar's chord.
constexpr std::array<Progression, 9> kProgressions = {{
    {E7, {{{End, 0}}}, {{{Am, 4}, {A, 4}, {End, 0}}}},
    {G7, {{{C, 4}, {End, 0}}}, {{{C, 4}, {End, 0}}}},
    {A, {{{Dm, 2}, {D, 2}, {End, 0}}}, {{{Dm, 4}, {A, 2}, {End, 0}}}},
    {Am, {{{End, 0}}}, {{{Dm, 2}, {E7, 2}, {End, 0}}}},
    {C, {{{F, 2}, {G7, 2}, {End, 0}}}, {{{F, 2}, {G7, 2}, {End, 0}}}},
    {Dm, {{{G7, 2}, {End, 0}}}, {{{Am, 4}, {G7, 2}, {E7, 4}}}},
    {D, {{{G7, 2}, {End, 0}}}, {{{End, 0}}}},
    {F, {{{G7, 4}, {C, 4}, {End, 0}}}, {{{G7, 4}, {C, 2}, {E7, 4}}}},
    {Bdim7, {{{C, 2}, {End, 0}}}, {{{Am, 2}, {C, 2}, {End, 0}}}},
}};

} // namespace

void ChordFinder::setKey(int signature, bool minor)
{
    m_signature = signature;
    m_shift = shiftToC(signature);
    m_minor = minor;
    reset();
}

void ChordFinder::reset()
{
    m_bar = BarResult();
    m_previous = BarResult();
    m_noteCount = 0;
    m_strength.fill(0);
    m_resume = nullptr;
    m_melody = nullptr;
}

void ChordFinder::collectBarNotes(const MidiSequence& melody, uint32_t barStart, uint32_t barEnd)
{
    m_noteCount = 0;
    // Resume where the previous bar stopped, unless the melody changed in between.
    const bool resume = m_melody == &melody && m_resume && m_resumeGeneration == melody.generation();
    const MidiEvent* e = resume ? m_resume : melody.first();
    const MidiEvent* nextResume = nullptr;
    const double barLength = double(barEnd - barStart);
    for (; e && e->time < barEnd; e = e->next()) {
        if (!e->isNote() || e->endTime() <= barStart)
            continue;
        if (!nextResume && e->endTime() > barEnd)
            nextResume = e;
        const uint32_t overlap = std::min(e->endTime(), barEnd) - std::max(e->time, barStart);
        // A note only touching the bar does not count for it.
        if (e->duration == 0 || double(overlap) / e->duration < 0.2)
            continue;
        // Further notes of a crowded bar are ignored: the store holds the first 1000.
        if (m_noteCount == kMaxBarNotes)
            continue;
        BarNote& note = m_notes[size_t(m_noteCount)];
        note.pitch = e->data1 + m_shift;
        note.strength = m_noteCount == 0 ? 2 : 1;
        note.weight = overlap / barLength;
        ++m_noteCount;
    }
    m_melody = &melody;
    m_resume = nextResume ? nextResume : e;
    m_resumeGeneration = melody.generation();
}

int ChordFinder::addCandidate(int index)
{
    for (int i = 0; i < m_bar.candidateCount; ++i)
        if (m_bar.candidates[size_t(i)].index == index)
            return i;
    if (m_bar.candidateCount == kMaxCandidates)
        return -1;
    Candidate& c = m_bar.candidates[size_t(m_bar.candidateCount)];
    c = Candidate();
    c.index = index;
    return m_bar.candidateCount++;
}

ChordFinder::Candidate* ChordFinder::candidate(int index)
{
    for (int i = 0; i < m_bar.candidateCount; ++i)
        if (m_bar.candidates[size_t(i)].index == index)
            return &m_bar.candidates[size_t(i)];
    return nullptr;
}

void ChordFinder::startCandidates()
{
    m_strength.fill(0);
    for (int i = 0; i < m_noteCount; ++i) {
        int& s = m_strength[size_t(pitchClass(m_notes[size_t(i)].pitch))];
        s = std::max(s, m_notes[size_t(i)].strength);
    }
    const int strong = pitchClass(m_notes[0].pitch);
    for (int row : kStart[size_t(strong)][m_minor ? 0 : 1]) {
        if (row == End)
            break;
        addCandidate(row);
    }
    const bool gSharp = hasPitchClass(8), b = hasPitchClass(11);
    if ((gSharp && b) || (gSharp && hasPitchClass(4)) || (b && hasPitchClass(2)))
        addCandidate(E7);
    if (hasPitchClass(10))
        addCandidate(Gm);
    if (gSharp && hasPitchClass(5))
        addCandidate(Bdim7);
    if (b)
        addCandidate(G7);
    for (int row : kAlwaysAdded)
        addCandidate(row);
}

void ChordFinder::scoreNotes()
{
    for (int n = 0; n < m_noteCount; ++n) {
        const BarNote& note = m_notes[size_t(n)];
        const int pc = pitchClass(note.pitch);
        for (int i = 0; i < m_bar.candidateCount; ++i) {
            Candidate& c = m_bar.candidates[size_t(i)];
            (isTone(c.index, pc) ? c.inside : c.outside) += note.weight;
        }
    }
}

bool ChordFinder::scoreBases()
{
    double largest = 0;
    for (int i = 0; i < m_bar.candidateCount; ++i) {
        Candidate& c = m_bar.candidates[size_t(i)];
        for (int tone : kVocabulary[size_t(c.index)].tones)
            if (tone >= 0)
                c.base += m_strength[size_t(tone)];
        largest = std::max(largest, c.base);
    }
    return largest > 0;
}

void ChordFinder::addCharacteristicNotes()
{
    auto bonus = [this](int row) {
        if (Candidate* c = candidate(row))
            c->base += 2.0;
    };
    if (hasPitchClass(8))
        bonus(E7);
    if (hasPitchClass(1))
        bonus(A);
    if (m_minor && hasPitchClass(5)) {
        bonus(F);
        bonus(Dm);
    }
    if (!m_minor && hasPitchClass(9)) {
        bonus(F);
        bonus(Am);
    }
    if (hasPitchClass(8) && hasPitchClass(5))
        bonus(Bdim7);
}

void ChordFinder::addProgressions()
{
    for (const Progression& p : kProgressions) {
        if (p.previous != m_previous.chosen)
            continue;
        for (const Bonus& b : m_minor ? p.minor : p.major) {
            if (b.row == End)
                break;
            if (Candidate* c = candidate(b.row))
                c->progression += b.points;
        }
    }
}

// A previous candidate is the runner-up when it tied the best total, or when no other previous
// candidate's total lies strictly between its total and the best.
bool ChordFinder::isRunnerUp(const Candidate& c) const
{
    const double best = m_previous.bestTotal;
    if (std::fabs(c.total() - best) <= kTieMargin)
        return true;
    for (int i = 0; i < m_previous.candidateCount; ++i) {
        const double t = m_previous.candidates[size_t(i)].total();
        if (t > c.total() + kTieMargin && t < best - kTieMargin)
            return false;
    }
    return true;
}

void ChordFinder::addFDmRule()
{
    const Candidate* dm = nullptr;
    const Candidate* f = nullptr;
    for (int i = m_previous.candidateCount - 1; i >= 0; --i) { // the first of each index counts
        const Candidate& c = m_previous.candidates[size_t(i)];
        if (c.index == Dm)
            dm = &c;
        if (c.index == F)
            f = &c;
    }
    const auto isBest = [this](const Candidate* c) {
        return c && std::fabs(c->total() - m_previous.bestTotal) <= kTieMargin;
    };
    const bool single = m_previous.ties == 1;
    const bool applies = (m_previous.chosen == F && single && dm && isRunnerUp(*dm)) ||
                         (m_previous.chosen == Dm && single && f && isRunnerUp(*f)) ||
                         (isBest(dm) && isBest(f));
    if (!applies)
        return;
    if (Candidate* g7 = candidate(G7))
        g7->progression += 4.0;
}

int ChordFinder::select()
{
    double g = -INFINITY;
    for (int i = 0; i < m_bar.candidateCount; ++i)
        g = std::max(g, m_bar.candidates[size_t(i)].fit());
    g = std::max(g, 0.0);
    const auto considered = [g](const Candidate& c) { return c.fit() >= g - 1.0; };

    double best = -INFINITY;
    for (int i = 0; i < m_bar.candidateCount; ++i)
        if (considered(m_bar.candidates[size_t(i)]))
            best = std::max(best, m_bar.candidates[size_t(i)].total());
    best = std::max(best, 0.0);

    const Candidate* choice = nullptr;
    int ties = 0;
    for (int i = 0; i < m_bar.candidateCount; ++i) {
        const Candidate& c = m_bar.candidates[size_t(i)];
        if (!considered(c) || std::fabs(c.total() - best) > kTieMargin)
            continue;
        ++ties;
        // At equal totals the greater base wins, else the earlier candidate. Equal totals and
        // bases with different progression bonuses never both get here: the bonuses differ by
        // at least 2, so their fits do too, and only fits within 1 of the best are considered.
        if (!choice || c.base > choice->base)
            choice = &c;
    }
    m_bar.bestFit = g;
    m_bar.bestTotal = best;
    m_bar.ties = ties;
    return choice ? choice->index : -1;
}

void ChordFinder::writeSuggestions()
{
    m_bar.suggestions.clear();
    for (int i = 0; i < m_bar.candidateCount; ++i) {
        const Candidate& c = m_bar.candidates[size_t(i)];
        if (c.fit() > 0)
            m_bar.suggestions += QString::asprintf("%s = %.1f\n",
                                                   qPrintable(nameOfCandidate(c.index)), c.fit());
    }
}

int ChordFinder::findChord()
{
    m_bar.candidateCount = 0;
    m_bar.chosen = -1;
    m_bar.ties = 0;
    m_bar.bestFit = m_bar.bestTotal = 0;
    m_bar.suggestions.clear();
    if (m_noteCount == 0)
        return -1;
    startCandidates();
    scoreNotes();
    if (!scoreBases()) // all chords score 0
        return -1;
    addCharacteristicNotes();
    addProgressions();
    addFDmRule();
    m_bar.chosen = select();
    if (m_bar.chosen < 0)
        ErrorLog::add(QStringLiteral("findChord: null chord"));
    writeSuggestions();
    return m_bar.chosen;
}

void ChordFinder::endBar()
{
    m_previous = m_bar;
    m_bar = BarResult();
    m_noteCount = 0;
    m_strength.fill(0);
}

int ChordFinder::rowFor(int rootInC, const QString& typeName)
{
    int found = -1;
    for (int i = 0; i < kVocabularySize; ++i) {
        const VocabularyRow& row = kVocabulary[size_t(i)];
        if (row.root != rootInC)
            continue;
        const QLatin1StringView suffix(row.suffix);
        const bool same = typeName.isEmpty() ? suffix.isEmpty()
                                             : !suffix.isEmpty() && suffix[0] == typeName[0];
        if (same)
            found = i;
    }
    return found;
}

void ChordFinder::setPreviousChord(const QString& fixedChord)
{
    const ParsedChord parsed = parseChord(fixedChord);
    if (!parsed.isValid()) {
        m_previous.chosen = -1;
        return;
    }
    const int root = pitchClass(tpcPitch(parsed.root) + m_shift);
    m_previous.chosen = rowFor(root, QString(parsed.type->name));
}

QString ChordFinder::nameOfCandidate(int index) const
{
    if (index < 0 || index >= kVocabularySize)
        return QString();
    const VocabularyRow& row = kVocabulary[size_t(index)];
    return QString(noteNameInKey(pitchClass(row.root - m_shift), m_signature)) +
           QLatin1String(row.suffix);
}
