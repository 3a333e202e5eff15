#include "chord_maker.h"

#include "chord_finder.h"
#include "error_log.h"
#include "key_detection.h"
#include "key_names.h"
#include "lane_events.h"
#include "midi_sequence.h"
#include "song_state.h"

#include <vector>

namespace {

// Removes the events of kind strictly inside (from, to) that keep() rejects.
template <typename Keep>
void removeInside(MidiSequence& melody, uint32_t from, uint32_t to, int kind, Keep keep)
{
    std::vector<MidiEvent*> doomed;
    for (MidiEvent* e = melody.first(); e && e->time < to; e = e->next())
        if (e->time > from && laneKind(e) == kind && !keep(e))
            doomed.push_back(e);
    for (MidiEvent* e : doomed)
        melody.take(e);
}

} // namespace

ChordMaker::ChordMaker(SongState& song, MidiSequence& melody, uint32_t barTicks)
    : m_song(song), m_melody(melody), m_barTicks(barTicks > 0 ? barTicks : 1)
{
}

bool ChordMaker::run()
{
    applySuggestedKey(m_song, detectKey(m_melody));
    const ParsedKey key = parseKey(m_song.key);
    ChordFinder finder;
    finder.setKey(key.tonicTpc != kNoTpc ? key.signature : 0, key.minor);

    const bool logWasEmpty = ErrorLog::isEmpty();
    const uint32_t lastBar = m_melody.length() / m_barTicks;
    for (uint32_t bar = 0; bar <= lastBar; ++bar)
        writeBar(finder, bar * m_barTicks, (bar + 1) * m_barTicks);
    return logWasEmpty == ErrorLog::isEmpty();
}

void ChordMaker::writeBar(ChordFinder& finder, uint32_t barStart, uint32_t barEnd)
{
    finder.collectBarNotes(m_melody, barStart, barEnd);
    const QString name = finder.nameOfCandidate(finder.findChord());

    MidiEvent* chord = findLaneEvent(m_melody, barStart, ChordLane);
    const bool fixed = isFixedChord(chord);
    if (!fixed && laneText(chord) != name)
        chord = setLaneEvent(m_melody, barStart, ChordLane, name, false);
    removeInside(m_melody, barStart, barEnd, ChordLane, isFixedChord);

    setLaneEvent(m_melody, barStart, SuggestedChordsLane, finder.result().suggestions);
    removeInside(m_melody, barStart, barEnd, SuggestedChordsLane,
                 [](const MidiEvent*) { return false; });

    finder.endBar();
    // A fixed chord is what the next bar follows, whatever the scorer preferred.
    if (fixed)
        finder.setPreviousChord(laneText(chord));
}
