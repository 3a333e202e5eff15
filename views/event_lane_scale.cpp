#include "event_lane_scale.h"

#include "event_lane.h"
#include "note_editor.h"

#include "midi_event.h"

#include <QPainter>
#include <algorithm>

EventLaneScale::EventLaneScale(NoteEditor* editor) : QWidget(editor), m_editor(editor)
{
    setObjectName(QStringLiteral("EventLaneScale"));
}

QString EventLaneScale::title() const
{
    switch (m_editor->laneEventType()) {
    case MidiEvent::Controller:
        return tr("Controller %1").arg(m_editor->laneController());
    case MidiEvent::PitchBend:
        return tr("Pitch bend");
    default:
        return tr("Velocity");
    }
}

void EventLaneScale::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    if (m_editor->paintLaneScale(p, rect()))
        return;
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(QRect(1, 2, width() - 6, height() - 4), Qt::AlignLeft | Qt::AlignTop, title());
    // The value scale: the lane's top, middle and bottom values beside a tick at their height.
    const EventLane* lane = m_editor->eventLane();
    const int low = lane->minimumValue();
    const int high = lane->maximumValue();
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    p.setFont(small);
    const int textHeight = QFontMetrics(small).height();
    for (const int value : {high, (low + high + 1) / 2, low}) {
        const int y = std::clamp(lane->yOfValue(value), 0, height() - 1);
        p.drawLine(width() - 4, y, width() - 1, y);
        const int top = std::clamp(y - textHeight / 2, 0, height() - textHeight);
        p.drawText(QRect(0, top, width() - 6, textHeight), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(value));
    }
}
