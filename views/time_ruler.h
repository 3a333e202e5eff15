#pragma once

#include <QWidget>

class TracksView;

/**
 * TimeRuler: the time ruler above the clip area.
 *
 * Shows bars and beats from the time scale (bar numbers 1-based), or clock time when the scale's
 * format is clock time, the loop range and the play head; a click or drag locates the play
 * head. GUI thread only.
 */
class TimeRuler : public QWidget
{
    Q_OBJECT

public:
    explicit TimeRuler(TracksView* view);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void paintBars(QPainter& p);
    void paintSeconds(QPainter& p);
    void locateAt(int x);

    TracksView* m_view;
};
