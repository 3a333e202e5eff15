#pragma once

#include <QWidget>

class NoteEditor;

/**
 * EventLaneScale: the label column left of the event lane, under the keyboard.
 * GUI thread only.
 */
class EventLaneScale : public QWidget
{
    Q_OBJECT

public:
    explicit EventLaneScale(NoteEditor* editor);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    NoteEditor* m_editor;
};
