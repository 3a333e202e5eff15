#include "phrase_sections.h"

#include "midi_sequence.h"

#include <algorithm>
#include <set>
#include <tuple>

namespace {

// Two groups are the same phrase when this share of their notes matches in place and pitch.
constexpr double kSameShare = 0.6;
// A repeat is "louder" when its notes are on average this much harder than the first group's.
constexpr double kLouderVelocity = 8.0;
// A phrase ends on a note held at least this share of a bar, or on a rest as long.
constexpr uint32_t kPhraseEndDivisor = 4;
constexpr uint32_t kStepsPerBar = 16; // note places are compared on a sixteenth grid of the bar

struct Group
{
    std::set<std::pair<uint32_t, int>> notes; // (step from the group's start, pitch)
    double velocity = 0;                      // average velocity, 0 without notes
    int label = -1;
};

struct Span
{
    uint32_t barTicks, firstBar, endBar;
    uint32_t bars() const { return endBar > firstBar ? endBar - firstBar : 0; }
};

std::vector<Group> groupsOf(const MidiSequence& melody, const Span& span, uint32_t size)
{
    std::vector<Group> groups((span.bars() + size - 1) / size);
    std::vector<double> velocitySum(groups.size(), 0);
    const uint64_t start = uint64_t(span.firstBar) * span.barTicks;
    const uint64_t groupTicks = uint64_t(size) * span.barTicks;
    for (const MidiEvent* e = melody.first(); e; e = e->next()) {
        if (!e->isNote() || e->time < start)
            continue;
        const size_t index = size_t((e->time - start) / groupTicks);
        if (index >= groups.size())
            continue;
        const uint64_t within = (e->time - start) % groupTicks;
        const uint32_t step = uint32_t(within * kStepsPerBar / span.barTicks);
        groups[index].notes.insert({step, e->data1});
        velocitySum[index] += e->data2;
    }
    for (size_t i = 0; i < groups.size(); ++i) {
        if (!groups[i].notes.empty())
            groups[i].velocity = velocitySum[i] / double(groups[i].notes.size());
    }
    return groups;
}

bool samePhrase(const Group& a, const Group& b)
{
    if (a.notes.empty() || b.notes.empty())
        return false;
    std::vector<std::pair<uint32_t, int>> common;
    std::set_intersection(a.notes.begin(), a.notes.end(), b.notes.begin(), b.notes.end(),
                          std::back_inserter(common));
    const size_t larger = std::max(a.notes.size(), b.notes.size());
    return double(common.size()) >= kSameShare * double(larger);
}

// Labels each group by the first earlier group it repeats; returns how many groups repeat.
int label(std::vector<Group>& groups)
{
    int next = 0, repeats = 0;
    for (size_t i = 0; i < groups.size(); ++i) {
        for (size_t j = 0; j < i && groups[i].label < 0; ++j) {
            if (samePhrase(groups[i], groups[j])) {
                groups[i].label = groups[j].label;
                ++repeats;
            }
        }
        if (groups[i].label < 0)
            groups[i].label = next++;
    }
    return repeats;
}

// The share of group ends where a phrase ends: a long note reaching into the group's last bar's
// second half, or a long rest there.
double phraseEndShare(const MidiSequence& melody, const Span& span, uint32_t size)
{
    const uint32_t groups = (span.bars() + size - 1) / size;
    if (groups == 0)
        return 0;
    const uint32_t longTicks = span.barTicks / kPhraseEndDivisor;
    uint32_t ends = 0;
    for (uint32_t g = 1; g <= groups; ++g) {
        const uint64_t end =
            uint64_t(std::min(span.firstBar + g * size, span.endBar)) * span.barTicks;
        const uint64_t half = end - span.barTicks / 2;
        uint64_t lastEnd = 0; // the end of the last note started before the group's end
        bool longNote = false;
        for (const MidiEvent* e = melody.first(); e && e->time < end; e = e->next()) {
            if (!e->isNote())
                continue;
            lastEnd = std::max<uint64_t>(lastEnd, e->endTime());
            longNote = longNote || (e->endTime() >= half && e->duration >= longTicks);
        }
        if (longNote || lastEnd + longTicks <= end)
            ++ends;
    }
    return double(ends) / groups;
}

// Which groups play "Main B": contrasting phrases that come back, and loud repeats of the first.
std::vector<bool> chorusGroups(const std::vector<Group>& groups)
{
    std::vector<bool> chorus(groups.size(), false);
    if (groups.empty())
        return chorus;
    const Group& first = groups.front();
    for (size_t i = 1; i < groups.size(); ++i) {
        const Group& g = groups[i];
        if (g.notes.empty()) {
            chorus[i] = chorus[i - 1]; // an instrumental gap goes on as it was
            continue;
        }
        const bool comesBack = std::count_if(groups.begin(), groups.end(), [&](const Group& o) {
                                   return o.label == g.label;
                               }) > 1;
        const bool contrasting = g.label != first.label && comesBack;
        const bool louder =
            g.label == first.label && g.velocity >= first.velocity + kLouderVelocity;
        chorus[i] = contrasting || louder;
    }
    return chorus;
}

QString fillName(bool from, bool to)
{
    return QStringLiteral("Fill In ") + QLatin1Char(from ? 'B' : 'A') + QLatin1Char(to ? 'B' : 'A');
}

QString mainName(bool b)
{
    return b ? QStringLiteral("Main B") : QStringLiteral("Main A");
}

// The marks of one section [start, end): its main part, a fill every eighth bar inside it that
// resumes the section after it, and in its last bar the fill into what follows (nextB). A mark
// on the bar of the one before replaces it.
void markSection(std::vector<PhraseSections::Mark>& marks, uint32_t start, uint32_t end, bool b,
                 bool nextB)
{
    marks.push_back({start, mainName(b)});
    const uint32_t last = end - 1;
    for (uint32_t bar = start + 7; bar < last; bar += 8) {
        marks.push_back({bar, fillName(b, b)});
        marks.push_back({bar + 1, mainName(b)});
    }
    if (last > start) {
        if (marks.back().bar == last)
            marks.pop_back();
        marks.push_back({last, fillName(b, nextB)});
    }
}

} // namespace

uint32_t PhraseSections::groupBars(const MidiSequence& melody, uint32_t barTicks, uint32_t firstBar,
                                   uint32_t endBar)
{
    const Span span{barTicks, firstBar, endBar};
    if (span.bars() < 16)
        return 4;
    std::vector<Group> eights = groupsOf(melody, span, 8);
    if (label(eights) > 0)
        return 8;
    // Shorter phrases count when they repeat and most of them end as phrases end.
    std::vector<Group> fours = groupsOf(melody, span, 4);
    if (label(fours) > 0 && phraseEndShare(melody, span, 4) >= 0.5)
        return 4;
    return 8;
}

std::vector<PhraseSections::Mark> PhraseSections::place(const MidiSequence& melody,
                                                        uint32_t barTicks, uint32_t firstBar,
                                                        uint32_t endBar)
{
    std::vector<Mark> marks;
    const Span span{barTicks, firstBar, endBar};
    if (span.bars() == 0 || barTicks == 0)
        return marks;
    const uint32_t size = groupBars(melody, barTicks, firstBar, endBar);
    std::vector<Group> groups = groupsOf(melody, span, size);
    label(groups);
    const std::vector<bool> chorus = chorusGroups(groups);

    // Runs of groups with the same section become one section each.
    size_t i = 0;
    while (i < groups.size()) {
        size_t j = i + 1;
        while (j < groups.size() && chorus[j] == chorus[i])
            ++j;
        const uint32_t start = firstBar + uint32_t(i) * size;
        const uint32_t end = std::min(firstBar + uint32_t(j) * size, endBar);
        const bool nextB = j < groups.size() ? bool(chorus[j]) : false;
        markSection(marks, start, end, chorus[i], nextB);
        i = j;
    }
    return marks;
}
