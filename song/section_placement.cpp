#include "section_placement.h"

#include "arrangement.h"
#include "key_names.h"
#include "lane_events.h"
#include "phrase_sections.h"
#include "pitch_spelling.h"
#include "song_making.h"
#include "song_state.h"

#include "clip.h"
#include "clip_command.h"
#include "midi_clip.h"
#include "session.h"
#include "time_scale.h"
#include "track.h"

#include <algorithm>
#include <memory>

namespace {

struct Bars
{
    uint32_t beats; // beats per bar of the session's meter
    uint32_t unit;  // the meter's beat unit (power-of-two exponent)
    uint32_t ticks; // song ticks per bar: beats of the meter's own unit
};

Bars sessionBars(Session& session)
{
    const TempoNode* first = session.scale().firstNode();
    return {first ? first->beatsPerBar : 4u, first ? first->beatUnit : 2u, songBarTicks(session)};
}

// Bars of the song's meter that a style section lasts, counted in the style's own ticks; 0 when
// the style lacks it. The intro rounds down (the song moves by whole bars), an ending rounds up
// so that all of it plays.
uint32_t sectionBars(const SongState& song, const QString& name, const Bars& bar, bool roundUp)
{
    if (song.styleTracks.empty())
        return 0;
    const MidiSequence& markers = *song.styleTracks.front();
    const StyleSectionSpan span = styleSectionSpan(markers, name);
    const uint64_t styleBar = meterBarTicks(bar.beats, bar.unit, markers.resolution());
    const uint64_t ticks = span.found ? span.end - span.start : 0;
    return uint32_t(roundUp ? (ticks + styleBar - 1) / styleBar : ticks / styleBar);
}

const MidiEvent* firstNote(const MidiSequence& melody)
{
    for (const MidiEvent* e = melody.first(); e; e = e->next())
        if (e->isNote())
            return e;
    return nullptr;
}

uint32_t melodyEnd(const MidiSequence& melody)
{
    uint32_t end = 0;
    for (const MidiEvent* e = melody.first(); e; e = e->next())
        if (e->isNote())
            end = std::max(end, e->endTime());
    return end;
}

void removeSections(MidiSequence& melody)
{
    for (MidiEvent* e = melody.first(); e;) {
        MidiEvent* next = e->next();
        if (laneKind(e) == SectionLane)
            melody.take(e); // the returned owner deletes it
        e = next;
    }
}

// A MIDI clip moves its events; positions are taken relative to the clip's start.
void shiftMidiClip(TimeScale& scale, MidiClip& clip, uint32_t from, uint32_t to)
{
    const uint32_t clipStart = scale.frameToTick(clip.start());
    const uint32_t relFrom = from > clipStart ? from - clipStart : 0;
    const uint32_t relTo = to > clipStart ? to - clipStart : 0;
    if (relFrom != relTo) {
        shiftEvents(clip.sequence(), relFrom, relTo);
        clip.setModified(true);
    }
}

// An audio clip moves by the same time; one that would start before 0 loses its beginning
// instead. A clip lying wholly before 0 afterwards is left where it is.
void shiftAudioClip(ClipCommand& command, Clip& clip, int64_t frames)
{
    const int64_t start = int64_t(clip.start()) + frames;
    if (start >= 0) {
        command.resize(&clip, uint32_t(start), clip.offset(), clip.length());
        return;
    }
    const uint64_t trim = uint64_t(-start);
    if (trim >= clip.length())
        return;
    command.resize(&clip, 0, uint32_t(clip.offset() + trim), uint32_t(clip.length() - trim));
}

void shiftSong(Session& session, MidiClip& melody, uint32_t from, uint32_t to)
{
    TimeScale& scale = session.scale();
    const int64_t frames = int64_t(scale.tickToFrame(to)) - int64_t(scale.tickToFrame(from));
    auto audio = std::make_unique<ClipCommand>(&session, QStringLiteral("clip resize"));
    bool melodyMoved = false;
    session.lockEdit();
    for (Track* track : session.tracks()) {
        for (Clip* clip = track->firstClip(); clip; clip = clip->next()) {
            if (auto* midi = dynamic_cast<MidiClip*>(clip)) {
                shiftMidiClip(scale, *midi, from, to);
                melodyMoved = melodyMoved || midi == &melody;
            } else if (track->isAudio()) {
                shiftAudioClip(*audio, *clip, frames);
            }
        }
    }
    if (!melodyMoved) // a melody not (yet) on a track moves all the same
        shiftMidiClip(scale, melody, from, to);
    session.unlockEdit();
    ClipCommand::push(&session, std::move(audio));
}

// The intro's chord names the tonic of the song's key, spelled as the key spells it (Ab7 in A
// flat major, C#m in C sharp minor).
QString tonicChord(const SongState& song)
{
    const ParsedKey key = parseKey(song.key);
    const int majorTonic = keyInterval(0, key.signature); // semitones from C
    const int tonic = key.minor ? majorTonic + 9 : majorTonic;
    return QString(noteNameInKey(tonic, key.signature)) +
           (key.minor ? QStringLiteral("m") : QStringLiteral("7"));
}

bool styleHasSection(const SongState& song, const QString& name)
{
    return !song.styleTracks.empty() && styleSectionSpan(*song.styleTracks.front(), name).found;
}

// The sections of the melody's phrases between intro and ending, as far as the style has them:
// a missing main part plays as "Main A", a missing fill is left out, and a mark that would only
// repeat the section before it is not written.
void placePhraseSections(const SongState& song, MidiSequence& melody, uint32_t barTicks,
                         uint32_t firstBar, uint32_t endBar)
{
    QString previous;
    for (const PhraseSections::Mark& mark :
         PhraseSections::place(melody, barTicks, firstBar, endBar)) {
        QString name = mark.name;
        if (!styleHasSection(song, name)) {
            if (!name.startsWith(QLatin1String("Main")))
                continue;
            name = QStringLiteral("Main A");
        }
        if (name != previous)
            setLaneEvent(melody, mark.bar * barTicks, SectionLane, name);
        previous = name;
    }
}

} // namespace

void placeSections(Session& session, MidiClip& clip)
{
    SongState& song = *SongState::of(&session);
    MidiSequence& melody = clip.sequence();
    const MidiEvent* first = firstNote(melody);
    if (song.sectionsFixed || !first)
        return;
    removeSections(melody);

    const Bars bar = sessionBars(session);
    const uint32_t introBars = sectionBars(song, QStringLiteral("Intro A"), bar, false);
    const uint32_t firstBarStart = first->time / bar.ticks * bar.ticks;
    const uint32_t mainStart = introBars * bar.ticks;
    if (firstBarStart != mainStart)
        shiftSong(session, clip, firstBarStart, mainStart);

    if (introBars > 0) {
        setLaneEvent(melody, 0, SectionLane, QStringLiteral("Intro A"));
        setLaneEvent(melody, 0, ChordLane, tonicChord(song), false);
    }
    setLaneEvent(melody, mainStart, SectionLane, QStringLiteral("Main A"));

    const uint32_t end = melodyEnd(melody);
    if (end == 0)
        return;
    const uint32_t endingBar = end / bar.ticks + 1;
    if (song.sectionPlacement == SongState::SectionPlacement::Auto)
        placePhraseSections(song, melody, bar.ticks, introBars, endingBar);
    const uint32_t endingBars = sectionBars(song, QStringLiteral("Ending A"), bar, true);
    // A style without an ending gets no "Ending A": a marker at the song's very end would
    // name a section that plays nothing and that a saved song cannot hold.
    if (endingBars > 0)
        setLaneEvent(melody, endingBar * bar.ticks, SectionLane, QStringLiteral("Ending A"));
    const uint64_t lastBar = uint64_t(endingBar) + endingBars;
    melody.setLength(uint32_t(std::min<uint64_t>(lastBar * bar.ticks, UINT32_MAX)));
    // Placing the sections alone leaves the melody unmodified: opening a song places them
    // again the same way. Moving the notes for an intro has marked it above.
    fitClipToEvents(session, clip);
}
