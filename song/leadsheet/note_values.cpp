#include "note_values.h"

#include <algorithm>

namespace {

constexpr int kShortestType = 6; // sixty-fourth

} // namespace

NoteValues::NoteValues(int divisions, int beat, bool triplets)
    : m_beat(std::max(beat, 1)), m_triplets(triplets)
{
    const int whole = 4 * std::max(divisions, 1);
    for (int type = 0; type <= kShortestType; ++type) {
        if (whole % (1 << type) != 0)
            break;
        const int base = whole >> type;
        if (base % 2 == 0 && type < kShortestType)
            m_values.push_back({base + base / 2, type, 1, false, base});
        m_values.push_back({base, type, 0, false, base});
        // Eighth and quarter triplets: three in the time of two.
        if ((type == 2 || type == 3) && base % 3 == 0)
            m_values.push_back({base * 2 / 3, type, 0, true, base * 2 / 3});
    }
    std::stable_sort(m_values.begin(), m_values.end(),
                     [](const Value& a, const Value& b) { return a.duration > b.duration; });
}

int NoteValues::beatOf(int beats, int unit, int divisions)
{
    const int base = std::max((4 * divisions) >> std::clamp(unit, 0, 30), 1);
    // Compound meters count dotted beats: 6/8 has two of three eighths.
    const bool compound = unit >= 3 && beats % 3 == 0;
    return compound ? 3 * base : base;
}

bool NoteValues::fits(const Value& value, int position, int to) const
{
    if (position + value.duration > to || (value.isTriplet && !m_triplets))
        return false;
    const int inBeat = position % m_beat;
    if (value.duration >= m_beat) {
        // Whole beats in a triplet bar, so the triplet beats stay whole.
        if (m_triplets && value.duration % m_beat != 0)
            return false;
        return inBeat == 0 && (position + value.duration) % std::max(m_beat / 2, 1) == 0;
    }
    if (m_triplets && !value.isTriplet)
        return false;
    const bool inOneBeat = inBeat + value.duration <= m_beat;
    return inOneBeat && (inBeat % value.alignment == 0 || inBeat + value.duration == m_beat);
}

std::vector<NoteValues::Piece> NoteValues::split(int from, int to) const
{
    std::vector<Piece> pieces;
    int position = from;
    while (position < to) {
        const Value* chosen = nullptr;
        for (const Value& value : m_values) {
            if (fits(value, position, to)) {
                chosen = &value;
                break;
            }
        }
        // Off the grid (never from the quantizer): the longest plain value that fits at all.
        for (const Value& value : m_values) {
            if (chosen)
                break;
            if (!value.isTriplet && value.dots == 0 && position + value.duration <= to)
                chosen = &value;
        }
        if (!chosen)
            break; // less than the shortest value is left
        pieces.push_back(
            {position, chosen->duration, chosen->type, chosen->dots, chosen->isTriplet});
        position += chosen->duration;
    }
    return pieces;
}
