#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

class MidiSequence;

/**
 * ChordEvidence: what a melody says about the harmony of each bar and half bar.
 *
 * The bars are cut into segments: two halves when the meter's beat count is even (4/4, 2/4,
 * 6/8, 12/8), where a second chord may come in, else one whole bar. Each segment gets twelve
 * weights, one per pitch class, from the notes sounding in it: the time a note sounds in the
 * segment, times the weight of the metric position it starts on (the downbeat most, then the
 * middle of the bar, the other beats, and least the notes between beats, the passing notes).
 * A note held into a segment counts like one on a beat there. The last note of a bar counts a
 * little more, since phrases come to rest on chord tones. Plain data: any thread, one build at
 * a time per object.
 */
class ChordEvidence
{
public:
    using Weights = std::array<double, 12>;

    struct Meter
    {
        int beats = 4; // numerator
        int unit = 2;  // power of two of the denominator (2 = quarter, 3 = eighth)
    };

    /** 2 when the meter's beat count is even, else 1. */
    static int segmentsPerBar(Meter meter) { return meter.beats % 2 == 0 ? 2 : 1; }

    /** Reads the melody's notes into bars [0, barCount) of barTicks each. */
    void build(const MidiSequence& melody, uint32_t barTicks, Meter meter, int barCount);

    int barCount() const { return m_barCount; }
    /** 1 or 2 segments per bar. */
    int segmentsPerBar() const { return m_perBar; }
    int segmentCount() const { return m_barCount * m_perBar; }
    uint32_t segmentTicks() const { return m_segmentTicks; }
    /** The pitch-class weights of a segment; all zero when no note sounds in it. */
    const Weights& segment(int s) const { return m_segments[std::size_t(s)]; }
    /** The sum of a segment's weights. */
    double total(int s) const;
    /** The first and the last bar in which a note starts; -1 when there is none. */
    int firstBar() const { return m_firstBar; }
    int lastBar() const { return m_lastBar; }
    /** The first bar whose downbeat a note starts on or sounds through (after a pickup). */
    int firstFullBar() const { return m_firstFullBar; }
    /** Pitch classes of the melody's first and last notes; -1 when there is none. */
    int firstPitchClass() const { return m_firstPc; }
    int lastPitchClass() const { return m_lastPc; }
    /** A fingerprint of the notes starting in a bar (positions, lengths, pitches); 0 when none. */
    uint64_t barPrint(int bar) const { return m_prints[std::size_t(bar)]; }

private:
    double metricWeight(uint32_t offsetInBar) const;
    void addNote(uint32_t start, uint32_t end, int pitch, bool lastInBar);

    int m_barCount = 0;
    int m_perBar = 1;
    uint32_t m_barTicks = 1;
    uint32_t m_segmentTicks = 1;
    uint32_t m_beatTicks = 1;
    uint32_t m_groupTicks = 1; // a main beat: a dotted quarter in 6/8, else the meter's beat
    int m_firstBar = -1;
    int m_lastBar = -1;
    int m_firstFullBar = -1;
    int m_firstPc = -1;
    int m_lastPc = -1;
    std::vector<Weights> m_segments;
    std::vector<uint64_t> m_prints;
};
