#include "lane_events.h"

#include "midi_sequence.h"

#include <QStringList>
#include <algorithm>
#include <vector>

namespace {

constexpr char kFixedPrefix = '[';
constexpr char kChordPrefix = '{';
constexpr char kSuggestedPrefix = '(';

// Lane texts are stored in the local 8-bit code page, as other programs read text events.
QByteArray toStored(const QString& text)
{
    return text.toLocal8Bit();
}

QString fromStored(const QByteArray& bytes)
{
    return QString::fromLocal8Bit(bytes);
}

QByteArray storedText(int kind, const QString& text, bool fixed)
{
    switch (kind) {
    case ChordLane:
        return (fixed ? QByteArray(1, kFixedPrefix) : QByteArray(1, kChordPrefix)) + toStored(text);
    case SuggestedChordsLane:
        return QByteArray(1, kSuggestedPrefix) + toStored(text);
    default:
        return toStored(text);
    }
}

int metaTypeOf(int kind)
{
    switch (kind) {
    case SectionLane:
        return MidiEvent::MetaMarker;
    case LyricLane:
        return MidiEvent::MetaLyric;
    default:
        return MidiEvent::MetaText;
    }
}

// Moves an event to a new time, keeping the list ordered; near is an event close to where it
// goes (see MidiSequence::insert).
MidiEvent* retime(MidiSequence& track, MidiEvent* event, uint32_t time, const MidiEvent* near)
{
    std::unique_ptr<MidiEvent> taken = track.take(event);
    taken->time = time;
    return track.insert(std::move(taken), near);
}

} // namespace

const QStringList& sectionNames()
{
    static const QStringList names = {
        QStringLiteral("Intro A"),    QStringLiteral("Main A"),     QStringLiteral("Ending A"),
        QStringLiteral("Fill In AA"), QStringLiteral("Fill In AB"), QStringLiteral("Main B"),
        QStringLiteral("Ending B"),   QStringLiteral("Fill In BB"), QStringLiteral("Fill In BA"),
    };
    return names;
}

int laneKind(const MidiEvent* event)
{
    if (!event || !event->isMeta())
        return NoLane;
    switch (event->metaType) {
    case MidiEvent::MetaText: {
        const QByteArray& data = event->data();
        if (data.isEmpty())
            return NoLane;
        if (data[0] == kFixedPrefix || data[0] == kChordPrefix)
            return ChordLane;
        return data[0] == kSuggestedPrefix ? SuggestedChordsLane : NoLane;
    }
    case MidiEvent::MetaMarker:
        return SectionLane;
    case MidiEvent::MetaLyric:
        return LyricLane;
    default:
        return NoLane;
    }
}

QString laneText(const MidiEvent* event)
{
    switch (laneKind(event)) {
    case ChordLane:
    case SuggestedChordsLane:
        return fromStored(event->data().mid(1));
    case SectionLane:
    case LyricLane:
        return fromStored(event->data());
    default:
        return QString();
    }
}

bool isFixedChord(const MidiEvent* event)
{
    return laneKind(event) == ChordLane && event->data().startsWith(kFixedPrefix);
}

MidiEvent* findLaneEvent(const MidiSequence& track, uint32_t tick, int kind, const MidiEvent* after)
{
    for (MidiEvent* e = after ? after->next() : track.first(); e && e->time <= tick; e = e->next())
        if (e->time == tick && laneKind(e) == kind)
            return e;
    return nullptr;
}

MidiEvent* lastLaneEventAtOrBefore(const MidiSequence& track, uint32_t tick, int kind)
{
    for (MidiEvent* e = track.last(); e; e = e->prev())
        if (e->time <= tick && laneKind(e) == kind)
            return e;
    return nullptr;
}

MidiEvent* nextLaneEvent(const MidiEvent* from, const MidiSequence& track, uint32_t tick, int kind)
{
    if (from) {
        const int fromKind = laneKind(from);
        for (MidiEvent* e = from->next(); e; e = e->next())
            if (laneKind(e) == fromKind)
                return e;
        return nullptr;
    }
    for (MidiEvent* e = track.first(); e; e = e->next())
        if (e->time > tick && laneKind(e) == kind)
            return e;
    return nullptr;
}

MidiEvent* setLaneEvent(MidiSequence& track, uint32_t tick, int kind, const QString& text,
                        bool fixed, const MidiEvent* after)
{
    MidiEvent* event = findLaneEvent(track, tick, kind, after);
    if (text.isEmpty()) {
        if (event)
            track.take(event); // the returned owner deletes it
        return nullptr;
    }
    if (!event)
        event = track.insert(MidiEvent::meta(tick, metaTypeOf(kind), QByteArray()), after);
    event->metaType = metaTypeOf(kind);
    event->setData(storedText(kind, text, fixed));
    return event;
}

void eraseEventsInRange(MidiSequence& track, uint32_t from, uint32_t to)
{
    MidiEvent* e = track.first();
    while (e && e->time < to) {
        MidiEvent* next = e->next();
        if (e->time >= from)
            track.take(e);
        e = next;
    }
}

void truncateTrack(MidiSequence& track, uint32_t from)
{
    while (track.last() && track.last()->time >= from)
        track.take(track.last());
    track.setLength(from);
}

void shiftEvents(MidiSequence& track, uint32_t from, uint32_t to)
{
    if (to == from)
        return;
    if (to < from)
        eraseEventsInRange(track, to, from);
    const int64_t delta = int64_t(to) - int64_t(from);
    // Collect first: moving an event re-links it, which would disturb a forward walk.
    std::vector<MidiEvent*> moving;
    for (MidiEvent* e = track.first(); e; e = e->next())
        if (e->time >= from)
            moving.push_back(e);
    // The shift is the same for every moved event, so moving them in list order keeps ties in
    // their order and never passes an event that has yet to move. Each one lands at or just
    // after the one moved before it: searching from there keeps the whole shift linear.
    const MidiEvent* near = moving.empty() ? nullptr : moving.front()->prev();
    for (MidiEvent* e : moving)
        near = retime(track, e, uint32_t(std::max<int64_t>(0, e->time + delta)), near);
    track.setLength(uint32_t(std::max<int64_t>(0, int64_t(track.length()) + delta)));
}

namespace {

// The section's span, its start at a tick of at least firstTick.
StyleSectionSpan sectionSpanFrom(const MidiSequence& styleTrack, const QByteArray& wanted,
                                 uint32_t firstTick)
{
    const MidiEvent* start = nullptr;
    for (const MidiEvent* e = styleTrack.first(); e; e = e->next()) {
        if (!e->isMeta() || e->metaType != MidiEvent::MetaMarker)
            continue;
        // Set-up markers may share the section's first tick: only a later one ends it.
        if (start && e->data() != wanted && e->time > start->time)
            return {start->time, e->time, true};
        // Of repeated markers the last one starts the section.
        if (e->time >= firstTick && e->data() == wanted)
            start = e;
    }
    if (!start)
        return {};
    return {start->time, std::max(styleTrack.length(), start->time), true};
}

} // namespace

StyleSectionSpan styleSectionSpan(const MidiSequence& styleTrack, const QString& name)
{
    const QByteArray wanted = toStored(name);
    // A marker at tick 0 usually only names the set-up bar; but style editors often open the
    // first section right there, and then it is the section.
    const StyleSectionSpan span = sectionSpanFrom(styleTrack, wanted, 1);
    return span.found ? span : sectionSpanFrom(styleTrack, wanted, 0);
}

uint32_t styleSectionLength(const MidiSequence& styleTrack, const QString& name)
{
    const StyleSectionSpan span = styleSectionSpan(styleTrack, name);
    return (span.end - span.start) / std::max<uint32_t>(1, styleTrack.resolution());
}
