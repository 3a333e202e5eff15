#include "edit_gesture.h"

#include "event_lane.h"
#include "note_editor.h"
#include "note_view.h"

#include "midi_clip.h"
#include "midi_edit_command.h"
#include "midi_event.h"
#include "session.h"

#include <QApplication>
#include <QCursor>
#include <QPixmap>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace {
constexpr int kEdgeZone = 3;    // pixels of a note's edge or a bar's end that resize
constexpr int kScrollZone = 16; // pixels from a view's edge where the rubber band scrolls
constexpr int kBendLimit = 8191;

/** The events copied by the last copy, times in session ticks from the earliest one. */
std::vector<std::unique_ptr<MidiEvent>>& copies()
{
    static std::vector<std::unique_ptr<MidiEvent>> events;
    return events;
}

int64_t floorDiv(int64_t a, int64_t b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}
} // namespace

EditGesture::EditGesture(NoteEditor* editor) : m_editor(editor) {}

EditGesture::~EditGesture() = default;

// ---------------------------------------------------------------------------------------------
// Coordinates

QWidget* EditGesture::widget(Surface surface) const
{
    return surface == Notes ? static_cast<QWidget*>(m_editor->noteView()) : m_editor->eventLane();
}

QPoint EditGesture::toContent(Surface surface, const QPoint& pos) const
{
    // The lane scrolls with the note view horizontally only.
    return pos + QPoint(m_editor->xOffset(), surface == Notes ? m_editor->yOffset() : 0);
}

QPoint EditGesture::toView(Surface surface, const QPoint& content) const
{
    return content - QPoint(m_editor->xOffset(), surface == Notes ? m_editor->yOffset() : 0);
}

uint32_t EditGesture::tickAt(int contentX) const
{
    return m_editor->scale().pixelToTick(uint32_t(std::max(0, contentX)));
}

int EditGesture::rowAt(int contentY) const
{
    // Not clamped: a pointer above or below the keys still counts its rows.
    return 127 - int(floorDiv(contentY, m_editor->rowHeight()));
}

EditGesture::Offsets EditGesture::offsets() const
{
    Offsets o;
    const uint32_t from = tickAt(m_anchor.x());
    const uint32_t to = tickAt(m_pointer.x());
    o.rawTicks = int64_t(to) - int64_t(from);
    o.snappedTicks = int64_t(m_editor->snapDown(to)) - int64_t(m_editor->snapDown(from));
    o.rows = rowAt(m_pointer.y()) - rowAt(m_anchor.y());
    if (m_surface == Lane)
        o.value = m_editor->eventLane()->valueOffset(m_anchor.y() - m_pointer.y());
    return o;
}

// ---------------------------------------------------------------------------------------------
// Hit test

EditGesture::Hit EditGesture::hitTest(Surface surface, const QPoint& pos) const
{
    return surface == Notes ? noteHit(pos) : laneHit(pos);
}

EditGesture::Hit EditGesture::noteHit(const QPoint& pos) const
{
    Hit hit;
    hit.event = m_editor->noteAt(pos);
    if (!hit.event)
        return hit;
    const QRect r = m_editor->noteRect(hit.event);
    const int right = r.left() + r.width();
    if (pos.x() >= right - kEdgeZone)
        hit.mode = EndEdge;
    else if (pos.x() <= r.left() + kEdgeZone)
        hit.mode = StartEdge;
    hit.cursor = hit.mode == Body ? Qt::PointingHandCursor : Qt::SplitHCursor;
    return hit;
}

EditGesture::Hit EditGesture::laneHit(const QPoint& pos) const
{
    Hit hit;
    const EventLane* lane = m_editor->eventLane();
    hit.event = lane->eventAt(pos);
    if (!hit.event)
        return hit;
    const QRect bar = lane->barRect(hit.event);
    hit.cursor = Qt::PointingHandCursor;
    if (lane->isPitchBend()) {
        const int centre = lane->centreY();
        if (pos.y() > centre && pos.y() >= bar.bottom() - kEdgeZone)
            hit.mode = BendDown;
        else if (pos.y() < centre && pos.y() <= bar.top() + kEdgeZone)
            hit.mode = BendUp;
        if (hit.mode != Body)
            hit.cursor = Qt::SplitVCursor;
    } else if (pos.y() <= bar.top() + kEdgeZone) {
        hit.mode = Value;
        hit.cursor = Qt::SplitVCursor;
    }
    return hit;
}

// ---------------------------------------------------------------------------------------------
// Press, move, release

void EditGesture::press(Surface surface, const QPoint& pos, Qt::KeyboardModifiers modifiers)
{
    if (m_state == Pasting)
        return;
    if (m_editor->isKeyboardMoving()) {
        // The pending keyboard move is picked up by the mouse: the selection's centre follows
        // the pointer from here.
        QRect box;
        for (const MidiEvent* e : m_editor->selection())
            box |= m_editor->noteRect(e);
        cancelKeyboardMove();
        remember();
        m_surface = Notes;
        m_state = Moving;
        m_anchor = toContent(Notes, box.center());
        m_pointer = toContent(surface, pos);
        setCursor(Qt::SizeAllCursor);
        widget(Notes)->update();
        return;
    }
    m_surface = surface;
    pressPending(pos, modifiers);
}

void EditGesture::remember()
{
    MidiClip* clip = m_editor->clip();
    m_clip = clip;
    m_generation = clip ? clip->sequence().generation() : 0;
}

bool EditGesture::isCurrent() const
{
    // An undo, a Delete or a new clip while the button is down leaves the gesture's events
    // behind: the gesture is then dropped rather than committed.
    MidiClip* clip = m_editor->clip();
    return clip && clip == m_clip && clip->sequence().generation() == m_generation;
}

void EditGesture::pressPending(const QPoint& pos, Qt::KeyboardModifiers modifiers)
{
    remember();
    m_created.reset();
    m_drawnOver.clear();
    m_state = Pressed;
    m_modifiers = modifiers & (Qt::ShiftModifier | Qt::ControlModifier);
    m_anchor = m_pointer = toContent(m_surface, pos);
    const Hit hit = hitTest(m_surface, pos);
    m_hit = hit.event;
    m_mode = hit.mode;
    if (m_hit || !m_editor->isEditMode() || m_modifiers) {
        if (m_mode == Body)
            setCursor(!m_hit               ? Qt::CrossCursor
                      : m_surface == Notes ? Qt::SizeAllCursor
                                           : Qt::SizeHorCursor);
    } else {
        startDrawing(pos);
    }
    const MidiEvent* sounded = m_hit;
    if (m_editor->isSoundOn() && sounded && sounded->isNote())
        m_editor->soundNote(sounded->data1, sounded->data2);
}

void EditGesture::startDrawing(const QPoint& pos)
{
    const uint32_t start = m_editor->snapDown(tickAt(m_anchor.x()));
    const uint32_t time = m_editor->eventTime(start);
    const uint32_t end = m_editor->eventTime(start + m_editor->gridStep());
    const uint32_t length = end > time ? end - time : 1;
    const int type = m_surface == Notes ? m_editor->noteEventType() : m_editor->laneEventType();
    const EventLane* lane = m_editor->eventLane();
    if (m_surface == Notes) {
        const int note = m_editor->noteOfRow(m_editor->displayedNoteAt(pos.y()));
        m_created =
            MidiEvent::note(time, uint8_t(note), uint8_t(m_editor->defaultVelocity()), length);
        m_mode = EndEdge;
    } else if (type == MidiEvent::NoteOn) {
        m_created = MidiEvent::note(time, uint8_t(m_editor->defaultNote()),
                                    uint8_t(lane->valueAtY(pos.y())), length);
        m_mode = Value;
    } else if (lane->isPitchBend()) {
        const int raw = lane->valueAtY(pos.y()) + 8192;
        m_created = MidiEvent::channel(time, MidiEvent::PitchBend, uint8_t(raw & 0x7F),
                                       uint8_t((raw >> 7) & 0x7F));
        m_mode = pos.y() > lane->centreY() ? BendDown : BendUp;
    } else {
        m_created = MidiEvent::channel(time, type, uint8_t(m_editor->laneController()),
                                       uint8_t(lane->valueAtY(pos.y())));
        m_mode = Value;
    }
    m_hit = m_created.get();
    setPixmapCursor(":/images/note-edit.png", QPoint(5, 18), Qt::CrossCursor);
    widget(m_surface)->update();
}

void EditGesture::move(Surface surface, const QPoint& pos, Qt::KeyboardModifiers modifiers)
{
    (void)modifiers; // the gesture keeps those of its press
    if (m_state != Idle && !isCurrent()) {
        cancel();
        return;
    }
    switch (m_state) {
    case Idle: {
        const Hit hit = hitTest(surface, pos);
        if (hit.event)
            widget(surface)->setCursor(hit.cursor);
        else
            widget(surface)->unsetCursor();
        return;
    }
    case Pressed: {
        if (surface != m_surface)
            return;
        const QPoint view = toView(m_surface, m_anchor);
        if ((pos - view).manhattanLength() < QApplication::startDragDistance())
            return;
        m_pointer = toContent(surface, pos);
        startDrag(m_modifiers);
        if (m_state == Resizing && m_created && m_surface == Lane)
            drawAcrossLane();
        soundMovedNote();
        break;
    }
    case RubberBand:
        if (surface == m_surface)
            dragRubberBand(pos, m_modifiers);
        return;
    case Moving:
    case Pasting:
        if (surface != m_surface)
            return;
        m_pointer = toContent(surface, pos);
        soundMovedNote();
        break;
    case Resizing:
        if (surface != m_surface)
            return;
        m_pointer = toContent(surface, pos);
        if (m_created && m_surface == Lane)
            drawAcrossLane();
        break;
    case KeyboardMove:
        return;
    }
    m_editor->noteView()->update();
    m_editor->eventLane()->update();
}

void EditGesture::soundMovedNote()
{
    // The note taken by the mouse sounds again on every row it is moved to.
    if (m_state != Moving || m_surface != Notes || !m_hit || !m_hit->isNote() ||
        !m_editor->isSoundOn())
        return;
    const int key = moved(*m_hit, offsets()).key;
    if (m_editor->soundingRow() != m_editor->displayedNote(key))
        m_editor->soundNote(key, m_hit->data2);
}

void EditGesture::startDrag(Qt::KeyboardModifiers modifiers)
{
    if (!m_hit) {
        m_state = RubberBand;
        m_bandBase.clear();
        if (modifiers & (Qt::ShiftModifier | Qt::ControlModifier))
            m_bandBase = m_editor->selection();
        dragRubberBand(toView(m_surface, m_pointer), modifiers);
        return;
    }
    const Qt::KeyboardModifiers adds =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier) ? Qt::ShiftModifier : Qt::NoModifier;
    if (m_mode != Body) {
        if (!m_created)
            m_editor->select(m_hit, adds);
        m_state = Resizing;
    } else {
        if (!m_editor->isSelected(m_hit))
            m_editor->select(m_hit, adds);
        m_state = Moving;
    }
}

void EditGesture::dragRubberBand(const QPoint& pos, Qt::KeyboardModifiers modifiers)
{
    scrollAtEdge(pos);
    m_pointer = toContent(m_surface, pos);
    const QRect band = rubberBand(m_surface);
    std::unordered_set<MidiEvent*> touched;
    MidiClip* clip = m_editor->clip();
    for (MidiEvent* e = clip ? clip->sequence().first() : nullptr; e; e = e->next()) {
        QRect r;
        if (m_surface == Notes) {
            if (e->status != m_editor->noteEventType() || m_editor->displayedNote(e->data1) > 127)
                continue;
            r = m_editor->noteRect(e);
        } else {
            if (!m_editor->eventLane()->shows(e))
                continue;
            r = m_editor->eventLane()->barRect(e);
        }
        if (r.left() > band.right())
            break; // events are in time order: the rest lie right of the band
        if (r.intersects(band))
            touched.insert(e);
    }
    std::vector<MidiEvent*> chosen;
    chosen.reserve(m_bandBase.size() + touched.size());
    const bool toggle = modifiers & Qt::ControlModifier;
    for (MidiEvent* e : m_bandBase)
        if (!(toggle && touched.count(e)))
            chosen.push_back(e);
    const std::unordered_set<MidiEvent*> base(m_bandBase.begin(), m_bandBase.end());
    for (MidiEvent* e = clip ? clip->sequence().first() : nullptr; e && !touched.empty();
         e = e->next())
        if (touched.count(e) && !base.count(e))
            chosen.push_back(e);
    m_editor->setSelection(std::move(chosen), false);
}

void EditGesture::scrollAtEdge(const QPoint& pos)
{
    const QWidget* w = widget(m_surface);
    if (pos.x() < kScrollZone)
        m_editor->scrollToX(m_editor->xOffset() - kScrollZone);
    else if (pos.x() > w->width() - kScrollZone)
        m_editor->scrollToX(m_editor->xOffset() + kScrollZone);
    if (m_surface != Notes)
        return;
    if (pos.y() < kScrollZone)
        m_editor->scrollToY(m_editor->yOffset() - kScrollZone);
    else if (pos.y() > w->height() - kScrollZone)
        m_editor->scrollToY(m_editor->yOffset() + kScrollZone);
}

void EditGesture::drawAcrossLane()
{
    // Drawing a value over the lane changes the other bars the pointer passes as well.
    EventLane* lane = m_editor->eventLane();
    MidiClip* clip = m_editor->clip();
    if (!clip)
        return;
    const int x = toView(Lane, m_pointer).x();
    const int value = resized(*m_created, offsets()).value;
    for (MidiEvent* e = clip->sequence().first(); e; e = e->next()) {
        if (!lane->shows(e))
            continue;
        const QRect bar = lane->barRect(e);
        if (bar.left() > x)
            break;
        if (x > bar.right())
            continue;
        auto found = std::find_if(m_drawnOver.begin(), m_drawnOver.end(),
                                  [e](const auto& pair) { return pair.first == e; });
        if (found == m_drawnOver.end())
            m_drawnOver.emplace_back(e, value);
        else
            found->second = value;
    }
}

void EditGesture::release(Surface surface, const QPoint& pos, Qt::KeyboardModifiers modifiers)
{
    (void)modifiers;
    const State state = m_state;
    if (state == Idle || state == KeyboardMove)
        return;
    if (!isCurrent()) {
        cancel();
        return;
    }
    if (state != Pressed && surface == m_surface)
        m_pointer = toContent(surface, pos);
    switch (state) {
    case Pressed:
        click(pos, m_modifiers);
        break;
    case RubberBand:
        dragRubberBand(toView(m_surface, m_pointer), m_modifiers);
        emit m_editor->selectNotifySignal(m_editor);
        break;
    case Moving:
        commitMove();
        break;
    case Resizing:
        commitResize();
        break;
    case Pasting:
        commitPaste();
        break;
    default:
        break;
    }
    finish();
}

void EditGesture::click(const QPoint& pos, Qt::KeyboardModifiers modifiers)
{
    (void)pos;
    modifiers &= Qt::ShiftModifier | Qt::ControlModifier;
    if (m_created) {
        commitResize(); // a drawn event of its first size is an "edit"
    } else if (m_hit) {
        m_editor->select(m_hit, modifiers);
    } else {
        // Empty space: the play position goes to the clicked time on the grid.
        const uint32_t tick = m_editor->snapDown(tickAt(m_anchor.x()));
        m_editor->locateTo(m_editor->scale().tickToFrame(tick));
        if (!modifiers)
            m_editor->clearSelection();
    }
}

void EditGesture::cancel()
{
    if (m_editor->isKeyboardMoving())
        cancelKeyboardMove();
    finish();
}

void EditGesture::finish()
{
    m_state = Idle;
    m_mode = Body;
    m_hit = nullptr;
    m_created.reset();
    m_drawnOver.clear();
    m_bandBase.clear();
    m_editor->releaseNote();
    m_editor->noteView()->unsetCursor();
    m_editor->eventLane()->unsetCursor();
    m_editor->noteView()->update();
    m_editor->eventLane()->update();
}

void EditGesture::setCursor(Qt::CursorShape shape)
{
    widget(m_surface)->setCursor(shape);
}

void EditGesture::setPixmapCursor(const char* image, QPoint hotSpot, Qt::CursorShape fallback)
{
    const QPixmap pixmap{QLatin1String(image)};
    if (pixmap.isNull())
        widget(m_surface)->setCursor(fallback);
    else
        widget(m_surface)->setCursor(QCursor(pixmap, hotSpot.x(), hotSpot.y()));
}

// ---------------------------------------------------------------------------------------------
// Keyboard move

bool EditGesture::keyboardMove(int steps, int notes)
{
    if (m_state != Idle && m_state != KeyboardMove)
        return false;
    if (m_editor->selection().empty())
        return false;
    if (m_state == Idle)
        remember();
    else if (!isCurrent())
        m_keyTicks = m_keyNotes = 0; // the selection was edited meanwhile: start again
    m_state = KeyboardMove;
    m_surface = Notes;
    m_keyTicks += int64_t(steps) * m_editor->gridStep();
    m_keyNotes += notes;
    m_editor->noteView()->setCursor(Qt::SizeAllCursor);
    m_editor->noteView()->update();
    m_editor->eventLane()->update();
    return true;
}

void EditGesture::cancelKeyboardMove()
{
    m_keyTicks = 0;
    m_keyNotes = 0;
    if (m_state == KeyboardMove)
        finish();
}

bool EditGesture::commitKeyboardMove()
{
    if (m_state != KeyboardMove)
        return false;
    const bool committed = isCurrent() && commitMove();
    cancelKeyboardMove();
    return committed;
}

// ---------------------------------------------------------------------------------------------
// Copy and paste

bool EditGesture::copySelection()
{
    const std::vector<MidiEvent*>& chosen = m_editor->selection();
    if (chosen.empty())
        return false;
    uint32_t first = UINT32_MAX;
    for (const MidiEvent* e : chosen)
        first = std::min(first, m_editor->sessionTick(e->time));
    auto& list = copies();
    list.clear();
    for (const MidiEvent* e : chosen) {
        auto copy = e->clone();
        const uint32_t tick = m_editor->sessionTick(e->time);
        copy->time = tick - first;
        copy->duration = e->isNote() ? m_editor->sessionTick(e->endTime()) - tick : 0;
        list.push_back(std::move(copy));
    }
    std::stable_sort(list.begin(), list.end(),
                     [](const auto& a, const auto& b) { return a->time < b->time; });
    return true;
}

bool EditGesture::hasCopies()
{
    return !copies().empty();
}

bool EditGesture::startPaste(Surface surface, const QPoint& pos)
{
    if (copies().empty() || !m_editor->clip() || (m_state != Idle && m_state != KeyboardMove))
        return false;
    cancel();
    remember();
    m_surface = surface;
    m_state = Pasting;
    m_anchor = m_pointer = toContent(surface, pos);
    setPixmapCursor(":/images/edit-paste.png", QPoint(0, 0), Qt::DragCopyCursor);
    m_editor->noteView()->update();
    m_editor->eventLane()->update();
    return true;
}

// ---------------------------------------------------------------------------------------------
// Drag copies

EditGesture::Shape EditGesture::shapeOf(const MidiEvent& event) const
{
    Shape shape;
    shape.tick = m_editor->sessionTick(event.time);
    shape.ticks = event.isNote() ? m_editor->sessionTick(event.endTime()) - shape.tick : 0;
    shape.key = event.data1;
    shape.value = MidiEditCommand::valueOf(&event);
    return shape;
}

EditGesture::Shape EditGesture::moved(const MidiEvent& event, const Offsets& o) const
{
    Shape shape = shapeOf(event);
    shape.tick = uint32_t(std::max<int64_t>(0, int64_t(shape.tick) + o.snappedTicks));
    // Pitches move in the note view only; the lane moves events in time.
    if (m_surface == Notes && event.isNote())
        shape.key = std::clamp(shape.key + o.rows, 0, 127);
    return shape;
}

EditGesture::Shape EditGesture::resized(const MidiEvent& event, const Offsets& o) const
{
    Shape shape = shapeOf(event);
    const int64_t start = shape.tick;
    const int64_t end = start + shape.ticks;
    switch (m_mode) {
    case EndEdge: {
        const auto target = uint32_t(std::max<int64_t>(0, end + o.rawTicks));
        shape.ticks = uint32_t(std::max<int64_t>(1, int64_t(m_editor->snapDown(target)) - start));
        break;
    }
    case StartEdge: {
        const auto target = uint32_t(std::max<int64_t>(0, start + o.rawTicks));
        shape.tick = m_editor->snapDown(target);
        shape.ticks = uint32_t(std::max<int64_t>(1, end - int64_t(shape.tick)));
        break;
    }
    case Value:
        shape.value = std::clamp(shape.value + o.value, 0, 127);
        break;
    case BendDown:
    case BendUp:
        shape.value = std::clamp(shape.value + o.value, -kBendLimit, kBendLimit);
        break;
    case Body:
        break;
    }
    return shape;
}

EditGesture::Shape EditGesture::pasted(const MidiEvent& copy, const Offsets& o) const
{
    (void)o;
    // The earliest copied event lands on the grid line left of the pointer, the first copied
    // note on the pointer's row.
    const auto& list = copies();
    Shape shape;
    shape.tick = m_editor->snapDown(tickAt(m_pointer.x())) + copy.time;
    shape.ticks = copy.duration;
    shape.key = copy.data1;
    shape.value = MidiEditCommand::valueOf(&copy);
    if (m_surface == Notes && copy.isNote()) {
        const auto firstNote =
            std::find_if(list.begin(), list.end(), [](const auto& e) { return e->isNote(); });
        const int row = std::clamp(rowAt(m_pointer.y()), 0, 127);
        const int shift = m_editor->noteOfRow(row) - (*firstNote)->data1;
        shape.key = std::clamp(copy.data1 + shift, 0, 127);
    }
    return shape;
}

void EditGesture::forEachCopy(const std::function<void(const MidiEvent&, const Shape&)>& f) const
{
    if (m_state == Pasting) {
        for (const auto& copy : copies())
            f(*copy, pasted(*copy, Offsets()));
        return;
    }
    if (m_state == KeyboardMove) {
        Offsets o;
        o.snappedTicks = m_keyTicks;
        o.rows = m_keyNotes;
        for (const MidiEvent* e : m_editor->selection())
            f(*e, moved(*e, o));
        return;
    }
    if (m_state != Moving && m_state != Resizing && !(m_state == Pressed && m_created))
        return;
    const Offsets o = offsets();
    if (m_created) {
        f(*m_created, resized(*m_created, o));
        for (const auto& [event, value] : m_drawnOver) {
            Shape shape = shapeOf(*event);
            shape.value = value;
            f(*event, shape);
        }
        return;
    }
    for (const MidiEvent* e : m_editor->selection())
        f(*e, m_state == Moving ? moved(*e, o) : resized(*e, o));
}

QRect EditGesture::rubberBand(Surface surface) const
{
    if (m_state != RubberBand || surface != m_surface)
        return QRect();
    return QRect(toView(surface, m_anchor), toView(surface, m_pointer)).normalized();
}

// ---------------------------------------------------------------------------------------------
// Commits: one command per gesture, pushed on the session's undo list.

bool EditGesture::commitMove()
{
    MidiClip* clip = m_editor->clip();
    if (!clip)
        return false;
    Offsets o = offsets();
    if (m_state == KeyboardMove) {
        o = Offsets();
        o.snappedTicks = m_keyTicks;
        o.rows = m_keyNotes;
    }
    auto command = std::make_unique<MidiEditCommand>(clip, QStringLiteral("move"));
    for (MidiEvent* e : m_editor->selection()) {
        const Shape shape = moved(*e, o);
        const uint32_t time = m_editor->eventTime(shape.tick);
        if (time != e->time || shape.key != e->data1)
            command->setKeyTime(e, uint8_t(shape.key), time);
    }
    return m_editor->pushEdit(std::move(command));
}

bool EditGesture::commitResize()
{
    MidiClip* clip = m_editor->clip();
    if (!clip)
        return false;
    const Offsets o = offsets();
    auto setShape = [this](MidiEditCommand& command, MidiEvent* e, const Shape& shape) {
        const uint32_t time = m_editor->eventTime(shape.tick);
        const uint32_t end = m_editor->eventTime(shape.tick + shape.ticks);
        const uint32_t length = e->isNote() ? std::max<uint32_t>(1, end - time) : 0;
        if (time != e->time || length != e->duration)
            command.setTimeLength(e, time, length);
        if (shape.value != MidiEditCommand::valueOf(e))
            command.setValue(e, shape.value);
    };
    if (m_created) {
        // A drawn event enters as drawn; the bars it was drawn across take its value.
        const Shape shape = resized(*m_created, o);
        MidiEvent* drawn = m_created.get();
        drawn->time = m_editor->eventTime(shape.tick);
        if (drawn->isNote()) {
            const uint32_t end = m_editor->eventTime(shape.tick + shape.ticks);
            drawn->duration = std::max<uint32_t>(1, end - drawn->time);
        }
        if (drawn->status == MidiEvent::PitchBend) {
            const int raw = shape.value + 8192;
            drawn->data1 = uint8_t(raw & 0x7F);
            drawn->data2 = uint8_t((raw >> 7) & 0x7F);
        } else if (!drawn->isNote() || m_surface == Lane) {
            drawn->data2 = uint8_t(std::clamp(shape.value, 0, 127));
        }
        auto command = std::make_unique<MidiEditCommand>(clip, QStringLiteral("edit"));
        command->insert(std::move(m_created));
        for (const auto& [event, value] : m_drawnOver)
            command->setValue(event, value);
        m_hit = nullptr;
        const bool pushed = m_editor->pushEdit(std::move(command));
        if (pushed)
            m_editor->select(drawn, Qt::NoModifier);
        return pushed;
    }
    auto command = std::make_unique<MidiEditCommand>(clip, QStringLiteral("resize"));
    for (MidiEvent* e : m_editor->selection())
        setShape(*command, e, resized(*e, o));
    return m_editor->pushEdit(std::move(command));
}

bool EditGesture::commitPaste()
{
    MidiClip* clip = m_editor->clip();
    if (!clip)
        return false;
    auto command = std::make_unique<MidiEditCommand>(clip, QStringLiteral("paste"));
    std::vector<MidiEvent*> added;
    for (const auto& copy : copies()) {
        const Shape shape = pasted(*copy, Offsets());
        auto event = copy->clone();
        event->time = m_editor->eventTime(shape.tick);
        if (event->isNote()) {
            const uint32_t end = m_editor->eventTime(shape.tick + shape.ticks);
            event->duration = std::max<uint32_t>(1, end - event->time);
            event->data1 = uint8_t(shape.key);
        }
        added.push_back(event.get());
        command->insert(std::move(event));
    }
    if (!m_editor->pushEdit(std::move(command)))
        return false;
    m_editor->setSelection(std::move(added), true);
    return true;
}
