#pragma once

#include <QPixmap>
#include <QWidget>

class NoteEditor;
class MidiEvent;

/**
 * NoteView: the note grid of the editor (its edit view).
 *
 * Rows are notes 127 (top) down to 0; the background (rows, black-key shading, key lines, bar
 * and beat lines, the darker part after the clip's end) and the notes are drawn into a cached
 * pixmap the size of the view, so the play position and the selection repaint over it without
 * walking the melody again. Presses, drags and releases are the editor's gestures (EditGesture);
 * keys: the arrows move the selection (Return commits, Escape drops it) or scroll, Ctrl+C,
 * Ctrl+X and Ctrl+V copy, cut and paste at the pointer, Escape drops a drag in progress.
 * GUI thread only.
 */
class NoteView : public QWidget
{
    Q_OBJECT

public:
    explicit NoteView(NoteEditor* editor);

    /** The cached background is built again at the next paint. */
    void invalidate();
    /** Repaints the strips of the old and the new play position only. */
    void updatePlayHead(int oldX, int newX);
    /** The tool tip of a note. */
    QString toolTipFor(const MidiEvent* note) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    void buildBackground();
    void paintRows(QPainter& p);
    void paintKeyLines(QPainter& p);
    void paintBeatLines(QPainter& p);
    void paintNotes(QPainter& p, bool selectedOnly);
    void paintGesture(QPainter& p);
    bool editByKey(QKeyEvent* event);
    bool moveSelection(QKeyEvent* event);
    bool scrollByKey(QKeyEvent* event);

    NoteEditor* m_editor;
    QPixmap m_background;
    bool m_dirty = true;
};
