#include "song_lanes.h"

#include "piano_roll.h"
#include "time_grid.h"

#include "chord_text.h"
#include "lane_events.h"
#include "midi_clip.h"
#include "song_state.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <array>

namespace {
constexpr int kRow = SongLanes::kRowHeight;

QFont laneFont(const QFont& base, bool emphasised)
{
    QFont font = base;
    if (emphasised) {
        font.setPointSizeF(font.pointSizeF() + 1);
        font.setWeight(QFont::Bold);
    }
    return font;
}
} // namespace

SongLanes::SongLanes(PianoRoll* roll) : m_roll(roll) {}

void SongLanes::paintScale(QPainter& p, const QRect& rect) const
{
    p.setPen(m_roll->palette().color(QPalette::WindowText));
    const int w = rect.width() - 6;
    p.drawText(QRect(1, 2, w, kRow), Qt::AlignRight | Qt::AlignTop, PianoRoll::tr("Section"));
    p.drawText(QRect(1, 2 + kRow, w, kRow), Qt::AlignRight | Qt::AlignTop, PianoRoll::tr("Chord"));
    p.drawText(QRect(1, 2 + 2 * kRow, w, 2 * kRow), Qt::AlignRight | Qt::AlignTop,
               PianoRoll::tr("Suggested\nChords"));
    p.setPen(m_roll->palette().color(QPalette::Mid));
    p.drawLine(0, kRow, rect.width(), kRow);
    p.drawLine(0, 2 * kRow, rect.width(), 2 * kRow);
}

void SongLanes::paint(QPainter& p, const QRect& rect) const
{
    const QPalette& pal = m_roll->palette();
    const int x0 = m_roll->xOffset();
    // Bar and beat lines across the section and chord rows only.
    TimeGrid::forEachBeat(m_roll->scale(), uint32_t(std::max(0, x0)), uint32_t(x0 + rect.width()),
                          [&](const TimeGrid::Line& line) {
                              const int x = int(line.pixel) - x0;
                              p.setPen(line.beat == 0 ? pal.color(QPalette::Dark)
                                                      : pal.color(QPalette::Midlight));
                              p.drawLine(x, 0, x, 2 * kRow);
                          });
    p.setPen(pal.color(QPalette::Text));
    p.drawLine(0, kRow, rect.width(), kRow);
    p.drawLine(0, 2 * kRow, rect.width(), 2 * kRow);

    MidiClip* clip = m_roll->clip();
    if (!clip)
        return;
    const SongState* song = m_roll->song();
    const int transpose = m_roll->viewTranspose();
    p.setPen(pal.color(QPalette::ButtonText));
    // Each text runs from its event to the next event of its lane (or the right edge).
    struct Pending
    {
        const MidiEvent* event = nullptr;
        int x = 0;
    };
    std::array<Pending, 4> pending{};
    auto draw = [&](int kind, const Pending& item, int right) {
        if (!item.event || right < 0)
            return;
        QString text = laneText(item.event);
        QRect box;
        bool emphasised = false;
        if (kind == SectionLane) {
            box = QRect(item.x + 2, 1, right - item.x - 3, kRow - 1);
            emphasised = song->sectionsFixed;
        } else if (kind == ChordLane) {
            box = QRect(item.x + 2, kRow + 1, right - item.x - 3, kRow - 1);
            text = transposeChordText(text, transpose);
            emphasised = isFixedChord(item.event);
        } else {
            box = QRect(item.x + 2, 2 * kRow + 1, right - item.x - 3, 2 * kRow);
            text = transposeChordText(text, transpose);
        }
        p.setFont(laneFont(m_roll->font(), emphasised));
        p.drawText(box, Qt::AlignLeft | Qt::AlignTop, text);
    };
    for (const MidiEvent* e = clip->sequence().first(); e; e = e->next()) {
        const int kind = laneKind(e);
        if (kind < ChordLane || kind > SuggestedChordsLane)
            continue;
        const int x = m_roll->xOfTime(e->time);
        if (x > rect.width())
            break;
        draw(kind, pending[size_t(kind)], x);
        pending[size_t(kind)] = {e, x};
    }
    for (int kind = ChordLane; kind <= SuggestedChordsLane; ++kind)
        draw(kind, pending[size_t(kind)], rect.width());
}

const MidiEvent* SongLanes::eventAt(int kind, int x) const
{
    MidiClip* clip = m_roll->clip();
    if (!clip)
        return nullptr;
    // The event whose text lies under x: it starts at or before x, no later event of its lane
    // starts before x, and x is within its text.
    const MidiEvent* found = nullptr;
    int foundX = 0;
    for (const MidiEvent* e = clip->sequence().first(); e; e = e->next()) {
        if (laneKind(e) != kind)
            continue;
        const int ex = m_roll->xOfTime(e->time);
        if (ex > x)
            break;
        found = e;
        foundX = ex;
    }
    if (!found)
        return nullptr;
    QString text = laneText(found);
    if (kind == ChordLane)
        text = transposeChordText(text, m_roll->viewTranspose());
    const QFontMetrics metrics(laneFont(m_roll->font(), true));
    return x <= foundX + 2 + metrics.horizontalAdvance(text) + 4 ? found : nullptr;
}

uint32_t SongLanes::barTicks(uint32_t time) const
{
    MidiClip* clip = m_roll->clip();
    const uint32_t tpq = clip ? clip->sequence().resolution() : m_roll->scale().ticksPerBeat();
    const TempoNode* node = m_roll->scale().nodeAtTick(m_roll->sessionTick(time));
    const uint32_t beats = node && node->beatsPerBar ? node->beatsPerBar : 4;
    return std::max<uint32_t>(1, beats * tpq);
}

SongLanes::Target SongLanes::targetAt(const QPoint& pos) const
{
    Target target;
    MidiClip* clip = m_roll->clip();
    if (!clip || pos.y() < 0 || pos.y() >= 2 * kRow)
        return target; // the suggested chords are display only
    target.kind = pos.y() < kRow ? SectionLane : ChordLane;
    const uint32_t tpq = std::max<uint32_t>(1, clip->sequence().resolution());
    if (const MidiEvent* e = eventAt(target.kind, pos.x())) {
        target.tick = e->time;
    } else {
        const uint32_t tick = m_roll->sessionTick(m_roll->timeOfX(pos.x()));
        target.tick = m_roll->eventTime(m_roll->snapDown(tick));
    }
    if (target.kind == SectionLane) {
        // Sections start on bars.
        const uint32_t bar = barTicks(target.tick);
        target.tick = target.tick / bar * bar;
        target.unitEnd = target.tick + bar;
    } else {
        target.unitEnd = (target.tick / tpq + 1) * tpq;
    }
    return target;
}
