#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>

class QScrollBar;
class QToolButton;
class ClipArea;
class TimeRuler;
class TrackList;
class SongLane;
class MidiClip;
class QLabel;
class Track;
class Session;
class TimeScale;

/**
 * TracksView: the tracks window, the main window's central view of the session.
 *
 * A time ruler (bars and beats, or clock time, as the scale's time format says), one row per
 * track with its name, colour, mute and solo buttons, the clips in the track colours, the play
 * head, click-to-locate, horizontal zoom and a rubber-band range selection over an audio clip.
 * Positions go through the session's time scale; pixel x of a frame is the scale's pixel minus
 * the horizontal scroll offset. GUI thread only.
 */
class TracksView : public QWidget
{
    Q_OBJECT

public:
    /** Changes a track flag for the view; the owner decides how (a command, usually). */
    using FlagHandler = std::function<void(Track* track, bool on)>;

    explicit TracksView(Session* session, QWidget* parent = nullptr);
    ~TracksView() override;

    Session* session() const { return m_session; }
    TimeScale& scale() const;

    void setMuteHandler(FlagHandler handler) { m_muteHandler = std::move(handler); }
    void setSoloHandler(FlagHandler handler) { m_soloHandler = std::move(handler); }

    /** The play head as the view draws it. */
    uint32_t playHead() const { return m_playHead; }
    /** Moves the play head; with follow, scrolls a page on when it leaves the view. */
    void setPlayHead(uint32_t frame, bool follow = false);

    // Geometry shared by the ruler, the track list and the clip area.
    int xOffset() const { return m_xOffset; }
    int yOffset() const { return m_yOffset; }
    int frameToX(uint32_t frame) const;
    uint32_t xToFrame(int x) const;
    /** Top of the i-th track's row in clip-area coordinates. */
    int trackTop(int index) const;
    /** The track whose row holds y (clip-area coordinates), or none. */
    Track* trackAt(int y) const;
    int contentHeight() const;

    /** Scrolls so that frame sits at the left edge. */
    void scrollToFrame(uint32_t frame);

    SongLane* songLane() const { return m_songLane; }
    /** Shows the melody's sections and chords and the key on the song lane. */
    void setSong(const MidiClip* melody, const QString& key, int transpose);
    QToolButton* zoomInButton() const { return m_zoomIn; }
    QToolButton* zoomOutButton() const { return m_zoomOut; }

    void setFlag(Track* track, bool mute, bool on);
    /** The clip area's size changed: the scroll ranges follow it. */
    void clipAreaResized();

public slots:
    /** Rebuilds the rows from the session's tracks and redraws everything. */
    void refresh();
    /** Redraws without rebuilding (after clips or ranges changed). */
    void redraw();
    void zoomIn();
    void zoomOut();
    /** Sets the scale's time zoom (percent), keeping the frame at the view's left edge. */
    void setTimeZoom(int percent);
    /** Selects a track (the session's current track). */
    void selectTrack(Track* track);

signals:
    /** The current track changed. */
    void selectionChanged();
    /** The user clicked a position to play from. */
    void locateRequested(unsigned long frame);
    /** A track's mute or solo changed, or an audio range was selected. */
    void contentsChanged();
    void timeZoomChanged(int percent);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateScrollBars();
    void scrollBy(int dx, int dy);

    Session* m_session;
    TimeRuler* m_ruler;
    TrackList* m_trackList;
    ClipArea* m_clipArea;
    SongLane* m_songLane;
    QLabel* m_keyLabel;
    QScrollBar* m_hScroll;
    QScrollBar* m_vScroll;
    QToolButton* m_zoomIn;
    QToolButton* m_zoomOut;
    FlagHandler m_muteHandler;
    FlagHandler m_soloHandler;
    uint32_t m_playHead = 0;
    int m_xOffset = 0;
    int m_yOffset = 0;
};
