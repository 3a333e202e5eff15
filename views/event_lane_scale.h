#pragma once

#include <QWidget>

class NoteEditor;

/**
 * EventLaneScale: the label column left of the event lane, under the keyboard: what the lane
 * shows (velocity, a controller, pitch bend) and its value scale (top, middle and bottom value).
 * GUI thread only.
 */
class EventLaneScale : public QWidget
{
    Q_OBJECT

public:
    explicit EventLaneScale(NoteEditor* editor);
    /** What the lane shows: "Velocity", "Controller N" or "Pitch bend". */
    QString title() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    NoteEditor* m_editor;
};
