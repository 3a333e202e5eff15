#include "note_view.h"

#include "edit_gesture.h"
#include "note_editor.h"
#include "time_grid.h"

#include "midi_clip.h"
#include "session.h"

#include <QCursor>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

namespace {
const QColor kNoteColour(64, 120, 210);
const QColor kSelectedColour(226, 84, 44);
const QColor kPlayHeadColour(0, 110, 0);

bool isBlackKey(int note)
{
    const int pc = note % 12;
    return pc == 1 || pc == 3 || pc == 6 || pc == 8 || pc == 10;
}
} // namespace

NoteView::NoteView(NoteEditor* editor) : QWidget(editor), m_editor(editor)
{
    setObjectName(QStringLiteral("NoteView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
}

void NoteView::invalidate()
{
    m_dirty = true;
    update();
}

void NoteView::updatePlayHead(int oldX, int newX)
{
    update(QRect(oldX - 1, 0, 3, height()));
    update(QRect(newX - 1, 0, 3, height()));
}

// ---------------------------------------------------------------------------------------------
// Painting

void NoteView::paintEvent(QPaintEvent* event)
{
    if (m_dirty || m_background.size() != size())
        buildBackground();
    QPainter p(this);
    p.drawPixmap(event->rect(), m_background, event->rect());
    paintNotes(p, true);
    const int x =
        int(int64_t(m_editor->scale().frameToPixel(m_editor->playHead())) - m_editor->xOffset());
    p.setPen(QPen(kPlayHeadColour, 1));
    p.drawLine(x, 0, x, height());
}

void NoteView::buildBackground()
{
    m_dirty = false;
    m_background = QPixmap(size().expandedTo(QSize(1, 1)));
    QPainter p(&m_background);
    const QColor base = palette().color(QPalette::Base);
    p.fillRect(m_background.rect(), base);
    // After the clip's end (all of it for a clip without end) the grid is darker.
    const uint32_t endPixel = m_editor->clipEndPixel();
    const int64_t endX = endPixel == UINT32_MAX ? 0 : int64_t(endPixel) - m_editor->xOffset();
    if (endX < width())
        p.fillRect(QRect(int(std::max<int64_t>(0, endX)), 0, width(), height()), base.darker(110));
    paintRows(p);
    paintKeyLines(p);
    paintBeatLines(p);
    paintNotes(p, false);
}

void NoteView::paintRows(QPainter& p)
{
    const int rh = m_editor->rowHeight();
    const QColor shade = palette().color(QPalette::Base).darker(110);
    const QColor mid = palette().color(QPalette::Mid);
    const QColor text = palette().color(QPalette::Text);
    const int first = m_editor->displayedNoteAt(0);
    const int last = m_editor->displayedNoteAt(height());
    for (int note = first; note >= last; --note) {
        const int top = m_editor->rowTop(note);
        if (isBlackKey(note))
            p.fillRect(QRect(0, top, width(), rh), shade);
        // The line between B and the C above it marks the octaves.
        p.setPen(note % 12 == 11 ? text : mid);
        p.drawLine(0, top, width(), top);
    }
}

void NoteView::paintKeyLines(QPainter& p)
{
    if (!m_editor->showsKeyLines())
        return;
    // A minor key shares its relative major's scale; its own tonic is a minor sixth up.
    const int majorTonic = ((m_editor->keySignature() * 7) % 12 + 12) % 12;
    const int tonic = m_editor->isKeyMinor() ? (majorTonic + 9) % 12 : majorTonic;
    static const int kScale[] = {0, 2, 4, 5, 7, 9, 11};
    const int rh = m_editor->rowHeight();
    QPen dashed(palette().color(QPalette::Mid), 1, Qt::DashLine);
    QPen dotted(palette().color(QPalette::Mid), 1, Qt::DotLine);
    const int first = m_editor->displayedNoteAt(0);
    const int last = m_editor->displayedNoteAt(height());
    for (int note = first; note >= last; --note) {
        const int pc = note % 12;
        const bool inScale = std::any_of(std::begin(kScale), std::end(kScale),
                                         [&](int step) { return (majorTonic + step) % 12 == pc; });
        if (!inScale)
            continue;
        const int y = m_editor->rowTop(note) + rh / 2;
        p.setPen(pc == tonic ? dashed : dotted);
        p.drawLine(0, y, width(), y);
    }
}

void NoteView::paintBeatLines(QPainter& p)
{
    const QColor bar = palette().color(QPalette::Text);
    QColor beat = palette().color(QPalette::Mid);
    const int x0 = m_editor->xOffset();
    TimeGrid::forEachBeat(m_editor->scale(), uint32_t(std::max(0, x0)), uint32_t(x0 + width()),
                          [&](const TimeGrid::Line& line) {
                              const int x = int(line.pixel) - x0;
                              p.setPen(line.beat == 0 ? bar : beat);
                              p.drawLine(x, 0, x, height());
                          });
}

void NoteView::paintNotes(QPainter& p, bool selectedOnly)
{
    MidiClip* clip = m_editor->clip();
    if (!clip)
        return;
    const int type = m_editor->noteEventType();
    const QColor fill = selectedOnly ? kSelectedColour : kNoteColour;
    p.setPen(fill.darker(140));
    p.setBrush(fill);
    auto draw = [&](const MidiEvent* e) {
        if (m_editor->displayedNote(e->data1) > 127)
            return;
        const QRect r = m_editor->noteRect(e);
        if (r.right() < 0 || r.bottom() < 0 || r.top() > height())
            return;
        p.drawRect(r.adjusted(0, 0, -1, -1));
    };
    if (selectedOnly) {
        // Selected notes lie on top of the others; the drag copies are outlined where the
        // gesture puts them, and the rubber band over everything.
        for (const MidiEvent* e : m_editor->selection())
            if (e->status == type)
                draw(e);
        paintGesture(p);
        return;
    }
    for (const MidiEvent* e = clip->sequence().first(); e; e = e->next()) {
        if (e->status != type)
            continue;
        if (m_editor->xOfTime(e->time) > width())
            break;
        draw(e);
    }
}

void NoteView::paintGesture(QPainter& p)
{
    const EditGesture& gesture = *m_editor->gesture();
    const int type = m_editor->noteEventType();
    p.setPen(QPen(palette().color(QPalette::Text), 1, Qt::DashLine));
    p.setBrush(QColor(226, 84, 44, 110));
    gesture.forEachCopy([&](const MidiEvent& e, const EditGesture::Shape& shape) {
        if (e.status != type || m_editor->displayedNote(shape.key) > 127)
            return;
        const QRect r = m_editor->noteRectAt(shape.tick, shape.ticks, shape.key);
        if (r.right() >= 0 && r.left() <= width() && r.bottom() >= 0 && r.top() <= height())
            p.drawRect(r.adjusted(0, 0, -1, -1));
    });
    const QRect band = gesture.rubberBand(EditGesture::Notes);
    if (!band.isEmpty()) {
        p.setBrush(Qt::NoBrush);
        p.drawRect(band);
    }
}

// ---------------------------------------------------------------------------------------------
// Mouse, keys and tool tips

void NoteView::mousePressEvent(QMouseEvent* event)
{
    setFocus();
    if (event->button() != Qt::LeftButton)
        return;
    m_editor->gesture()->press(EditGesture::Notes, event->position().toPoint(), event->modifiers());
}

void NoteView::mouseMoveEvent(QMouseEvent* event)
{
    m_editor->gesture()->move(EditGesture::Notes, event->position().toPoint(), event->modifiers());
}

void NoteView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_editor->gesture()->release(EditGesture::Notes, event->position().toPoint(),
                                     event->modifiers());
}

void NoteView::keyPressEvent(QKeyEvent* event)
{
    if (editByKey(event) || moveSelection(event) || scrollByKey(event))
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

bool NoteView::editByKey(QKeyEvent* event)
{
    // Copy, cut and paste of the selection; Escape drops a gesture in progress.
    EditGesture* gesture = m_editor->gesture();
    if (event->key() == Qt::Key_Escape && gesture->state() != EditGesture::Idle &&
        gesture->state() != EditGesture::KeyboardMove) {
        gesture->cancel();
        return true;
    }
    if (event->matches(QKeySequence::Copy))
        return m_editor->copySelected();
    if (event->matches(QKeySequence::Cut))
        return m_editor->cutSelected();
    if (event->matches(QKeySequence::Paste))
        return m_editor->pasteAt(mapFromGlobal(QCursor::pos()));
    return false;
}

bool NoteView::moveSelection(QKeyEvent* event)
{
    // With notes selected the arrows move them (a pending move) until Return or Escape.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return m_editor->isKeyboardMoving() && (m_editor->commitKeyboardMove(), true);
    case Qt::Key_Escape:
        if (!m_editor->isKeyboardMoving())
            return false;
        m_editor->cancelKeyboardMove();
        return true;
    case Qt::Key_Left:
        return m_editor->keyboardMove(-1, 0);
    case Qt::Key_Right:
        return m_editor->keyboardMove(1, 0);
    case Qt::Key_Up:
        return m_editor->keyboardMove(0, 1);
    case Qt::Key_Down:
        return m_editor->keyboardMove(0, -1);
    default:
        return false;
    }
}

bool NoteView::scrollByKey(QKeyEvent* event)
{
    const bool page = event->modifiers() & Qt::ControlModifier;
    const int dx = page ? width() : 16;
    const int dy = page ? height() : 16;
    switch (event->key()) {
    case Qt::Key_Left:
        m_editor->scrollToX(m_editor->xOffset() - dx);
        return true;
    case Qt::Key_Right:
        m_editor->scrollToX(m_editor->xOffset() + dx);
        return true;
    case Qt::Key_Up:
        m_editor->scrollToY(m_editor->yOffset() - dy);
        return true;
    case Qt::Key_Down:
        m_editor->scrollToY(m_editor->yOffset() + dy);
        return true;
    case Qt::Key_Home:
        m_editor->scrollToX(0);
        return true;
    case Qt::Key_End:
        m_editor->scrollToX(int(m_editor->scale().frameToPixel(m_editor->session()->endFrame())) -
                            width() / 2);
        return true;
    default:
        return false;
    }
}

QString NoteView::toolTipFor(const MidiEvent* note) const
{
    TimeScale& scale = m_editor->session()->scale();
    const uint32_t start = scale.tickToFrame(m_editor->sessionTick(note->time));
    const uint32_t end = scale.tickToFrame(m_editor->sessionTick(note->endTime()));
    const int shown = m_editor->displayedNote(note->data1);
    return tr("Note:\t%1\nMIDI On:\t%2\nVelocity:\t%3\nTime:\t%4\nDuration:\t%5")
        .arg(NoteEditor::noteName(shown))
        .arg(shown)
        .arg(note->data2)
        .arg(scale.format(start), scale.format(start, true, end > start ? end - start : 0));
}

bool NoteView::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (const MidiEvent* note = m_editor->noteAt(help->pos()))
            QToolTip::showText(help->globalPos(), toolTipFor(note), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}
