#include "chord_maker.h"

#include "chord_finder.h"
#include "error_log.h"
#include "key_detection.h"
#include "key_names.h"
#include "lane_events.h"
#include "midi_sequence.h"
#include "progression_finder.h"
#include "song_state.h"

#include <vector>

namespace {

// Removes the events of kind strictly inside (from, to) that keep() rejects, searching on from
// after (an event before from) when there is one.
template <typename Keep>
void removeInside(MidiSequence& melody, uint32_t from, uint32_t to, int kind, Keep keep,
                  const MidiEvent* after)
{
    std::vector<MidiEvent*> doomed;
    for (MidiEvent* e = after ? after->next() : melody.first(); e && e->time < to; e = e->next())
        if (e->time > from && laneKind(e) == kind && !keep(e))
            doomed.push_back(e);
    for (MidiEvent* e : doomed)
        melody.take(e);
}

} // namespace

ChordMaker::ChordMaker(SongState& song, MidiSequence& melody, uint32_t barTicks,
                       ChordFinderKind kind, ChordEvidence::Meter meter)
    : m_song(song), m_melody(melody), m_barTicks(barTicks > 0 ? barTicks : 1), m_kind(kind),
      m_meter(meter)
{
}

bool ChordMaker::run()
{
    m_before = nullptr;
    applySuggestedKey(m_song, detectKey(m_melody));
    const ParsedKey key = parseKey(m_song.key);
    const int signature = key.tonicTpc != kNoTpc ? key.signature : 0;
    const bool logWasEmpty = ErrorLog::isEmpty();
    if (m_kind == ChordFinderKind::Classic)
        runClassic(signature, key.minor);
    else
        runProgression(signature, key.minor);
    return logWasEmpty == ErrorLog::isEmpty();
}

void ChordMaker::runClassic(int signature, bool minor)
{
    ChordFinder finder;
    finder.setKey(signature, minor);
    const uint32_t lastBar = m_melody.length() / m_barTicks;
    for (uint32_t bar = 0; bar <= lastBar; ++bar)
        writeBar(finder, bar * m_barTicks, (bar + 1) * m_barTicks);
}

void ChordMaker::runProgression(int signature, bool minor)
{
    const int barCount = int(m_melody.length() / m_barTicks) + 1;
    const int per = ChordEvidence::segmentsPerBar(m_meter);
    const uint32_t half = per == 2 ? m_barTicks / 2 : 0;
    std::vector<ProgressionFinder::Fixed> fixed;
    for (const MidiEvent* e = m_melody.first(); e; e = e->next()) {
        if (laneKind(e) != ChordLane || !isFixedChord(e))
            continue;
        const uint32_t offset = e->time % m_barTicks;
        const int bar = int(e->time / m_barTicks);
        if (offset == 0 || (half > 0 && offset == half))
            fixed.push_back({bar * per + (offset == 0 ? 0 : 1), laneText(e)});
    }
    ProgressionFinder finder;
    finder.setKey(signature, minor);
    finder.setTryOtherKeys(!m_song.keyFixed);
    const auto bars = finder.find(m_melody, m_barTicks, m_meter, barCount, fixed);
    // The key whose chords fit best becomes the suggestion (and the key, as it is not fixed).
    if (!m_song.keyFixed && !(finder.key() == ProgressionFinder::Key{signature, minor}))
        applySuggestedKey(m_song, DetectedKey{finder.key().signature, finder.key().minor});
    for (int b = 0; b < int(bars.size()); ++b) {
        const uint32_t start = uint32_t(b) * m_barTicks;
        writeChords(start, start + m_barTicks, bars[size_t(b)].first, start + half,
                    bars[size_t(b)].second, bars[size_t(b)].suggestions);
    }
}

void ChordMaker::writeChords(uint32_t barStart, uint32_t barEnd, const QString& first,
                             uint32_t secondAt, const QString& second, const QString& suggestions)
{
    const MidiEvent* before = lastEventBefore(barStart);
    MidiEvent* chord = findLaneEvent(m_melody, barStart, ChordLane, before);
    if (!isFixedChord(chord) && laneText(chord) != first)
        setLaneEvent(m_melody, barStart, ChordLane, first, false, before);
    removeInside(m_melody, barStart, barEnd, ChordLane, isFixedChord, before);
    if (!second.isEmpty() && !isFixedChord(findLaneEvent(m_melody, secondAt, ChordLane, before)))
        setLaneEvent(m_melody, secondAt, ChordLane, second, false, before);
    setLaneEvent(m_melody, barStart, SuggestedChordsLane, suggestions, false, before);
    removeInside(
        m_melody, barStart, barEnd, SuggestedChordsLane, [](const MidiEvent*) { return false; },
        before);
}

void ChordMaker::writeBar(ChordFinder& finder, uint32_t barStart, uint32_t barEnd)
{
    finder.collectBarNotes(m_melody, barStart, barEnd);
    const QString name = finder.nameOfCandidate(finder.findChord());

    const MidiEvent* before = lastEventBefore(barStart);
    MidiEvent* chord = findLaneEvent(m_melody, barStart, ChordLane, before);
    const bool fixed = isFixedChord(chord);
    if (!fixed && laneText(chord) != name)
        chord = setLaneEvent(m_melody, barStart, ChordLane, name, false, before);
    removeInside(m_melody, barStart, barEnd, ChordLane, isFixedChord, before);

    setLaneEvent(m_melody, barStart, SuggestedChordsLane, finder.result().suggestions, false,
                 before);
    removeInside(
        m_melody, barStart, barEnd, SuggestedChordsLane, [](const MidiEvent*) { return false; },
        before);

    finder.endBar();
    // A fixed chord is what the next bar follows, whatever the scorer preferred.
    if (fixed)
        finder.setPreviousChord(laneText(chord));
}

const MidiEvent* ChordMaker::lastEventBefore(uint32_t tick)
{
    for (const MidiEvent* e = m_before ? m_before->next() : m_melody.first(); e && e->time < tick;
         e = e->next())
        m_before = e;
    return m_before;
}
