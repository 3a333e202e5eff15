#include "clip_area.h"

#include "audio_peak_manager.h"
#include "clip.h"
#include "clip_waveform.h"
#include "midi_clip.h"
#include "midi_event.h"
#include "midi_sequence.h"
#include "session.h"
#include "time_grid.h"
#include "track.h"
#include "tracks_view.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

namespace {
constexpr int kDragThreshold = 4;

/** Notes and names on a clip: near-white on a dark fill, near-black on a light one. */
QColor contrastColour(const QColor& fill)
{
    return fill.value() < 150 || fill.lightness() < 120 ? QColor(255, 255, 255, 235)
                                                        : QColor(20, 24, 32, 235);
}
const QColor kPlayHead(226, 64, 52);
} // namespace

ClipArea::ClipArea(TracksView* view)
    : QWidget(view), m_view(view), m_waveform(std::make_unique<ClipWaveform>(view))
{
    // Finished peak builds post their event here, so waveforms appear when ready.
    if (!AudioPeakManager::instance().notifyObject())
        AudioPeakManager::instance().setNotifyObject(this);
    setObjectName(QStringLiteral("ClipArea"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(120, 60);
    setMouseTracking(false);
}

void ClipArea::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_view->clipAreaResized();
}

void ClipArea::updatePlayHead(int oldX, int newX)
{
    update(QRect(oldX - 2, 0, 5, height()));
    update(QRect(newX - 2, 0, 5, height()));
}

void ClipArea::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    Session* session = m_view->session();
    const auto& tracks = session->tracks();
    for (size_t i = 0; i < tracks.size(); ++i) {
        const int top = m_view->trackTop(int(i));
        const QRect row(0, top, width(), tracks[i]->zoomedHeight());
        if (row.bottom() < 0 || row.top() > height())
            continue;
        if (tracks[i] == session->currentTrack())
            p.fillRect(row, palette().color(QPalette::AlternateBase));
    }
    paintGrid(p);
    for (size_t i = 0; i < tracks.size(); ++i) {
        const QRect row(0, m_view->trackTop(int(i)), width(), tracks[i]->zoomedHeight());
        if (row.bottom() >= 0 && row.top() <= height())
            paintTrack(p, tracks[i], row);
    }
    m_waveform->endPaint();
    if (session->isLoopSet()) {
        QColor loop = palette().color(QPalette::Highlight);
        loop.setAlpha(28);
        const int x1 = m_view->frameToX(session->loopIn());
        const int x2 = m_view->frameToX(session->loopOut());
        p.fillRect(QRect(x1, 0, x2 - x1, height()), loop);
    }
    paintHint(p);
    const int x = m_view->frameToX(m_view->playHead());
    p.setPen(QPen(kPlayHead, 1));
    p.drawLine(x, 0, x, height());
}

void ClipArea::paintHint(QPainter& p)
{
    // A new song has nothing to show yet; say how to begin where the clips will appear.
    Session* session = m_view->session();
    if (session->endFrame() > 0)
        return;
    const int top = m_view->trackTop(session->trackCount()) + 24;
    if (top > height() - 40)
        return;
    QColor colour = palette().color(QPalette::Text);
    colour.setAlpha(120);
    p.setPen(colour);
    p.drawText(QRect(16, top, width() - 32, height() - top - 16), Qt::AlignHCenter | Qt::AlignTop,
               tr("Press Record and sing, hum or play your melody,\n"
                  "or open an audio or MIDI file (File menu, or drop it here).\n\n"
                  "Then: Audio to MIDI \u2192 Make Chords \u2192 Make Song."));
}

void ClipArea::paintGrid(QPainter& p)
{
    TimeScale& scale = m_view->scale();
    const double beatWidth = TimeGrid::beatWidth(scale, m_view->xToFrame(0));
    QColor barColour = palette().color(QPalette::Mid);
    QColor beatColour = barColour;
    beatColour.setAlpha(70);
    const int bottom = std::min(height(), m_view->trackTop(m_view->session()->trackCount()));
    TimeGrid::forEachBeat(scale, uint32_t(std::max(0, m_view->xOffset())),
                          uint32_t(m_view->xOffset() + width()), [&](const TimeGrid::Line& line) {
                              const int x = int(line.pixel) - m_view->xOffset();
                              if (line.beat == 0)
                                  p.setPen(barColour);
                              else if (beatWidth >= 8)
                                  p.setPen(beatColour);
                              else
                                  return;
                              p.drawLine(x, 0, x, bottom);
                          });
    p.setPen(barColour);
    for (int i = 1; i <= m_view->session()->trackCount(); ++i) {
        const int y = m_view->trackTop(i) - 1;
        p.drawLine(0, y, width(), y);
    }
}

void ClipArea::paintTrack(QPainter& p, Track* track, const QRect& row)
{
    for (Clip* clip = track->firstClip(); clip; clip = clip->next()) {
        const int x1 = m_view->frameToX(clip->start());
        const int x2 = std::max(x1 + 4, m_view->frameToX(clip->end()));
        if (x2 < 0 || x1 > width())
            continue;
        paintClip(p, clip, QRect(x1, row.top() + 2, x2 - x1, row.height() - 5));
    }
}

void ClipArea::paintClip(QPainter& p, Clip* clip, const QRect& box)
{
    const Track::Properties& props = clip->track()->properties();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(props.foreground, 1.2));
    p.setBrush(props.background);
    p.drawRoundedRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    p.setClipRect(box.adjusted(1, 1, -1, -1));
    if (clip->track()->isAudio())
        paintWaveform(p, clip, box);
    else
        paintMidiNotes(p, clip, box);
    if (clip->selectionIn() < clip->selectionOut()) {
        const int s1 = m_view->frameToX(clip->selectionIn());
        const int s2 = m_view->frameToX(clip->selectionOut());
        QColor sel = palette().color(QPalette::Highlight);
        sel.setAlpha(110);
        p.fillRect(QRect(s1, box.top(), s2 - s1, box.height()), sel);
    }
    const QString name = clip->name().isEmpty() ? clip->track()->name() : clip->name();
    if (box.width() > 24 && box.height() > 14) {
        QFont font = p.font();
        font.setPointSizeF(font.pointSizeF() * 0.85);
        p.setFont(font);
        p.setPen(contrastColour(props.background));
        p.drawText(box.adjusted(5, 1, -4, 0), Qt::AlignLeft | Qt::AlignTop, name);
    }
    p.restore();
}

void ClipArea::paintMidiNotes(QPainter& p, Clip* clip, const QRect& box)
{
    auto* midi = dynamic_cast<MidiClip*>(clip);
    if (!midi || midi->sequence().isEmpty())
        return;
    const MidiSequence& sequence = midi->sequence();
    // The clip's key range fills its height, with at least an octave so a few notes do not
    // turn into bars; the name band at the top stays free.
    int low = sequence.lowestKey();
    int high = sequence.highestKey();
    if (high - low < 12) {
        const int middle = (low + high) / 2;
        low = std::max(0, middle - 6);
        high = std::min(127, low + 12);
    }
    const int top = box.top() + std::min(14, box.height() / 3);
    const double rowHeight = double(box.bottom() - 2 - top) / double(high - low + 1);
    const int noteHeight = std::max(1, int(rowHeight));
    TimeScale& scale = m_view->scale();
    const uint32_t startTick = clip->startTick();
    const uint16_t resolution = sequence.resolution();
    const uint16_t ticksPerBeat = scale.ticksPerBeat();
    auto toX = [&](uint32_t time) {
        const uint32_t tick = startTick + MidiSequence::convert(time, ticksPerBeat, resolution);
        return int(int64_t(scale.tickToPixel(tick)) - m_view->xOffset());
    };
    p.setPen(Qt::NoPen);
    p.setBrush(contrastColour(clip->track()->properties().background));
    for (const MidiEvent* event = sequence.first(); event; event = event->next()) {
        if (!event->isNote())
            continue;
        const int x1 = toX(event->time);
        if (x1 > box.right())
            break;
        const int x2 = std::max(x1 + 2, toX(event->endTime()));
        if (x2 < box.left())
            continue;
        const int y = top + int((high - event->data1) * rowHeight);
        p.drawRect(QRect(x1, y, x2 - x1 - 1, noteHeight));
    }
}

void ClipArea::paintWaveform(QPainter& p, Clip* clip, const QRect& box)
{
    m_waveform->paint(p, clip, box, width());
}

Clip* ClipArea::clipAt(const QPoint& pos, Track** trackOut) const
{
    Track* track = m_view->trackAt(pos.y());
    if (trackOut)
        *trackOut = track;
    if (!track)
        return nullptr;
    const uint32_t frame = m_view->xToFrame(pos.x());
    for (Clip* clip = track->firstClip(); clip; clip = clip->next())
        if (frame >= clip->start() && frame < clip->end())
            return clip;
    return nullptr;
}

bool ClipArea::isLiveClip(Clip* clip) const
{
    for (Track* track : m_view->session()->tracks())
        for (Clip* c = track->firstClip(); c; c = c->next())
            if (c == clip)
                return true;
    return false;
}

void ClipArea::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    Track* track = nullptr;
    Clip* clip = clipAt(event->position().toPoint(), &track);
    if (track)
        m_view->selectTrack(track);
    m_dragClip = (clip && track->isAudio()) ? clip : nullptr;
    m_dragStartX = int(event->position().x());
    m_dragging = false;
}

void ClipArea::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragClip || !(event->buttons() & Qt::LeftButton))
        return;
    const int x = int(event->position().x());
    if (!m_dragging && std::abs(x - m_dragStartX) < kDragThreshold)
        return;
    m_dragging = true;
    setRangeSelection(m_dragStartX, x);
}

void ClipArea::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const int x = int(event->position().x());
    if (m_dragging) {
        setRangeSelection(m_dragStartX, x);
        emit m_view->contentsChanged();
    } else {
        // A plain click drops the range selection and moves the play head.
        if (m_dragClip && isLiveClip(m_dragClip) &&
            m_dragClip->selectionIn() < m_dragClip->selectionOut()) {
            m_dragClip->setSelection(0, 0);
            emit m_view->contentsChanged();
        }
        emit m_view->locateRequested(m_view->scale().snapFrame(m_view->xToFrame(std::max(0, x))));
    }
    m_dragClip = nullptr;
    m_dragging = false;
    update();
}

void ClipArea::setRangeSelection(int x1, int x2)
{
    if (!isLiveClip(m_dragClip)) {
        m_dragClip = nullptr;
        return;
    }
    if (x2 < x1)
        std::swap(x1, x2);
    TimeScale& scale = m_view->scale();
    const uint32_t in =
        std::clamp(scale.snapFrame(m_view->xToFrame(x1)), m_dragClip->start(), m_dragClip->end());
    const uint32_t out =
        std::clamp(scale.snapFrame(m_view->xToFrame(x2)), m_dragClip->start(), m_dragClip->end());
    // Both ends equal means no selection, as the clip's contract asks.
    if (in < out)
        m_dragClip->setSelection(in, out);
    else
        m_dragClip->setSelection(0, 0);
    update();
}

ClipArea::~ClipArea() = default;

bool ClipArea::event(QEvent* event)
{
    if (event->type() == QEvent::Type(AudioPeakManager::eventType())) {
        update();
        return true;
    }
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (Clip* clip = clipAt(help->pos()))
            QToolTip::showText(help->globalPos(), clip->toolTip(), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}
