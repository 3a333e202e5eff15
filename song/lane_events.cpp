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
        return vx22Event::MetaMarker;
    case LyricLane:
        return vx22Event::MetaLyric;
    default:
        return vx22Event::MetaText;
    }
}

// Moves an event to a new time, keeping the list ordered.
void retime(vx22Sequence& track, vx22Event* event, uint32_t time)
{
    std::unique_ptr<vx22Event> taken = track.take(event);
    taken->time = time;
    track.insert(std::move(taken));
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

int laneKind(const vx22Event* event)
{
    if (!event || !event->isMeta())
        return NoLane;
    switch (event->metaType) {
    case vx22Event::MetaText: {
        const QByteArray& data = event->data();
        if (data.isEmpty())
            return NoLane;
        if (data[0] == kFixedPrefix || data[0] == kChordPrefix)
            return ChordLane;
        return data[0] == kSuggestedPrefix ? SuggestedChordsLane : NoLane;
    }
    case vx22Event::MetaMarker:
        return SectionLane;
    case vx22Event::MetaLyric:
        return LyricLane;
    default:
        return NoLane;
    }
}

QString laneText(const vx22Event* event)
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

bool isFixedChord(const vx22Event* event)
{
    return laneKind(event) == ChordLane && event->data().startsWith(kFixedPrefix);
}

vx22Event* findLaneEvent(const vx22Sequence& track, uint32_t tick, int kind)
{
    for (vx22Event* e = track.first(); e && e->time <= tick; e = e->next())
        if (e->time == tick && laneKind(e) == kind)
            return e;
    return nullptr;
}

vx22Event* lastLaneEventAtOrBefore(const vx22Sequence& track, uint32_t tick, int kind)
{
    for (vx22Event* e = track.last(); e; e = e->prev())
        if (e->time <= tick && laneKind(e) == kind)
            return e;
    return nullptr;
}

vx22Event* nextLaneEvent(const vx22Event* from, const vx22Sequence& track, uint32_t tick,
                         int kind)
{
    if (from) {
        const int fromKind = laneKind(from);
        for (vx22Event* e = from->next(); e; e = e->next())
            if (laneKind(e) == fromKind)
                return e;
        return nullptr;
    }
    for (vx22Event* e = track.first(); e; e = e->next())
        if (e->time > tick && laneKind(e) == kind)
            return e;
    return nullptr;
}

vx22Event* setLaneEvent(vx22Sequence& track, uint32_t tick, int kind, const QString& text,
                        bool fixed)
{
    vx22Event* event = findLaneEvent(track, tick, kind);
    if (text.isEmpty()) {
        if (event)
            track.take(event); // the returned owner deletes it
        return nullptr;
    }
    if (!event)
        event = track.insert(vx22Event::meta(tick, metaTypeOf(kind), QByteArray()));
    event->metaType = metaTypeOf(kind);
    event->setData(storedText(kind, text, fixed));
    return event;
}

void eraseEventsInRange(vx22Sequence& track, uint32_t from, uint32_t to)
{
    vx22Event* e = track.first();
    while (e && e->time < to) {
        vx22Event* next = e->next();
        if (e->time >= from)
            track.take(e);
        e = next;
    }
}

void truncateTrack(vx22Sequence& track, uint32_t from)
{
    while (track.last() && track.last()->time >= from)
        track.take(track.last());
    track.setLength(from);
}

void shiftEvents(vx22Sequence& track, uint32_t from, uint32_t to)
{
    if (to == from)
        return;
    if (to < from)
        eraseEventsInRange(track, to, from);
    const int64_t delta = int64_t(to) - int64_t(from);
    // Collect first: moving an event re-links it, which would disturb a forward walk.
    std::vector<vx22Event*> moving;
    for (vx22Event* e = track.first(); e; e = e->next())
        if (e->time >= from)
            moving.push_back(e);
    // The shift is the same for every moved event, so moving them in list order keeps ties in
    // their order and never passes an event that has yet to move.
    for (vx22Event* e : moving)
        retime(track, e, uint32_t(std::max<int64_t>(0, e->time + delta)));
    track.setLength(uint32_t(std::max<int64_t>(0, int64_t(track.length()) + delta)));
}

StyleSectionSpan styleSectionSpan(const vx22Sequence& styleTrack, const QString& name)
{
    const QByteArray wanted = toStored(name);
    const vx22Event* start = nullptr;
    for (const vx22Event* e = styleTrack.first(); e; e = e->next()) {
        if (!e->isMeta() || e->metaType != vx22Event::MetaMarker)
            continue;
        if (start && e->data() != wanted)
            return {start->time, e->time, true};
        // A marker at tick 0 does not start a section; of repeated markers the last one does.
        if (e->time > 0 && e->data() == wanted)
            start = e;
    }
    if (!start)
        return {};
    return {start->time, std::max(styleTrack.length(), start->time), true};
}

uint32_t styleSectionLength(const vx22Sequence& styleTrack, const QString& name)
{
    const StyleSectionSpan span = styleSectionSpan(styleTrack, name);
    return (span.end - span.start) / std::max<uint32_t>(1, styleTrack.resolution());
}
