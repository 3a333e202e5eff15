#include "song_lane.h"

#include "chord_text.h"
#include "lane_events.h"
#include "midi_clip.h"
#include "time_scale.h"
#include "tracks_view.h"

#include <QPainter>

namespace {
constexpr int kRowHeight = 15;
} // namespace

SongLane::SongLane(TracksView* view) : QWidget(view), m_view(view)
{
    setObjectName(QStringLiteral("SongLane"));
    setToolTip(tr("Sections and chords of the song (edit them in the piano roll)"));
    setFixedHeight(2 * kRowHeight + 2);
}

void SongLane::setSong(const MidiClip* melody, const QString& key, int transpose)
{
    m_labels.clear();
    m_key = key;
    if (melody) {
        TimeScale& scale = m_view->scale();
        const uint32_t clipTick = scale.frameToTick(melody->start());
        for (const MidiEvent* e = melody->sequence().first(); e; e = e->next()) {
            const int kind = laneKind(e);
            if (kind != ChordLane && kind != SectionLane)
                continue;
            QString text = laneText(e);
            if (kind == ChordLane)
                text = transposeChordText(text, transpose);
            m_labels.push_back({scale.tickToFrame(clipTick + e->time), kind, text});
        }
    }
    update();
}

QSize SongLane::sizeHint() const
{
    return {200, 2 * kRowHeight + 2};
}

void SongLane::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::AlternateBase));
    p.setPen(palette().color(QPalette::Mid));
    p.drawLine(0, height() - 1, width(), height() - 1);
    QFont bold = font();
    bold.setBold(true);
    for (const Label& label : m_labels) {
        const int x = m_view->frameToX(label.frame);
        if (x > width())
            continue;
        // Sections on the upper row, in bold with a mark where they start; chords below.
        const bool section = label.kind == SectionLane;
        const int top = section ? 0 : kRowHeight;
        p.setFont(section ? bold : font());
        p.setPen(section ? palette().color(QPalette::Highlight) : palette().color(QPalette::Text));
        if (section)
            p.drawLine(x, 0, x, height());
        p.drawText(QRect(x + 3, top, 400, kRowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   label.text);
    }
}
