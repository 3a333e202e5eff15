#pragma once

#include "style_part_rules.h"

#include <QString>
#include <cstdint>

class SongState;
class Session;
class MidiClip;
class MidiEvent;
class MidiSequence;

/**
 * Arrangement: renders the accompaniment of a song into its arranged tracks.
 *
 * Every section marker of the melody selects a section of the loaded style (an unknown name
 * plays "Main A"); the style section's parts are looped over the song section and each pitched
 * note is moved onto the chord in effect at its time (mapPitch). Only note events are copied.
 * The arranged tracks are the ones the style loader created, one per style track, in order.
 *
 * Chord names the arrangement cannot read play like "Drums": the rhythm goes on, the pitched
 * parts rest until the next readable chord, so a typing slip never sounds as wrong harmony.
 *
 * GUI thread only; the arranged clips change under the session's edit lock, so a playing MIDI
 * engine never walks a list that is being rebuilt.
 */
class Arrangement
{
public:
    Arrangement(Session& session, MidiSequence& melody);

    /**
     * Rebuilds the arrangement from `from` (or from the edited lane event) to the end of the
     * affected section or chord span; with no following event of the kind, to the end of the
     * song. Make Chords and a new style pass no event, 0, the melody length and SectionLane; a
     * lane edit passes the edited event (none when it was deleted), its tick, 0 and its kind.
     */
    void arrangeRange(const MidiEvent* edited, uint32_t from, uint32_t to, int kind);

    /**
     * Plays the style section [sectionStart, sectionEnd) of one style track into an arranged
     * sequence over the song ticks [from, to), entering the section `offset` song ticks after
     * the song section's start. The part's rules give the chord its pattern is written over
     * (unless the style track says so with a chord of its own) and the notes it may play.
     */
    void renderSection(uint32_t offset, uint32_t sectionStart, uint32_t sectionEnd, uint32_t from,
                       uint32_t to, const MidiSequence& styleTrack, MidiSequence& arranged,
                       const StylePartRules& rules = {}) const;

private:
    void clearArranged(uint32_t start, uint32_t end, bool toTheEnd);
    void renderPart(const QString& section, uint32_t offset, uint32_t start, uint32_t end);
    void finishArranged();

    Session& m_session;
    SongState& m_song;
    MidiSequence& m_melody;
};

/**
 * What Make Chords and a change of style end with: the sections are placed around the melody
 * (unless the user fixed them) and the whole arrangement is rebuilt. Without a melody clip there
 * are no chords to play, and nothing happens.
 */
void arrangeSong(Session& session, MidiClip* melody);

/** Sets a MIDI clip's length in frames to cover its sequence's length from the clip's start. */
void fitClipToEvents(Session& session, MidiClip& clip);
