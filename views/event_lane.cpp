#include "event_lane.h"

#include "note_editor.h"

#include "midi_clip.h"

#include <QMouseEvent>
#include <QPainter>

EventLane::EventLane(NoteEditor* editor) : QWidget(editor), m_editor(editor)
{
    setObjectName(QStringLiteral("EventLane"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void EventLane::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    if (!m_editor->paintLane(p, rect()))
        paintVelocities(p);
}

void EventLane::paintVelocities(QPainter& p)
{
    MidiClip* clip = m_editor->clip();
    if (!clip)
        return;
    p.setPen(palette().color(QPalette::Dark));
    p.setBrush(palette().color(QPalette::Highlight));
    for (const MidiEvent* e = clip->sequence().first(); e; e = e->next()) {
        if (!e->isNote())
            continue;
        const int x = m_editor->xOfTime(e->time);
        if (x > width())
            break;
        // The lane's height spans the velocities 0..128.
        const int h = e->data2 * height() / 128;
        p.drawRect(QRect(x, height() - h, 5, h));
    }
}

void EventLane::mousePressEvent(QMouseEvent* event)
{
    if (!m_editor->lanePressed(event))
        QWidget::mousePressEvent(event);
}
