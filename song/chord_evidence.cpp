#include "chord_evidence.h"

#include "midi_sequence.h"
#include "pitch_spelling.h"

#include <algorithm>
#include <numeric>

namespace {

// How much a note counts by where it starts. A note on the downbeat defines the bar's harmony
// most; the middle of a bar in even meters is the second strong point; the other beats carry
// chord tones more often than not; notes between beats are mostly passing or neighbour notes.
constexpr double kDownbeat = 2.0;
constexpr double kMiddle = 1.5;
constexpr double kBeat = 1.0;
constexpr double kOffbeat = 0.7;
// A note held over from before the segment is heard at the segment's start, like a beat.
constexpr double kHeld = 1.0;
// The last note of a bar closes a phrase or a motif more often than not on a chord tone.
constexpr double kLastNote = 1.3;

struct Note
{
    uint32_t start;
    uint32_t end;
    int pitch;
};

uint64_t mix(uint64_t hash, uint64_t value)
{
    hash ^= value + 0x9e3779b97f4a7c15ull + (hash << 6) + (hash >> 2);
    return hash;
}

} // namespace

double ChordEvidence::total(int s) const
{
    const Weights& w = m_segments[size_t(s)];
    return std::accumulate(w.begin(), w.end(), 0.0);
}

double ChordEvidence::metricWeight(uint32_t offset) const
{
    if (offset == 0)
        return kDownbeat;
    if (m_perBar == 2 && offset == m_segmentTicks)
        return kMiddle;
    if (offset % m_groupTicks == 0)
        return kBeat;
    return kOffbeat;
}

void ChordEvidence::addNote(uint32_t start, uint32_t end, int pitch, bool lastInBar)
{
    const uint32_t limit = uint32_t(m_barCount) * m_barTicks;
    end = std::min(end, limit);
    const int pc = pitchClass(pitch);
    const double onset = metricWeight(start % m_barTicks) * (lastInBar ? kLastNote : 1.0);
    for (uint32_t s = start / m_segmentTicks; s * m_segmentTicks < end; ++s) {
        const uint32_t from = std::max(start, s * m_segmentTicks);
        const uint32_t to = std::min(end, (s + 1) * m_segmentTicks);
        const double share = double(to - from) / double(m_segmentTicks);
        m_segments[size_t(s)][size_t(pc)] += share * (from == start ? onset : kHeld);
    }
}

void ChordEvidence::build(const MidiSequence& melody, uint32_t barTicks, Meter meter, int barCount)
{
    m_barCount = std::max(barCount, 0);
    m_barTicks = std::max<uint32_t>(barTicks, 2);
    const int beats = std::max(meter.beats, 1);
    m_perBar = segmentsPerBar(meter);
    m_segmentTicks = m_barTicks / uint32_t(m_perBar);
    m_beatTicks = std::max<uint32_t>(m_barTicks / uint32_t(beats), 1);
    const bool compound = meter.unit == 3 && beats % 3 == 0 && beats > 3;
    m_groupTicks = compound ? m_beatTicks * 3 : m_beatTicks;
    m_segments.assign(size_t(segmentCount()), Weights{});
    m_prints.assign(size_t(m_barCount), 0);
    m_firstBar = m_lastBar = m_firstFullBar = m_firstPc = m_lastPc = -1;

    std::vector<Note> notes;
    const uint64_t limit = uint64_t(m_barCount) * m_barTicks;
    for (const MidiEvent* e = melody.first(); e && e->time < limit; e = e->next())
        if (e->isNote() && e->duration > 0)
            notes.push_back({e->time, e->endTime(), e->data1});
    for (size_t i = 0; i < notes.size(); ++i) {
        const Note& n = notes[i];
        const int bar = int(n.start / m_barTicks);
        const bool last =
            i + 1 == notes.size() || notes[i + 1].start / m_barTicks != n.start / m_barTicks;
        addNote(n.start, n.end, n.pitch, last);
        uint64_t& print = m_prints[size_t(bar)];
        print = mix(mix(mix(print ? print : 1, n.start % m_barTicks), n.end - n.start), n.pitch);
        if (m_firstBar < 0) {
            m_firstBar = bar;
            m_firstPc = pitchClass(n.pitch);
        }
        m_lastPc = pitchClass(n.pitch);
        m_lastBar = bar;
        // The first bar whose downbeat the melody reaches (within its first beat).
        if (m_firstFullBar < 0 &&
            (n.start % m_barTicks < m_beatTicks || n.end > (bar + 1) * uint64_t(m_barTicks)))
            m_firstFullBar = n.start % m_barTicks < m_beatTicks ? bar : bar + 1;
    }
    if (m_firstFullBar >= m_barCount)
        m_firstFullBar = m_lastBar;
}
