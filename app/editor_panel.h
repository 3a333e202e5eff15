#pragma once

#include <QSplitter>
#include <cstdint>

class QTimer;
class QToolBar;
class MidiClip;
class PianoRoll;
class Session;
class Settings;
class TracksView;

/**
 * EditorPanel: the main window's central panel, the tracks view above the piano roll.
 *
 * It wires the roll to the window: the "Note editing On/Off" action, the roll's tool bar
 * widgets, the window's notification slots and open-style slot, the shared horizontal zoom and
 * scrolling with the tracks view, the stored splitter sizes and the "/NoteEditMode" and
 * "/NoteZoom" settings, and the play position the roll follows. GUI thread only.
 */
class EditorPanel : public QSplitter
{
    Q_OBJECT

public:
    /** window receives the roll's notifications; toolbar gets the roll's widgets. */
    EditorPanel(QWidget* window, Session* session, Settings* settings, TracksView* tracksView,
                QToolBar* toolbar);
    ~EditorPanel() override;

    PianoRoll* pianoRoll() const { return m_roll; }

    /** Points the roll at the melody clip (a new song, an opened one) and refreshes it. */
    void showMelody(MidiClip* melody);
    /** The window's Delete: the roll's selected notes; false when there were none. */
    bool deleteSelectedNotes();

private:
    void connectZoomAndScrolling();
    void followTracksView(int trackX);
    void scrollToStart();
    void followPlayPosition();

    Session* m_session;
    Settings* m_settings;
    TracksView* m_tracksView;
    PianoRoll* m_roll;
    QTimer* m_timer;
    MidiClip* m_shownClip = nullptr;
    bool m_shownHadNotes = false;
    bool m_setUp = false;
    int m_syncing = 0; // a scroll made to follow the other view is not passed back
};
