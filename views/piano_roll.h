#pragma once

#include "note_editor.h"

#include <memory>

class QSpinBox;
class QToolBar;
class QToolButton;
class SongLanes;
class SongState;

/**
 * PianoRoll: the melody editor, the note editor specialised for the melody clip.
 *
 * Below the notes it shows the song-structure lanes (sections, chords, suggested chords)
 * instead of a velocity lane; a click there opens the Section or Chord dialog and the
 * arrangement follows. It keeps four tool bar widgets: the key button (the key in effect as
 * shown under the view transposition, bold when fixed; it opens the key dialog), the transpose
 * button (transposes the view to C major / A minor), the transposition spin box (-6..6) and the
 * style button. Notes clicked or played on the keyboard sound through the melody track.
 * GUI thread only.
 */
class PianoRoll : public NoteEditor
{
    Q_OBJECT

public:
    explicit PianoRoll(Session* session, QWidget* parent = nullptr);
    ~PianoRoll() override;

    SongState* song() const;
    /** Counts the contents changes since the roll was made. */
    int changeCount() const { return m_changeCount; }

    /** Creates the four tool bar widgets and adds them to bar. */
    void addToolWidgets(QToolBar* bar);
    QToolButton* keyButton() const { return m_keyButton; }
    QToolButton* transposeButton() const { return m_transposeButton; }
    QSpinBox* transposeSpinBox() const { return m_transposeSpin; }
    QToolButton* styleButton() const { return m_styleButton; }

    /** Sets the melody clip's end to the end of its last note, then refreshes. */
    void adjustClipLength();

    int laneHeight() const override;
    bool paintLane(QPainter& p, const QRect& rect) override;
    bool paintLaneScale(QPainter& p, const QRect& rect) override;
    bool lanePressed(QMouseEvent* event) override;

public slots:
    void refresh() override;
    /** Toggles note editing (the window's "Note editing On/Off"). */
    void editModeOn();
    /** Sounds a note through the melody track's output; velocity <= 0 releases it. */
    void sendNote(int note, int velocity);
    /** The key button: the key dialog, then the chords are found again. */
    void keySetSlot();
    void transposeViewSetSlot(int shift);
    /** The transpose button: the view transposition that shows the key as C major / A minor. */
    void setTransposeSlot();
    void selectionChanged(NoteEditor* editor);
    void contentsChanged(NoteEditor* editor);

signals:
    /** The views are to be updated; true: the tracks view redraws first. */
    void updateNotifySignal(bool redrawTracks);

private:
    void updateKeyButton();
    void updateStyleButton();
    void growClipToNotes();

    std::unique_ptr<SongLanes> m_lanes;
    int m_changeCount = 0;
    QToolButton* m_keyButton = nullptr;
    QToolButton* m_transposeButton = nullptr;
    QSpinBox* m_transposeSpin = nullptr;
    QToolButton* m_styleButton = nullptr;
};
