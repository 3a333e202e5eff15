#pragma once

#include <QWidget>
#include <vector>

class QLabel;
class QToolButton;
class TracksView;
class Track;

/**
 * TrackHeader: the head of one track row: colour, kind, name, mute and solo buttons.
 * GUI thread only.
 */
class TrackHeader : public QWidget
{
    Q_OBJECT

public:
    TrackHeader(TracksView* view, Track* track, QWidget* parent);

    Track* track() const { return m_track; }
    /** The kind of track the header was made for. */
    int kind() const { return m_kindValue; }
    QToolButton* muteButton() const { return m_mute; }
    QToolButton* soloButton() const { return m_solo; }
    /** Shows the track's current name, flags and whether it is the current track. */
    void updateState();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool isLive() const;

    TracksView* m_view;
    Track* m_track;
    int m_kindValue;
    QLabel* m_kind;
    QLabel* m_name;
    QToolButton* m_mute;
    QToolButton* m_solo;
};

/**
 * TrackList: the column of track headers left of the clip area, scrolled with it.
 * GUI thread only.
 */
class TrackList : public QWidget
{
    Q_OBJECT

public:
    explicit TrackList(TracksView* view);

    /** Makes one header per session track, in track order. */
    void rebuild();
    /** Places the headers at their rows. */
    void layoutRows();
    void updateRows();
    const std::vector<TrackHeader*>& headers() const { return m_headers; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    TracksView* m_view;
    std::vector<TrackHeader*> m_headers;
};
