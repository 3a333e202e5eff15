#include "arrangement.h"

#include "chord_text.h"
#include "lane_events.h"
#include "pitch_mapping.h"
#include "section_placement.h"
#include "song_state.h"

#include "midi_clip.h"
#include "rounding.h"
#include "session.h"
#include "time_scale.h"
#include "track.h"

#include <algorithm>

namespace {

const QString kMainSection = QStringLiteral("Main A");
constexpr uint16_t kDrumChannel = 9;

// The clip that receives the arrangement of an arranged track; none when the user removed the
// track or its clip.
MidiClip* arrangedClip(Session& session, Track* track)
{
    if (!track || session.indexOf(track) < 0)
        return nullptr;
    return dynamic_cast<MidiClip*>(track->firstClip());
}

// The chord a pattern note is played over: "Empty" before the first chord, and "Drums" for a
// chord whose name cannot be read (the rhythm goes on, the pitched parts rest).
QString chordInEffect(const MidiEvent* chord)
{
    if (!chord)
        return QString(kEmptyChord);
    const QString text = laneText(chord);
    if (isDrumsChord(text) || isEmptyChord(text) || parseChord(text).isValid())
        return text;
    return QString(kDrumsChord);
}

// "Empty" silences every part, "Drums" all but the drum parts.
bool partPlays(const QString& chord, bool drumPart)
{
    return !isEmptyChord(chord) && (drumPart || !isDrumsChord(chord));
}

// The chord the pattern of a style track is written over at a position of its section: a chord
// of the track's own, else the part table's root (C unless the table says otherwise).
QString sourceChord(const MidiSequence& styleTrack, uint32_t sectionStart, uint32_t position,
                    const StylePartRules& rules)
{
    const MidiEvent* chord = lastLaneEventAtOrBefore(styleTrack, position, ChordLane);
    if (chord && chord->time >= sectionStart)
        return laneText(chord);
    if (pitchClass(rules.sourceRoot) != 0)
        return QString(sharpNoteName(rules.sourceRoot)) + QStringLiteral("Maj7");
    return QString(kDefaultSourceChord);
}

const MidiEvent* firstEventAtOrAfter(const MidiSequence& track, uint32_t tick)
{
    const MidiEvent* e = track.first();
    while (e && e->time < tick)
        e = e->next();
    return e;
}

} // namespace

Arrangement::Arrangement(Session& session, MidiSequence& melody)
    : m_session(session), m_song(*SongState::of(&session)), m_melody(melody)
{
}

void Arrangement::arrangeRange(const MidiEvent* edited, uint32_t from, uint32_t to, int kind)
{
    if (m_song.styleTracks.empty())
        return;
    if (edited)
        kind = laneKind(edited);
    const MidiEvent* found = edited ? edited : lastLaneEventAtOrBefore(m_melody, from, kind);
    uint32_t start = std::max(found ? found->time : 0u, from);

    const MidiEvent* next = found ? nextLaneEvent(found, m_melody, start, kind)
                                  : nextLaneEvent(nullptr, m_melody, start, kind);
    const uint32_t songEnd = m_melody.length();
    const uint32_t end = next ? std::max(to, next->time) : songEnd;

    m_session.lockEdit();
    // A span that reaches the end of the song also drops whatever an earlier, longer
    // arrangement left behind it.
    clearArranged(start, end, end >= songEnd);

    const MidiEvent* section =
        kind == SectionLane ? found : lastLaneEventAtOrBefore(m_melody, start, SectionLane);
    uint32_t offset = start - (section ? section->time : 0);
    while (start < end) {
        const MidiEvent* nextSection = nextLaneEvent(nullptr, m_melody, start, SectionLane);
        const uint32_t partEnd = std::min(nextSection ? nextSection->time : songEnd, end);
        renderPart(section ? laneText(section) : QString(), offset, start, partEnd);
        if (!nextSection || partEnd >= end)
            break;
        section = nextSection;
        start = partEnd;
        offset = 0;
    }
    finishArranged();
    m_session.unlockEdit();
}

void Arrangement::clearArranged(uint32_t start, uint32_t end, bool toTheEnd)
{
    for (Track* track : m_song.arrangedTracks) {
        MidiClip* clip = arrangedClip(m_session, track);
        if (!clip)
            continue;
        if (toTheEnd)
            truncateTrack(clip->sequence(), start);
        else
            eraseEventsInRange(clip->sequence(), start, end);
    }
}

void Arrangement::renderPart(const QString& section, uint32_t offset, uint32_t start,
                             uint32_t end)
{
    const MidiSequence& markers = *m_song.styleTracks.front();
    StyleSectionSpan span = styleSectionSpan(markers, section.isEmpty() ? kMainSection : section);
    if (!span.found)
        span = styleSectionSpan(markers, kMainSection);
    if (!span.found)
        return; // a style without a usable "Main A" leaves the span silent

    const size_t parts = std::min(m_song.styleTracks.size(), m_song.arrangedTracks.size());
    for (size_t i = 0; i < parts; ++i) {
        const StylePartRules rules =
            i < m_song.styleRules.size() ? m_song.styleRules[i] : StylePartRules();
        if (MidiClip* clip = arrangedClip(m_session, m_song.arrangedTracks[i]))
            renderSection(offset, span.start, span.end, start, end, *m_song.styleTracks[i],
                          clip->sequence(), rules);
    }
}

void Arrangement::renderSection(uint32_t offset, uint32_t sectionStart, uint32_t sectionEnd,
                                uint32_t from, uint32_t to, const MidiSequence& styleTrack,
                                MidiSequence& arranged, const StylePartRules& rules) const
{
    const MidiEvent* chord = lastLaneEventAtOrBefore(m_melody, from, ChordLane);
    const MidiEvent* nextChord = nextLaneEvent(chord, m_melody, from, ChordLane);
    if (!chord && !nextChord)
        return;
    const MidiEvent* loopStart = firstEventAtOrAfter(styleTrack, sectionStart);
    if (!loopStart || loopStart->time >= sectionEnd || from >= to)
        return;

    const uint16_t songTpq = m_session.scale().ticksPerBeat();
    const uint16_t styleTpq = styleTrack.resolution();
    // A section too short to advance the song by a tick would never reach the end of the span.
    const uint64_t length = sectionEnd - sectionStart;
    if (MidiSequence::convert(uint32_t(length), songTpq, styleTpq) == 0)
        return;
    const uint64_t entry = MidiSequence::convert(offset, styleTpq, songTpq) % length;
    const QString source =
        sourceChord(styleTrack, sectionStart, uint32_t(sectionStart + entry), rules);
    const bool drumPart = styleTrack.channel() == kDrumChannel;

    QString name = chordInEffect(chord);
    bool plays = partPlays(name, drumPart);
    // Style ticks since the section was entered: the pattern position plus the loops done.
    uint64_t loopBase = 0;
    const MidiEvent* e = firstEventAtOrAfter(styleTrack, uint32_t(sectionStart + entry));
    for (;;) {
        if (!e || e->time >= sectionEnd) {
            loopBase += length;
            e = loopStart;
            continue;
        }
        const uint64_t played = e->time - sectionStart + loopBase - entry;
        const uint64_t songTick =
            from + uint64_t(roundHalfAway((long double)played * songTpq / styleTpq));
        if (songTick >= to)
            break;
        // Every chord that has begun by now takes effect, even when the pattern is sparser
        // than the chords.
        while (nextChord && nextChord->time <= songTick) {
            chord = nextChord;
            nextChord = nextLaneEvent(chord, m_melody, chord->time, ChordLane);
            name = chordInEffect(chord);
            plays = partPlays(name, drumPart);
        }
        if (e->isNote() && plays) {
            const int key = drumPart ? e->data1 : rules.limit(mapPitch(e->data1, name, source));
            arranged.insert(MidiEvent::note(uint32_t(songTick), uint8_t(key), e->data2,
                                            MidiSequence::convert(e->duration, songTpq, styleTpq)));
        }
        e = e->next();
    }
}

void Arrangement::finishArranged()
{
    for (Track* track : m_song.arrangedTracks) {
        MidiClip* clip = arrangedClip(m_session, track);
        if (!clip)
            continue;
        clip->sequence().finish();
        fitClipToEvents(m_session, *clip);
        clip->setModified(true);
    }
    m_session.updateEnd(0);
}

void arrangeSong(Session& session, MidiClip* melody)
{
    if (!melody)
        return;
    placeSections(session, *melody);
    Arrangement(session, melody->sequence())
        .arrangeRange(nullptr, 0, melody->sequence().length(), SectionLane);
}

void fitClipToEvents(Session& session, MidiClip& clip)
{
    TimeScale& scale = session.scale();
    const uint32_t startTick = scale.frameToTick(clip.start());
    const uint32_t endFrame = scale.tickToFrame(startTick + clip.sequence().length());
    clip.setLength(endFrame > clip.start() ? endFrame - clip.start() : 0);
}
