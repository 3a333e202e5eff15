#pragma once

#include <QString>
#include <cstdint>

class MidiEvent;
class MidiSequence;

/*
 * The song's lanes as meta events of the melody track.
 *
 * Chords are text events prefixed "[" (fixed by the user) or "{" (found by chord finding),
 * suggested-chords notes text events prefixed "(", sections are markers and lyrics lyric events.
 * Each kind holds at most one event per tick. The functions work on one track's event list;
 * GUI thread only, like the sequences they change.
 */

/** Lane kinds, as the piano roll's lanes and the song-making code name them. */
enum LaneKind : int {
    NoLane = 0,
    ChordLane = 1,
    SectionLane = 2,
    SuggestedChordsLane = 3,
    LyricLane = 4,
};

/** The nine section names the section lane offers, in their order. */
const QStringList& sectionNames();

/** 0..4: the lane an event belongs to (0 for every other event). */
int laneKind(const MidiEvent* event);
/** The event's text without its lane prefix (chords and suggested chords); empty for kind 0. */
QString laneText(const MidiEvent* event);
/** True only for chords the user fixed (prefix "["). */
bool isFixedChord(const MidiEvent* event);

/**
 * The first event of the kind at exactly tick, or none. With after, an event before tick, the
 * search starts there instead of at the track's start.
 */
MidiEvent* findLaneEvent(const MidiSequence& track, uint32_t tick, int kind,
                         const MidiEvent* after = nullptr);
/** Scanning back from the end, the first event of the kind at or before tick, or none. */
MidiEvent* lastLaneEventAtOrBefore(const MidiSequence& track, uint32_t tick, int kind);
/**
 * With from: the next event after it of from's kind. Without: the first event of kind strictly
 * after tick.
 */
MidiEvent* nextLaneEvent(const MidiEvent* from, const MidiSequence& track, uint32_t tick, int kind);
/**
 * Stores text as the event of kind at tick (reusing the one there) and returns it; an empty
 * text deletes that event and returns none. after, when given, is an event before tick where
 * the search starts (see findLaneEvent).
 */
MidiEvent* setLaneEvent(MidiSequence& track, uint32_t tick, int kind, const QString& text,
                        bool fixed = false, const MidiEvent* after = nullptr);

/** Removes every event with from <= tick < to. */
void eraseEventsInRange(MidiSequence& track, uint32_t from, uint32_t to);
/** Removes every event at or after from; the track's length becomes from. */
void truncateTrack(MidiSequence& track, uint32_t from);
/**
 * Moves the content at from to to: later events move by (to - from); moving back first removes
 * what lies in [to, from). Times and the length are clamped at 0.
 */
void shiftEvents(MidiSequence& track, uint32_t from, uint32_t to);
/** Where a section of a style lies in its first track, in style ticks: [start, end). */
struct StyleSectionSpan
{
    uint32_t start = 0;
    uint32_t end = 0;
    bool found = false;
};

/**
 * The section whose marker text is name: the last marker with that text and a tick above 0
 * before any other marker starts it, or, when there is none, the one at tick 0; the next marker
 * with another text at a later tick ends it, or the track's length when there is none.
 */
StyleSectionSpan styleSectionSpan(const MidiSequence& styleTrack, const QString& name);

/**
 * Length in quarter notes of the style section whose marker text is name (0 when there is none):
 * from its marker to the next marker with another text, or to the track's length.
 */
uint32_t styleSectionLength(const MidiSequence& styleTrack, const QString& name);
