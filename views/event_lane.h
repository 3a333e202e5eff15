#pragma once

#include <QWidget>

class NoteEditor;

/**
 * EventLane: the lane below the note view, scrolled with it horizontally.
 *
 * By default it shows one bar per note whose height is the note's velocity; an editor can take
 * the lane over for another event type (the piano roll's song lanes) through its lane hooks.
 * GUI thread only.
 */
class EventLane : public QWidget
{
    Q_OBJECT

public:
    explicit EventLane(NoteEditor* editor);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void paintVelocities(QPainter& p);

    NoteEditor* m_editor;
};
