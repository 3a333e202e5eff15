#include "note_keyboard.h"

#include "note_editor.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <cmath>

namespace {
bool isBlack(int note)
{
    switch (note % 12) {
    case 1:
    case 3:
    case 6:
    case 8:
    case 10:
        return true;
    default:
        return false;
    }
}
// Index of each white key inside its octave (-1 for black keys).
constexpr int kWhiteIndex[12] = {0, -1, 1, -1, 2, 3, -1, 4, -1, 5, -1, 6};
} // namespace

NoteKeyboard::NoteKeyboard(NoteEditor* editor) : QWidget(editor), m_editor(editor)
{
    setObjectName(QStringLiteral("NoteKeyboard"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QString NoteKeyboard::toolTipFor(int note)
{
    // The frequency is truncated to whole hertz.
    const int hertz = int(440.0 * std::pow(2.0, double(note - 69) / 12.0));
    return tr("Note:\t%1\nMIDI On:\t%2\nFrequency:\t%3Hz")
        .arg(NoteEditor::noteName(note))
        .arg(note)
        .arg(hertz);
}

void NoteKeyboard::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Mid));
    paintWhiteKeys(p);
    paintBlackKeys(p);
}

void NoteKeyboard::paintWhiteKeys(QPainter& p)
{
    const int rh = m_editor->rowHeight();
    const double whiteHeight = 12.0 * rh / 7.0;
    const int sounding = m_editor->soundingRow();
    const QColor highlight = palette().color(QPalette::Highlight);
    QFont small = font();
    small.setPointSizeF(std::max(5.0, std::min(small.pointSizeF(), rh * 0.8)));
    p.setFont(small);
    for (int note = 0; note <= 127; ++note) {
        if (isBlack(note))
            continue;
        // Seven white keys share the height of the octave's twelve rows, from its bottom up.
        const int octaveBottom = m_editor->rowTop(note - note % 12) + rh;
        const int index = kWhiteIndex[note % 12];
        const int bottom = octaveBottom - int(std::lround(index * whiteHeight));
        const int top = octaveBottom - int(std::lround((index + 1) * whiteHeight));
        if (bottom < 0 || top > height())
            continue;
        const QRect key(0, top, width() - 1, bottom - top);
        p.fillRect(key, note == sounding ? highlight : QColor(Qt::white));
        p.setPen(QColor(Qt::darkGray));
        p.drawRect(key);
        if (note % 12 == 0 && rh >= 6) {
            p.setPen(QColor(Qt::black));
            p.drawText(key.adjusted(0, 0, -3, 0), Qt::AlignRight | Qt::AlignVCenter,
                       NoteEditor::noteName(note));
        }
    }
}

void NoteKeyboard::paintBlackKeys(QPainter& p)
{
    const int rh = m_editor->rowHeight();
    const int sounding = m_editor->soundingRow();
    const int w = width() * 6 / 10;
    for (int note = 0; note <= 127; ++note) {
        if (!isBlack(note))
            continue;
        const int top = m_editor->rowTop(note);
        if (top + rh < 0 || top > height())
            continue;
        const QRect key(0, top, w, rh);
        p.fillRect(key, note == sounding ? palette().color(QPalette::Highlight) : Qt::black);
    }
}

void NoteKeyboard::soundRowAt(int y)
{
    const int displayed = m_editor->displayedNoteAt(y);
    if (displayed == m_editor->soundingRow())
        return;
    m_editor->soundNote(m_editor->noteOfRow(displayed), m_editor->defaultVelocity());
}

void NoteKeyboard::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        soundRowAt(event->position().toPoint().y());
}

void NoteKeyboard::mouseMoveEvent(QMouseEvent* event)
{
    // Sliding over the keys plays them one after another.
    if (event->buttons() & Qt::LeftButton)
        soundRowAt(event->position().toPoint().y());
}

void NoteKeyboard::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_editor->releaseNote();
}

bool NoteKeyboard::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        QToolTip::showText(help->globalPos(),
                           toolTipFor(m_editor->displayedNoteAt(help->pos().y())), this);
        return true;
    }
    return QWidget::event(event);
}
