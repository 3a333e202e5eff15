#include "tracks_view.h"

#include "clip_area.h"
#include "session.h"
#include "song_lane.h"
#include "time_ruler.h"
#include "track.h"
#include "track_list.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QScrollBar>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>

namespace {
constexpr int kMinZoom = 5;
constexpr int kMaxZoom = 2000;
constexpr int kTrackListWidth = 180;
constexpr uint32_t kMinimumSeconds = 60;
} // namespace

TracksView::TracksView(Session* session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("TracksView"));
    m_ruler = new TimeRuler(this);
    m_trackList = new TrackList(this);
    m_clipArea = new ClipArea(this);
    m_songLane = new SongLane(this);
    m_keyLabel = new QLabel(this);
    m_keyLabel->setObjectName(QStringLiteral("SongKeyLabel"));
    m_keyLabel->setFixedWidth(kTrackListWidth);
    m_keyLabel->setIndent(6);
    m_keyLabel->setToolTip(tr("The key of the song"));
    m_hScroll = new QScrollBar(Qt::Horizontal, this);
    m_vScroll = new QScrollBar(Qt::Vertical, this);
    m_trackList->setFixedWidth(kTrackListWidth);

    auto* corner = new QWidget(this);
    corner->setObjectName(QStringLiteral("TracksCorner"));
    corner->setFixedWidth(kTrackListWidth);
    auto* cornerLayout = new QHBoxLayout(corner);
    cornerLayout->setContentsMargins(4, 0, 4, 0);
    cornerLayout->setSpacing(2);
    auto makeZoomButton = [&](const char* name, const QString& icon, const QString& tip) {
        auto* button = new QToolButton(corner);
        button->setObjectName(QLatin1String(name));
        button->setIcon(QIcon(icon));
        button->setToolTip(tip);
        button->setAutoRaise(true);
        button->setIconSize(QSize(16, 16));
        cornerLayout->addWidget(button);
        return button;
    };
    cornerLayout->addStretch();
    m_zoomOut = makeZoomButton("TracksZoomOut", QStringLiteral(":/images/zoom-out.png"),
                               tr("Zoom out (Ctrl+wheel)"));
    m_zoomIn = makeZoomButton("TracksZoomIn", QStringLiteral(":/images/zoom-in.png"),
                              tr("Zoom in (Ctrl+wheel)"));
    connect(m_zoomIn, &QToolButton::clicked, this, &TracksView::zoomIn);
    connect(m_zoomOut, &QToolButton::clicked, this, &TracksView::zoomOut);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    grid->addWidget(corner, 0, 0);
    grid->addWidget(m_ruler, 0, 1);
    grid->addWidget(m_keyLabel, 1, 0);
    grid->addWidget(m_songLane, 1, 1);
    grid->addWidget(m_trackList, 2, 0);
    grid->addWidget(m_clipArea, 2, 1);
    grid->addWidget(m_vScroll, 2, 2);
    grid->addWidget(m_hScroll, 3, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(2, 1);

    connect(m_hScroll, &QScrollBar::valueChanged, this, [this](int value) {
        m_xOffset = value;
        redraw();
    });
    connect(m_vScroll, &QScrollBar::valueChanged, this, [this](int value) {
        m_yOffset = value;
        m_trackList->layoutRows();
        redraw();
    });
    refresh();
}

TracksView::~TracksView() = default;

TimeScale& TracksView::scale() const
{
    return m_session->scale();
}

int TracksView::frameToX(uint32_t frame) const
{
    return int(int64_t(scale().frameToPixel(frame)) - m_xOffset);
}

uint32_t TracksView::xToFrame(int x) const
{
    const int64_t pixel = int64_t(x) + m_xOffset;
    return scale().pixelToFrame(uint32_t(std::max<int64_t>(0, pixel)));
}

int TracksView::trackTop(int index) const
{
    int y = -m_yOffset;
    const auto& tracks = m_session->tracks();
    for (int i = 0; i < index && i < int(tracks.size()); ++i)
        y += tracks[size_t(i)]->zoomedHeight();
    return y;
}

Track* TracksView::trackAt(int y) const
{
    int top = -m_yOffset;
    for (Track* track : m_session->tracks()) {
        if (y >= top && y < top + track->zoomedHeight())
            return track;
        top += track->zoomedHeight();
    }
    return nullptr;
}

int TracksView::contentHeight() const
{
    int height = 0;
    for (const Track* track : m_session->tracks())
        height += track->zoomedHeight();
    return height;
}

void TracksView::refresh()
{
    m_trackList->rebuild();
    updateScrollBars();
    redraw();
}

void TracksView::setSong(const MidiClip* melody, const QString& key, int transpose)
{
    m_songLane->setSong(melody, key, transpose);
    m_keyLabel->setText(key.isEmpty() ? QString() : tr("Key: %1").arg(key));
}

void TracksView::redraw()
{
    m_songLane->update();
    m_trackList->updateRows();
    m_ruler->update();
    m_clipArea->update();
}

void TracksView::updateScrollBars()
{
    // The scrollable width is the song plus half a view after it, and at least a minute, so
    // there is room to place and record after the end.
    const int viewWidth = std::max(1, m_clipArea->width());
    const uint32_t end = std::max(m_session->endFrame(), m_playHead);
    const int contentWidth =
        std::max(int(scale().frameToPixel(end)) + viewWidth / 2,
                 int(scale().frameToPixel(scale().sampleRate() * kMinimumSeconds)));
    m_hScroll->setRange(0, std::max(0, contentWidth - viewWidth));
    m_hScroll->setPageStep(viewWidth);
    m_hScroll->setSingleStep(16);
    const int viewHeight = std::max(1, m_clipArea->height());
    m_vScroll->setRange(0, std::max(0, contentHeight() - viewHeight));
    m_vScroll->setPageStep(viewHeight);
    m_vScroll->setSingleStep(8);
    m_xOffset = m_hScroll->value();
    m_yOffset = m_vScroll->value();
}

void TracksView::setPlayHead(uint32_t frame, bool follow)
{
    if (frame == m_playHead)
        return;
    const int oldX = frameToX(m_playHead);
    m_playHead = frame;
    const int x = frameToX(frame);
    if (follow && (x < 0 || x > m_clipArea->width() - 8)) {
        updateScrollBars();
        m_hScroll->setValue(std::max(0, int(scale().frameToPixel(frame)) - 8));
        return;
    }
    m_ruler->update();
    m_clipArea->updatePlayHead(oldX, x);
}

void TracksView::scrollToFrame(uint32_t frame)
{
    updateScrollBars();
    m_hScroll->setValue(int(scale().frameToPixel(frame)));
}

void TracksView::scrollBy(int dx, int dy)
{
    m_hScroll->setValue(m_hScroll->value() + dx);
    m_vScroll->setValue(m_vScroll->value() + dy);
}

void TracksView::setTimeZoom(int percent)
{
    percent = std::clamp(percent, kMinZoom, kMaxZoom);
    if (percent == scale().timeZoom())
        return;
    const uint32_t leftFrame = xToFrame(0);
    scale().setTimeZoom(uint16_t(percent));
    updateScrollBars();
    m_hScroll->setValue(int(scale().frameToPixel(leftFrame)));
    m_xOffset = m_hScroll->value();
    redraw();
    emit timeZoomChanged(percent);
}

void TracksView::zoomIn()
{
    setTimeZoom(std::max(scale().timeZoom() + 1, scale().timeZoom() * 5 / 4));
}

void TracksView::zoomOut()
{
    setTimeZoom(std::min(scale().timeZoom() - 1, scale().timeZoom() * 4 / 5));
}

void TracksView::selectTrack(Track* track)
{
    if (m_session->currentTrack() == track)
        return;
    m_session->setCurrentTrack(track);
    redraw();
    emit selectionChanged();
}

void TracksView::setFlag(Track* track, bool mute, bool on)
{
    const FlagHandler& handler = mute ? m_muteHandler : m_soloHandler;
    if (handler)
        handler(track, on);
    else if (mute)
        m_session->mute(track, on);
    else
        m_session->solo(track, on);
    redraw();
    emit contentsChanged();
}

void TracksView::wheelEvent(QWheelEvent* event)
{
    const QPoint delta = event->angleDelta();
    if (event->modifiers() & Qt::ControlModifier) {
        if (delta.y() > 0)
            zoomIn();
        else if (delta.y() < 0)
            zoomOut();
    } else if (event->modifiers() & Qt::ShiftModifier || delta.x() != 0) {
        scrollBy(-(delta.x() ? delta.x() : delta.y()) / 2, 0);
    } else {
        scrollBy(0, -delta.y() / 4);
    }
    event->accept();
}

void TracksView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    updateScrollBars();
}

void TracksView::clipAreaResized()
{
    updateScrollBars();
    m_trackList->layoutRows();
}
