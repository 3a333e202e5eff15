#pragma once

#include <QWidget>
#include <vector>

class QLabel;
class QToolButton;
class VxTracksView;
class vx18;

/**
 * VxTrackHeader: the head of one track row: colour, kind, name, mute and solo buttons.
 * GUI thread only.
 */
class VxTrackHeader : public QWidget
{
    Q_OBJECT

public:
    VxTrackHeader(VxTracksView* view, vx18* track, QWidget* parent);

    vx18* track() const { return m_track; }
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

    VxTracksView* m_view;
    vx18* m_track;
    int m_kindValue;
    QLabel* m_kind;
    QLabel* m_name;
    QToolButton* m_mute;
    QToolButton* m_solo;
};

/**
 * VxTrackList: the column of track headers left of the clip area, scrolled with it.
 * GUI thread only.
 */
class VxTrackList : public QWidget
{
    Q_OBJECT

public:
    explicit VxTrackList(VxTracksView* view);

    /** Makes one header per session track, in track order. */
    void rebuild();
    /** Places the headers at their rows. */
    void layoutRows();
    void updateRows();
    const std::vector<VxTrackHeader*>& headers() const { return m_headers; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    VxTracksView* m_view;
    std::vector<VxTrackHeader*> m_headers;
};
