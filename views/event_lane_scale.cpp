#include "event_lane_scale.h"

#include "note_editor.h"

#include <QPainter>

EventLaneScale::EventLaneScale(NoteEditor* editor) : QWidget(editor), m_editor(editor)
{
    setObjectName(QStringLiteral("EventLaneScale"));
}

void EventLaneScale::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    if (m_editor->paintLaneScale(p, rect()))
        return;
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(QRect(1, 2, width() - 6, height() - 4), Qt::AlignRight | Qt::AlignTop,
               tr("Velocity"));
}
