#include "track_list.h"

#include "session.h"
#include "track.h"
#include "tracks_view.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

namespace {
constexpr int kColourStrip = 6;

QToolButton* makeFlagButton(const QString& text, const QString& tip, const QString& name,
                            QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(text);
    button->setToolTip(tip);
    button->setCheckable(true);
    button->setFixedSize(22, 20);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}
} // namespace

TrackHeader::TrackHeader(TracksView* view, Track* track, QWidget* parent)
    : QWidget(parent), m_view(view), m_track(track), m_kindValue(track->kind())
{
    setObjectName(QStringLiteral("TrackHeader"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_kind = new QLabel(this);
    m_kind->setObjectName(QStringLiteral("TrackKind"));
    m_kind->setPixmap(QIcon(track->isAudio() ? QStringLiteral(":/images/audio-on-off.png")
                                             : QStringLiteral(":/images/midi-on-off.png"))
                          .pixmap(16, 16));
    m_name = new QLabel(this);
    m_name->setObjectName(QStringLiteral("TrackName"));
    m_mute = makeFlagButton(QStringLiteral("M"), tr("Mute this track"), QStringLiteral("TrackMute"),
                            this);
    m_solo = makeFlagButton(QStringLiteral("S"), tr("Play this track alone (solo)"),
                            QStringLiteral("TrackSolo"), this);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(kColourStrip + 6, 2, 4, 2);
    layout->setSpacing(4);
    layout->addWidget(m_kind);
    layout->addWidget(m_name, 1);
    layout->addWidget(m_mute);
    layout->addWidget(m_solo);
    connect(m_mute, &QToolButton::clicked, this, [this](bool on) {
        if (isLive())
            m_view->setFlag(m_track, true, on);
    });
    connect(m_solo, &QToolButton::clicked, this, [this](bool on) {
        if (isLive())
            m_view->setFlag(m_track, false, on);
    });
    updateState();
}

bool TrackHeader::isLive() const
{
    // Between a session change and the next rebuild the track may be gone already.
    return m_view->session()->indexOf(m_track) >= 0;
}

void TrackHeader::updateState()
{
    if (!isLive())
        return;
    const QString name = m_track->name().isEmpty() ? tr("(no name)") : m_track->name();
    const QString kind = m_track->isAudio() ? tr("Audio") : tr("MIDI");
    m_name->setText(
        QFontMetrics(m_name->font()).elidedText(name, Qt::ElideMiddle, m_name->width()));
    m_name->setToolTip(QStringLiteral("%1 (%2)").arg(name, kind));
    m_mute->setChecked(m_track->isMuted());
    m_solo->setChecked(m_track->isSoloed());
    update();
}

void TrackHeader::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (!isLive()) {
        p.fillRect(rect(), palette().color(QPalette::Window));
        return;
    }
    const bool current = m_view->session()->currentTrack() == m_track;
    const QPalette& pal = palette();
    p.fillRect(rect(), current ? pal.color(QPalette::Midlight) : pal.color(QPalette::Button));
    QColor strip = m_track->properties().background;
    strip.setAlpha(255);
    p.fillRect(QRect(0, 0, kColourStrip, height()), strip);
    p.setPen(pal.color(QPalette::Mid));
    p.drawLine(0, height() - 1, width(), height() - 1);
}

void TrackHeader::mousePressEvent(QMouseEvent* event)
{
    if (isLive())
        m_view->selectTrack(m_track);
    event->accept();
}

TrackList::TrackList(TracksView* view) : QWidget(view), m_view(view)
{
    setObjectName(QStringLiteral("TrackList"));
}

void TrackList::rebuild()
{
    // Keep the headers while the tracks are the same ones in the same order (a refresh after
    // an edit), so buttons under the mouse survive it.
    const auto& tracks = m_view->session()->tracks();
    bool same = tracks.size() == m_headers.size();
    for (size_t i = 0; same && i < tracks.size(); ++i)
        same = m_headers[i]->track() == tracks[i] && m_headers[i]->kind() == tracks[i]->kind();
    if (same) {
        layoutRows();
        updateRows();
        return;
    }
    for (TrackHeader* header : m_headers)
        delete header;
    m_headers.clear();
    for (Track* track : m_view->session()->tracks()) {
        auto* header = new TrackHeader(m_view, track, this);
        header->show();
        m_headers.push_back(header);
    }
    layoutRows();
}

void TrackList::layoutRows()
{
    for (size_t i = 0; i < m_headers.size(); ++i) {
        Track* track = m_headers[i]->track();
        m_headers[i]->setGeometry(0, m_view->trackTop(int(i)), width(), track->zoomedHeight());
    }
    update();
}

void TrackList::updateRows()
{
    for (TrackHeader* header : m_headers)
        header->updateState();
}

void TrackList::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    p.setPen(palette().color(QPalette::Mid));
    p.drawLine(width() - 1, 0, width() - 1, height());
}

void TrackList::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutRows();
}
