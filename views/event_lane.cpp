#include "event_lane.h"

#include "edit_gesture.h"
#include "note_editor.h"

#include "midi_clip.h"
#include "midi_edit_command.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace {
constexpr int kBarWidth = 5;
constexpr int kEndZone = 3; // the pixels above a bar's end still take it
} // namespace

EventLane::EventLane(NoteEditor* editor) : QWidget(editor), m_editor(editor)
{
    setObjectName(QStringLiteral("EventLane"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

bool EventLane::isPitchBend() const
{
    return m_editor->laneEventType() == MidiEvent::PitchBend;
}

bool EventLane::shows(const MidiEvent* event) const
{
    const int type = m_editor->laneEventType();
    if (event->status != type)
        return false;
    return type != MidiEvent::Controller || event->data1 == m_editor->laneController();
}

// ---------------------------------------------------------------------------------------------
// The value scale

int EventLane::minimumValue() const
{
    return isPitchBend() ? -8191 : 0;
}

int EventLane::maximumValue() const
{
    return isPitchBend() ? 8191 : 127;
}

int EventLane::bendHalf() const
{
    return std::max(4, height() / 2 / 4 * 4);
}

int EventLane::valueOffset(int dy) const
{
    // Rounded half away from zero, as every conversion to whole values.
    if (isPitchBend())
        return int(std::lround(double(dy) * 8192.0 / bendHalf()));
    return int(std::lround(double(dy) * 128.0 / std::max(1, height())));
}

int EventLane::valueAtY(int y) const
{
    if (isPitchBend())
        return std::clamp(valueOffset(centreY() - y), minimumValue(), maximumValue());
    return std::clamp(valueOffset(height() - y), 0, 127);
}

int EventLane::yOfValue(int value) const
{
    if (isPitchBend())
        return centreY() - int(int64_t(value) * bendHalf() / 8192);
    return height() - value * height() / 128;
}

QRect EventLane::barRect(uint32_t tick, uint32_t duration, int value) const
{
    (void)duration; // the bars are of one width; the note view shows the lengths
    const int x = m_editor->xOfTick(tick);
    const int end = yOfValue(value);
    if (isPitchBend())
        return QRect(QPoint(x, std::min(end, centreY())),
                     QPoint(x + kBarWidth - 1, std::max(end, centreY())));
    return QRect(QPoint(x, end), QPoint(x + kBarWidth - 1, height() - 1));
}

QRect EventLane::barRect(const MidiEvent* event) const
{
    return barRect(m_editor->sessionTick(event->time), 0, MidiEditCommand::valueOf(event));
}

QRect EventLane::hitRect(const MidiEvent* event) const
{
    const QRect bar = barRect(event);
    if (!isPitchBend())
        return bar.adjusted(0, -kEndZone, 0, 0);
    return MidiEditCommand::valueOf(event) < 0 ? bar.adjusted(0, 0, 0, kEndZone)
                                               : bar.adjusted(0, -kEndZone, 0, 0);
}

MidiEvent* EventLane::eventAt(const QPoint& pos) const
{
    return m_editor->topmostAt(
        pos, [this](const MidiEvent* e) { return shows(e); },
        [this](const MidiEvent* e) { return hitRect(e); });
}

// ---------------------------------------------------------------------------------------------
// Painting

void EventLane::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    if (m_editor->paintLane(p, rect()))
        return;
    paintBars(p);
    paintGesture(p);
}

void EventLane::paintBars(QPainter& p)
{
    MidiClip* clip = m_editor->clip();
    if (!clip)
        return;
    if (isPitchBend()) {
        p.setPen(palette().color(QPalette::Mid));
        p.drawLine(0, centreY(), width(), centreY());
    }
    p.setPen(palette().color(QPalette::Dark));
    const QBrush plain = palette().color(QPalette::Highlight);
    const QBrush selected = QColor(226, 84, 44);
    const auto& chosen = m_editor->selection();
    const std::unordered_set<const MidiEvent*> isChosen(chosen.begin(), chosen.end());
    for (const MidiEvent* e = clip->sequence().first(); e; e = e->next()) {
        if (!shows(e))
            continue;
        const QRect bar = barRect(e);
        if (bar.left() > width())
            break;
        if (bar.right() < 0)
            continue;
        p.setBrush(isChosen.count(e) ? selected : plain);
        p.drawRect(bar.adjusted(0, 0, -1, -1));
    }
}

void EventLane::paintGesture(QPainter& p)
{
    // The drag copies where the release puts them, outlined, and the rubber band.
    const EditGesture& gesture = *m_editor->gesture();
    p.setPen(QPen(palette().color(QPalette::Text), 1, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    gesture.forEachCopy([&](const MidiEvent& e, const EditGesture::Shape& shape) {
        if (shows(&e))
            p.drawRect(barRect(shape.tick, shape.ticks, shape.value).adjusted(0, 0, -1, -1));
    });
    const QRect band = gesture.rubberBand(EditGesture::Lane);
    if (!band.isEmpty())
        p.drawRect(band);
}

// ---------------------------------------------------------------------------------------------
// Mouse

void EventLane::mousePressEvent(QMouseEvent* event)
{
    m_gesturePress = false;
    if (m_editor->lanePressed(event))
        return;
    if (event->button() != Qt::LeftButton || !m_editor->clip()) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_gesturePress = true;
    m_editor->gesture()->press(EditGesture::Lane, event->position().toPoint(), event->modifiers());
}

void EventLane::mouseMoveEvent(QMouseEvent* event)
{
    if (m_editor->laneEventType() == NoteEditor::kSongLanes)
        return;
    m_editor->gesture()->move(EditGesture::Lane, event->position().toPoint(), event->modifiers());
}

void EventLane::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_gesturePress)
        return;
    m_gesturePress = false;
    m_editor->gesture()->release(EditGesture::Lane, event->position().toPoint(),
                                 event->modifiers());
}
