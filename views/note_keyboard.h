#pragma once

#include <QWidget>

class NoteEditor;

/**
 * NoteKeyboard: the piano keyboard beside the note view (the editor's keyboard list).
 *
 * One key per row of the note view, scrolled with it: white keys twelve-sevenths of a row
 * high, black keys 60 % of the width. A key pressed with the mouse sounds through the editor
 * and stays highlighted until released or another key sounds. The tool tip names the key, its
 * number and its frequency. GUI thread only.
 */
class NoteKeyboard : public QWidget
{
    Q_OBJECT

public:
    explicit NoteKeyboard(NoteEditor* editor);

    /** The tool tip for a displayed note. */
    static QString toolTipFor(int note);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void paintWhiteKeys(QPainter& p);
    void paintBlackKeys(QPainter& p);
    void soundRowAt(int y);

    NoteEditor* m_editor;
};
