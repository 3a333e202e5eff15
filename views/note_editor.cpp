#include "note_editor.h"

#include "edit_gesture.h"
#include "event_lane.h"
#include "event_lane_scale.h"
#include "note_keyboard.h"
#include "note_view.h"

#include "clip.h"
#include "midi_clip.h"
#include "midi_edit_command.h"
#include "session.h"
#include "track.h"

#include <QGridLayout>
#include <QIcon>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace {
constexpr int kKeyboardWidth = 80; // wide enough for the lane labels
constexpr int kBaseRowHeight = 8;  // pixels of a key row at 100 %
constexpr int kVelocityLaneHeight = 60;
constexpr uint32_t kMinimumSeconds = 60;
} // namespace

NoteEditor::NoteEditor(Session* session, QWidget* parent) : QFrame(parent), m_session(session)
{
    setObjectName(QStringLiteral("NoteEditor"));
    setFrameShape(QFrame::NoFrame);
    m_scale.copyFrom(session->scale());
    m_gesture = std::make_unique<EditGesture>(this);
    m_keyboard = new NoteKeyboard(this);
    m_noteView = new NoteView(this);
    m_eventLane = new EventLane(this);
    m_laneScale = new EventLaneScale(this);
    m_hScroll = new QScrollBar(Qt::Horizontal, this);
    m_vScroll = new QScrollBar(Qt::Vertical, this);
    m_keyboard->setFixedWidth(kKeyboardWidth);
    m_laneScale->setFixedWidth(kKeyboardWidth);

    auto* hZoom = new QWidget(this);
    auto* hLayout = new QHBoxLayout(hZoom);
    hLayout->setContentsMargins(0, 0, 0, 0);
    hLayout->setSpacing(0);
    hZoom->setFixedWidth(kKeyboardWidth);
    auto* vZoom = new QWidget(this);
    auto* vLayout = new QVBoxLayout(vZoom);
    vLayout->setContentsMargins(0, 0, 0, 0);
    vLayout->setSpacing(0);
    const QString in = QStringLiteral(":/images/zoom-in.png");
    const QString out = QStringLiteral(":/images/zoom-out.png");
    const QString reset = QStringLiteral(":/images/zoom.png");
    hLayout->addWidget(
        makeZoomButton(hZoom, "HorizontalZoomOut", out, tr("Zoom out (horizontal)")));
    hLayout->addWidget(
        makeZoomButton(hZoom, "HorizontalZoomReset", reset, tr("Zoom reset (horizontal)")));
    hLayout->addWidget(makeZoomButton(hZoom, "HorizontalZoomIn", in, tr("Zoom in (horizontal)")));
    vLayout->addWidget(makeZoomButton(vZoom, "VerticalZoomIn", in, tr("Zoom in (vertical)")));
    vLayout->addWidget(
        makeZoomButton(vZoom, "VerticalZoomReset", reset, tr("Zoom reset (vertical)")));
    vLayout->addWidget(makeZoomButton(vZoom, "VerticalZoomOut", out, tr("Zoom out (vertical)")));
    vLayout->addStretch();
    connect(zoomButton("HorizontalZoomIn"), &QToolButton::clicked, this,
            &NoteEditor::horizontalZoomInSlot);
    connect(zoomButton("HorizontalZoomOut"), &QToolButton::clicked, this,
            &NoteEditor::horizontalZoomOutSlot);
    connect(zoomButton("HorizontalZoomReset"), &QToolButton::clicked, this,
            &NoteEditor::horizontalZoomResetSlot);
    connect(zoomButton("VerticalZoomIn"), &QToolButton::clicked, this,
            &NoteEditor::verticalZoomInSlot);
    connect(zoomButton("VerticalZoomOut"), &QToolButton::clicked, this,
            &NoteEditor::verticalZoomOutSlot);
    connect(zoomButton("VerticalZoomReset"), &QToolButton::clicked, this,
            &NoteEditor::verticalZoomResetSlot);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    grid->addWidget(m_keyboard, 0, 0);
    grid->addWidget(m_noteView, 0, 1);
    grid->addWidget(m_vScroll, 0, 2);
    grid->addWidget(m_laneScale, 1, 0);
    grid->addWidget(m_eventLane, 1, 1);
    grid->addWidget(vZoom, 1, 2);
    grid->addWidget(hZoom, 2, 0);
    grid->addWidget(m_hScroll, 2, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(0, 1);
    m_eventLane->setFixedHeight(laneHeight());
    m_laneScale->setFixedHeight(laneHeight());

    connect(m_hScroll, &QScrollBar::valueChanged, this, [this](int value) {
        m_xOffset = value;
        redraw();
        if (m_quietScroll == 0)
            emit contentsMoving(m_xOffset, m_yOffset);
    });
    connect(m_vScroll, &QScrollBar::valueChanged, this, [this](int value) {
        m_yOffset = value;
        redraw();
        if (m_quietScroll == 0)
            emit contentsMoving(m_xOffset, m_yOffset);
    });
    updateScrollBars();
}

NoteEditor::~NoteEditor()
{
    // The gesture may hold a drawn event; it goes before the views it refers to.
    m_gesture.reset();
}

QToolButton* NoteEditor::makeZoomButton(QWidget* parent, const char* name, const QString& icon,
                                        const QString& tip)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(QIcon(icon));
    button->setToolTip(tip);
    button->setAutoRaise(true);
    button->setIconSize(QSize(14, 14));
    return button;
}

QToolButton* NoteEditor::zoomButton(const char* objectName) const
{
    return findChild<QToolButton*>(QLatin1String(objectName));
}

void NoteEditor::copySessionScale()
{
    const uint16_t timeZoom = m_scale.timeZoom();
    const uint16_t heightZoom = m_scale.heightZoom();
    m_scale.copyFrom(m_session->scale());
    m_scale.setTimeZoom(timeZoom);
    m_scale.setHeightZoom(heightZoom);
}

// ---------------------------------------------------------------------------------------------
// Clip and state

MidiClip* NoteEditor::clip() const
{
    if (!m_clip)
        return nullptr;
    for (Track* track : m_session->tracks())
        for (Clip* c = track->firstClip(); c; c = c->next())
            if (c == m_clip)
                return m_clip;
    return nullptr;
}

Track* NoteEditor::track() const
{
    MidiClip* c = clip();
    return c ? c->track() : nullptr;
}

void NoteEditor::setClip(MidiClip* clip)
{
    if (clip != m_clip) {
        m_selection.clear();
        m_clip = clip;
    }
    refresh();
}

void NoteEditor::setEditMode(bool on)
{
    m_editMode = on;
    redraw();
}

void NoteEditor::setLaneEventType(int type)
{
    m_laneEventType = type;
    m_eventLane->setFixedHeight(laneHeight());
    m_laneScale->setFixedHeight(laneHeight());
    redraw();
}

void NoteEditor::setLaneController(int controller)
{
    m_laneController = std::clamp(controller, 0, 127);
    redraw();
}

void NoteEditor::locateTo(uint32_t frame)
{
    setPlayHead(frame);
    emit locateRequested(frame);
}

void NoteEditor::setPlayHead(uint32_t frame)
{
    if (frame == m_playHead)
        return;
    const uint32_t old = m_playHead;
    m_playHead = frame;
    const int x = int(int64_t(m_scale.frameToPixel(frame)) - m_xOffset);
    if (m_followPlay && (x < 0 || x > m_noteView->width() - 8)) {
        updateScrollBars();
        m_hScroll->setValue(std::max(0, int(m_scale.frameToPixel(frame)) - 8));
        return;
    }
    m_noteView->updatePlayHead(int(int64_t(m_scale.frameToPixel(old)) - m_xOffset), x);
}

void NoteEditor::setLoop(uint32_t in, uint32_t out)
{
    m_loopIn = in;
    m_loopOut = out;
}

void NoteEditor::setViewTranspose(int semitones)
{
    m_transpose = semitones;
    redraw();
}

int NoteEditor::displayedNote(int note) const
{
    return ((note + m_transpose) % 256 + 256) % 256;
}

int NoteEditor::noteOfRow(int displayed) const
{
    return std::clamp(displayed - m_transpose, 0, 127);
}

void NoteEditor::setKeySignature(int signature, bool minor, bool show)
{
    m_keySignature = signature;
    m_keyMinor = minor;
    m_showKey = show;
    redraw();
}

// ---------------------------------------------------------------------------------------------
// Zoom

void NoteEditor::setTimeZoom(int percent)
{
    percent = std::max(1, percent);
    if (percent == m_scale.timeZoom())
        return;
    const uint32_t leftFrame = m_scale.pixelToFrame(uint32_t(std::max(0, m_xOffset)));
    m_scale.setTimeZoom(uint16_t(std::min(percent, 65535)));
    updateScrollBars();
    ++m_quietScroll;
    m_hScroll->setValue(int(m_scale.frameToPixel(leftFrame)));
    --m_quietScroll;
    m_xOffset = m_hScroll->value();
    redraw();
    emit timeZoomChanged(m_scale.timeZoom());
}

void NoteEditor::setHeightZoom(int percent)
{
    percent = std::clamp(percent, 1, 65535);
    if (percent == m_scale.heightZoom())
        return;
    // Keep the row in the middle of the view where it is.
    const int middle = m_noteView->height() / 2;
    const double fraction = double(m_yOffset + middle) / std::max(1, contentHeight());
    m_scale.setHeightZoom(uint16_t(percent));
    updateScrollBars();
    m_vScroll->setValue(int(std::lround(fraction * contentHeight())) - middle);
    m_yOffset = m_vScroll->value();
    redraw();
    emit heightZoomChanged(percent);
}

int NoteEditor::rowHeight() const
{
    return std::max(2, (kBaseRowHeight * int(m_scale.heightZoom()) + 50) / 100);
}

void NoteEditor::horizontalZoomInSlot()
{
    setTimeZoom(std::clamp(timeZoom() + kZoomStep, kMinZoom, kMaxZoom));
}

void NoteEditor::horizontalZoomOutSlot()
{
    setTimeZoom(std::clamp(timeZoom() - kZoomStep, kMinZoom, kMaxZoom));
}

void NoteEditor::horizontalZoomResetSlot()
{
    setTimeZoom(100);
}

void NoteEditor::verticalZoomInSlot()
{
    setHeightZoom(std::clamp(heightZoom() + kZoomStep, kMinZoom, kMaxZoom));
}

void NoteEditor::verticalZoomOutSlot()
{
    setHeightZoom(std::clamp(heightZoom() - kZoomStep, kMinZoom, kMaxZoom));
}

void NoteEditor::verticalZoomResetSlot()
{
    setHeightZoom(100);
}

void NoteEditor::zoomIn()
{
    if (m_zoomFlags & ZoomHorizontal)
        horizontalZoomInSlot();
    if (m_zoomFlags & ZoomVertical)
        verticalZoomInSlot();
}

void NoteEditor::zoomOut()
{
    if (m_zoomFlags & ZoomHorizontal)
        horizontalZoomOutSlot();
    if (m_zoomFlags & ZoomVertical)
        verticalZoomOutSlot();
}

void NoteEditor::zoomReset()
{
    if (m_zoomFlags & ZoomHorizontal)
        horizontalZoomResetSlot();
    if (m_zoomFlags & ZoomVertical)
        verticalZoomResetSlot();
}

// ---------------------------------------------------------------------------------------------
// Geometry and scrolling

uint32_t NoteEditor::sessionTick(uint32_t time) const
{
    const MidiClip* c = m_clip;
    if (!c)
        return time;
    const uint32_t ticks =
        MidiSequence::convert(time, m_scale.ticksPerBeat(), c->sequence().resolution());
    return c->startTick() + ticks;
}

uint32_t NoteEditor::eventTime(uint32_t tick) const
{
    const MidiClip* c = m_clip;
    if (!c)
        return tick;
    const uint32_t relative = tick > c->startTick() ? tick - c->startTick() : 0;
    return MidiSequence::convert(relative, c->sequence().resolution(), m_scale.ticksPerBeat());
}

int NoteEditor::xOfTime(uint32_t time) const
{
    // The cursor is the scale's own; converting does not change the scale.
    auto& scale = const_cast<TimeScale&>(m_scale);
    return int(int64_t(scale.tickToPixel(sessionTick(time))) - m_xOffset);
}

int NoteEditor::xOfTick(uint32_t tick) const
{
    auto& scale = const_cast<TimeScale&>(m_scale);
    return int(int64_t(scale.tickToPixel(tick)) - m_xOffset);
}

uint32_t NoteEditor::timeOfX(int x) const
{
    auto& scale = const_cast<TimeScale&>(m_scale);
    const int64_t pixel = std::max<int64_t>(0, int64_t(x) + m_xOffset);
    return eventTime(scale.pixelToTick(uint32_t(pixel)));
}

int NoteEditor::rowTop(int displayed) const
{
    return (127 - displayed) * rowHeight() - m_yOffset;
}

int NoteEditor::displayedNoteAt(int y) const
{
    const int row = (y + m_yOffset) / rowHeight();
    return std::clamp(127 - row, 0, 127);
}

uint32_t NoteEditor::clipEndPixel() const
{
    const MidiClip* c = clip();
    if (!c || c->length() == 0)
        return UINT32_MAX;
    return m_scale.frameToPixel(c->end());
}

uint32_t NoteEditor::gridStep() const
{
    const uint32_t beat = m_scale.ticksPerBeat();
    const uint32_t snap = m_scale.snapPerBeat();
    return snap ? std::max<uint32_t>(1, beat / snap) : beat;
}

uint32_t NoteEditor::snapDown(uint32_t tick)
{
    if (m_scale.snapPerBeat() == 0)
        return tick;
    const TempoNode* node = m_scale.nodeAtTick(tick);
    const double start = node ? double(node->tick) : 0.0;
    const double step = double(gridStep());
    // Grid start + step x floor(...): a position just before a line (by less than 1/256
    // step) lands on it; everything else goes down to the line before it.
    const double steps = std::floor((double(tick) + step / 256.0 - start) / step);
    return uint32_t(std::max(0.0, start + step * steps));
}

void NoteEditor::updateScrollBars()
{
    const int viewWidth = std::max(1, m_noteView->width());
    const uint32_t end =
        std::max({m_session->endFrame(), m_playHead, m_scale.sampleRate() * kMinimumSeconds});
    const int contentWidth = int(m_scale.frameToPixel(end)) + viewWidth / 2;
    ++m_quietScroll;
    m_hScroll->setRange(0, std::max(0, contentWidth - viewWidth));
    m_hScroll->setPageStep(viewWidth);
    m_hScroll->setSingleStep(16);
    const int viewHeight = std::max(1, m_noteView->height());
    m_vScroll->setRange(0, std::max(0, contentHeight() - viewHeight));
    m_vScroll->setPageStep(viewHeight);
    m_vScroll->setSingleStep(rowHeight());
    --m_quietScroll;
    m_xOffset = m_hScroll->value();
    m_yOffset = m_vScroll->value();
}

void NoteEditor::contentsXMovingSlot(int x, int y)
{
    (void)y;
    ++m_quietScroll;
    updateScrollBars();
    m_hScroll->setValue(x);
    --m_quietScroll;
}

void NoteEditor::scrollToX(int x)
{
    updateScrollBars();
    m_hScroll->setValue(x);
}

void NoteEditor::scrollToY(int y)
{
    updateScrollBars();
    m_vScroll->setValue(y);
}

void NoteEditor::refresh()
{
    validateSelection();
    updateScrollBars();
    redraw();
}

void NoteEditor::redraw()
{
    m_noteView->invalidate();
    m_keyboard->update();
    m_eventLane->update();
    m_laneScale->update();
}

void NoteEditor::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    updateScrollBars();
}

void NoteEditor::wheelEvent(QWheelEvent* event)
{
    const QPoint delta = event->angleDelta();
    if (event->modifiers() & Qt::ControlModifier) {
        if (delta.y() > 0)
            zoomIn();
        else if (delta.y() < 0)
            zoomOut();
    } else if (event->modifiers() & Qt::ShiftModifier || delta.x() != 0) {
        m_hScroll->setValue(m_hScroll->value() - (delta.x() ? delta.x() : delta.y()) / 2);
    } else {
        m_vScroll->setValue(m_vScroll->value() - delta.y() / 4);
    }
    event->accept();
}

QString NoteEditor::noteName(int note)
{
    static const char* const names[] = {"C",  "C#", "D",  "D#", "E",  "F",
                                        "F#", "G",  "G#", "A",  "A#", "B"};
    note = std::clamp(note, 0, 127);
    return QLatin1String(names[note % 12]) + QString::number(note / 12 - 2);
}

// ---------------------------------------------------------------------------------------------
// Selection

void NoteEditor::validateSelection()
{
    MidiClip* c = clip();
    if (!c) {
        m_selection.clear();
        return;
    }
    const MidiSequence& sequence = c->sequence();
    if (sequence.generation() == m_selectionGeneration)
        return;
    m_selectionGeneration = sequence.generation();
    if (m_selection.empty())
        return;
    // Keep only the events still in the sequence: undo, a cleared melody or another edit may
    // have taken the others out (and freed them).
    const std::unordered_set<const MidiEvent*> wanted(m_selection.begin(), m_selection.end());
    std::vector<MidiEvent*> kept;
    for (MidiEvent* e = sequence.first(); e; e = e->next())
        if (wanted.count(e))
            kept.push_back(e);
    m_selection = std::move(kept);
}

const std::vector<MidiEvent*>& NoteEditor::selection()
{
    validateSelection();
    return m_selection;
}

bool NoteEditor::isSelected(const MidiEvent* event)
{
    const auto& s = selection();
    return std::find(s.begin(), s.end(), event) != s.end();
}

void NoteEditor::select(MidiEvent* event, Qt::KeyboardModifiers modifiers)
{
    validateSelection();
    const auto found = std::find(m_selection.begin(), m_selection.end(), event);
    if (modifiers & Qt::ControlModifier) {
        if (found != m_selection.end())
            m_selection.erase(found);
        else if (event)
            m_selection.push_back(event);
    } else if (modifiers & Qt::ShiftModifier) {
        if (found == m_selection.end() && event)
            m_selection.push_back(event);
    } else {
        m_selection.clear();
        if (event)
            m_selection.push_back(event);
    }
    redraw();
    emit selectNotifySignal(this);
}

void NoteEditor::clearSelection()
{
    m_selection.clear();
    redraw();
    emit selectNotifySignal(this);
}

void NoteEditor::setSelection(std::vector<MidiEvent*> events, bool notify)
{
    validateSelection();
    m_selection = std::move(events);
    // The selection is painted over the cached grid: the grid stays.
    m_noteView->update();
    m_eventLane->update();
    if (notify)
        emit selectNotifySignal(this);
}

QRect NoteEditor::noteRectAt(uint32_t tick, uint32_t ticks, int note) const
{
    const int x1 = xOfTick(tick);
    const int x2 = std::max(x1 + 5, xOfTick(tick + ticks));
    return QRect(x1, rowTop(displayedNote(note)), x2 - x1, rowHeight());
}

QRect NoteEditor::noteRect(const MidiEvent* note) const
{
    const int x1 = xOfTime(note->time);
    const int x2 = std::max(x1 + 5, xOfTime(note->endTime()));
    return QRect(x1, rowTop(displayedNote(note->data1)), x2 - x1, rowHeight());
}

MidiEvent* NoteEditor::topmostAt(const QPoint& pos,
                                 const std::function<bool(const MidiEvent*)>& shows,
                                 const std::function<QRect(const MidiEvent*)>& rectOf) const
{
    MidiClip* c = clip();
    if (!c)
        return nullptr;
    MidiEvent* found = nullptr;
    for (MidiEvent* e = c->sequence().first(); e; e = e->next()) {
        if (!shows(e))
            continue;
        const QRect r = rectOf(e);
        if (r.left() > pos.x())
            break; // events are in time order: the rest lie further right
        if (r.contains(pos))
            found = e; // the last one drawn lies on top
    }
    return found;
}

MidiEvent* NoteEditor::noteAt(const QPoint& pos)
{
    const int displayed = displayedNoteAt(pos.y());
    return topmostAt(
        pos,
        [&](const MidiEvent* e) {
            return e->status == m_noteEventType && displayedNote(e->data1) == displayed;
        },
        [this](const MidiEvent* e) { return noteRect(e); });
}

// ---------------------------------------------------------------------------------------------
// Edits

bool NoteEditor::pushEdit(std::unique_ptr<MidiEditCommand> command)
{
    if (command->isEmpty() || !m_session->push(std::move(command)))
        return false;
    refresh();
    emit changeNotifySignal(this);
    return true;
}

MidiEvent* NoteEditor::drawNote(int note, uint32_t tick)
{
    MidiClip* c = clip();
    if (!c)
        return nullptr;
    const uint32_t start = snapDown(tick);
    const uint32_t time = eventTime(start);
    const uint32_t end = eventTime(start + gridStep());
    const uint32_t length = end > time ? end - time : 1;
    auto event = MidiEvent::note(time, uint8_t(std::clamp(note, 0, 127)),
                                 uint8_t(m_defaultVelocity), length);
    MidiEvent* added = event.get();
    auto command = std::make_unique<MidiEditCommand>(c, QStringLiteral("edit"));
    command->insert(std::move(event));
    if (!pushEdit(std::move(command)))
        return nullptr;
    select(added, Qt::NoModifier);
    return added;
}

bool NoteEditor::deleteSelected()
{
    MidiClip* c = clip();
    const std::vector<MidiEvent*> chosen = selection();
    if (!c || chosen.empty())
        return false;
    auto command = std::make_unique<MidiEditCommand>(c, QStringLiteral("delete"));
    for (MidiEvent* e : chosen)
        command->remove(e);
    m_selection.clear();
    const bool removed = pushEdit(std::move(command));
    emit selectNotifySignal(this);
    return removed;
}

bool NoteEditor::isKeyboardMoving() const
{
    return m_gesture->state() == EditGesture::KeyboardMove;
}

bool NoteEditor::keyboardMove(int steps, int notes)
{
    return m_gesture->keyboardMove(steps, notes);
}

void NoteEditor::cancelKeyboardMove()
{
    m_gesture->cancelKeyboardMove();
}

bool NoteEditor::commitKeyboardMove()
{
    return m_gesture->commitKeyboardMove();
}

bool NoteEditor::copySelected()
{
    return m_gesture->copySelection();
}

bool NoteEditor::cutSelected()
{
    return copySelected() && deleteSelected();
}

bool NoteEditor::pasteAt(const QPoint& pos)
{
    return m_gesture->startPaste(EditGesture::Notes, pos);
}

void NoteEditor::soundNote(int note, int velocity)
{
    releaseNote();
    m_soundingNote = std::clamp(note, 0, 127);
    m_keyboard->update();
    emit sendNoteSignal(m_soundingNote, velocity);
}

void NoteEditor::releaseNote()
{
    if (m_soundingNote < 0)
        return;
    const int note = m_soundingNote;
    m_soundingNote = -1;
    m_keyboard->update();
    emit sendNoteSignal(note, 0);
}

// ---------------------------------------------------------------------------------------------
// The event lane in note-velocity mode is drawn by the lane itself.

int NoteEditor::laneHeight() const
{
    return kVelocityLaneHeight;
}

bool NoteEditor::paintLane(QPainter& p, const QRect& rect)
{
    (void)p, (void)rect;
    return false;
}

bool NoteEditor::paintLaneScale(QPainter& p, const QRect& rect)
{
    (void)p, (void)rect;
    return false;
}

bool NoteEditor::lanePressed(QMouseEvent* event)
{
    (void)event;
    return false;
}
