#include "time_ruler.h"

#include "session.h"
#include "time_grid.h"
#include "tracks_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

TimeRuler::TimeRuler(TracksView* view) : QWidget(view), m_view(view)
{
    setObjectName(QStringLiteral("TimeRuler"));
    setToolTip(tr("Click to move the play position"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
}

QSize TimeRuler::sizeHint() const
{
    return QSize(200, fontMetrics().height() + 14);
}

void TimeRuler::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Button));
    Session* session = m_view->session();
    if (session->isLoopSet()) {
        const int x1 = m_view->frameToX(session->loopIn());
        const int x2 = m_view->frameToX(session->loopOut());
        QColor loop = pal.color(QPalette::Highlight);
        loop.setAlpha(90);
        p.fillRect(QRect(x1, height() - 5, x2 - x1, 5), loop);
    }
    if (m_view->scale().timeFormat() == 1)
        paintSeconds(p);
    else
        paintBars(p);

    // The play head: a small downward triangle on the ruler's lower edge.
    const int x = m_view->frameToX(m_view->playHead());
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath head;
    head.moveTo(x - 5.5, height() - 9);
    head.lineTo(x + 5.5, height() - 9);
    head.lineTo(x, height() - 1);
    head.closeSubpath();
    p.fillPath(head, QColor(226, 64, 52));
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(pal.color(QPalette::Mid));
    p.drawLine(0, height() - 1, width(), height() - 1);
}

void TimeRuler::paintBars(QPainter& p)
{
    TimeScale& scale = m_view->scale();
    const int first = std::max(0, m_view->xOffset() - 40);
    const uint32_t last = uint32_t(m_view->xOffset() + width());
    const double beatWidth = TimeGrid::beatWidth(scale, m_view->xToFrame(0));
    // Label every bar when there is room, else every 2nd, 4th ... bar.
    int labelEvery = 1;
    const double barWidth = beatWidth * 4;
    while (barWidth * labelEvery < 28 && labelEvery < 4096)
        labelEvery *= 2;
    const QColor text = palette().color(QPalette::ButtonText);
    const QColor faint = palette().color(QPalette::Mid);
    const int h = height();
    TimeGrid::forEachBeat(scale, uint32_t(first), last, [&](const TimeGrid::Line& line) {
        const int x = int(line.pixel) - m_view->xOffset();
        if (line.beat == 0) {
            p.setPen(text);
            p.drawLine(x, h / 2, x, h - 1);
            if (line.bar % labelEvery == 0)
                p.drawText(x + 3, 2, 60, h / 2 + 4, Qt::AlignLeft | Qt::AlignVCenter,
                           QString::number(line.bar + 1));
        } else if (beatWidth >= 6) {
            p.setPen(faint);
            p.drawLine(x, h - 6, x, h - 1);
        }
    });
}

void TimeRuler::paintSeconds(QPainter& p)
{
    TimeScale& scale = m_view->scale();
    const double pixelsPerSecond = double(scale.pixelsPerMinute()) / 60.0;
    static const int steps[] = {1, 2, 5, 10, 15, 30, 60, 120, 300, 600};
    int step = steps[std::size(steps) - 1];
    for (int s : steps)
        if (s * pixelsPerSecond >= 56) {
            step = s;
            break;
        }
    const double leftSeconds = double(m_view->xToFrame(0)) / scale.sampleRate();
    const int firstSecond = int(std::floor(leftSeconds / step)) * step;
    const QColor text = palette().color(QPalette::ButtonText);
    const QColor faint = palette().color(QPalette::Mid);
    const int h = height();
    for (int second = firstSecond;; second += step) {
        const uint32_t frame = uint32_t(second) * scale.sampleRate();
        const int x = m_view->frameToX(frame);
        if (x > width())
            break;
        p.setPen(text);
        p.drawLine(x, h / 2, x, h - 1);
        p.drawText(
            x + 3, 2, 80, h / 2 + 4, Qt::AlignLeft | Qt::AlignVCenter,
            QStringLiteral("%1:%2").arg(second / 60).arg(second % 60, 2, 10, QLatin1Char('0')));
        p.setPen(faint);
        const int half = m_view->frameToX(frame + uint32_t(step) * scale.sampleRate() / 2);
        p.drawLine(half, h - 6, half, h - 1);
    }
}

void TimeRuler::locateAt(int x)
{
    emit m_view->locateRequested(m_view->scale().snapFrame(m_view->xToFrame(std::max(0, x))));
}

void TimeRuler::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        locateAt(int(event->position().x()));
}

void TimeRuler::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton)
        locateAt(int(event->position().x()));
}
