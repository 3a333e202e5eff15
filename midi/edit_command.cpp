#include "edit_command.h"

#include "engine.h"
#include "midi_clip.h"
#include "rounding.h"
#include "session.h"
#include "track.h"

#include <algorithm>

/** One event edit: the values it sets next, and where the event stood before it last moved. */
struct vx22EditCommand::Edit
{
    Kind kind;
    vx22Event* event;
    std::unique_ptr<vx22Event> owned; // insert / remove: the event while it is out
    uint8_t key = 0;
    uint32_t time = 0;
    uint32_t duration = 0;
    int value = 0;
    bool moved = false;          // the edit has moved the event at least once
    vx22Event* before = nullptr; // the event that preceded it then (none: it was first)
};

vx22EditCommand::vx22EditCommand(vx22Clip* clip, const QString& name) : vx30(name), m_clip(clip) {}

vx22EditCommand::~vx22EditCommand() = default;

vx22EditCommand::Edit& vx22EditCommand::append(Kind kind, vx22Event* event)
{
    m_edits.push_back(std::make_unique<Edit>());
    Edit& edit = *m_edits.back();
    edit.kind = kind;
    edit.event = event;
    return edit;
}

bool vx22EditCommand::ownsObject() const
{
    for (const auto& edit : m_edits)
        if (edit->owned)
            return true;
    return false;
}

int vx22EditCommand::valueOf(const vx22Event* event)
{
    if (event->status == vx22Event::PitchBend)
        return ((event->data2 & 0x7F) << 7 | (event->data1 & 0x7F)) - 8192;
    return event->data2;
}

// ---------------------------------------------------------------------------------------------
// Building

std::unique_ptr<vx22EditCommand> vx22EditCommand::stretch(vx22Clip* clip, float factor)
{
    if (!clip || !(factor > 0))
        return nullptr;
    vx22Sequence& sequence = clip->sequence();
    // The material's length in the sequence's ticks, as the clip counts it when it closes.
    uint32_t end = UINT32_MAX;
    if (vx20* s = clip->track() ? clip->track()->session() : nullptr) {
        vx29& scale = s->scale();
        const uint32_t ticks =
            scale.frameToTick(clip->start() + clip->length()) - scale.frameToTick(clip->start());
        end = vx22Sequence::convert(ticks, sequence.resolution(), scale.ticksPerBeat());
    }
    auto command = std::make_unique<vx22EditCommand>(clip, QStringLiteral("stretch"));
    for (vx22Event* e = sequence.first(); e && e->time < end; e = e->next()) {
        const uint32_t time = roundToU32(static_cast<long double>(e->time) * factor);
        const uint32_t duration =
            e->isNote() ? roundToU32(static_cast<long double>(e->duration) * factor) : e->duration;
        if (time != e->time || duration != e->duration)
            command->setTimeLength(e, time, duration);
    }
    return command->isEmpty() ? nullptr : std::move(command);
}

void vx22EditCommand::insert(std::unique_ptr<vx22Event> event)
{
    if (!event)
        return;
    Edit& edit = append(Insert, event.get());
    edit.owned = std::move(event);
}

void vx22EditCommand::remove(vx22Event* event)
{
    if (event)
        append(Remove, event);
}

void vx22EditCommand::setKeyTime(vx22Event* event, uint8_t key, uint32_t time)
{
    if (!event)
        return;
    Edit& edit = append(KeyTime, event);
    edit.key = std::min<uint8_t>(key, 127);
    edit.time = time;
}

void vx22EditCommand::setTimeLength(vx22Event* event, uint32_t time, uint32_t duration)
{
    if (!event)
        return;
    Edit& edit = append(TimeLength, event);
    edit.time = time;
    edit.duration = duration;
}

void vx22EditCommand::setValue(vx22Event* event, int value)
{
    if (!event)
        return;
    const bool bend = event->status == vx22Event::PitchBend;
    append(Value, event).value = bend ? std::clamp(value, -8192, 8191) : std::clamp(value, 0, 127);
}

// ---------------------------------------------------------------------------------------------
// Running

bool vx22EditCommand::apply()
{
    return run(true);
}

bool vx22EditCommand::revert()
{
    return run(false);
}

bool vx22EditCommand::run(bool forward)
{
    if (!m_clip)
        return false;
    vx20* session = m_clip->track() ? m_clip->track()->session() : nullptr;
    vx30::EditLock lock(session);
    silence(true);
    if (forward) {
        for (auto& edit : m_edits)
            runEdit(*edit);
    } else {
        for (auto edit = m_edits.rbegin(); edit != m_edits.rend(); ++edit)
            runEdit(**edit);
    }
    m_clip->setModified(true);
    silence(false);
    return true;
}

void vx22EditCommand::silence(bool on)
{
    vx18* track = m_clip->track();
    vx20* session = track ? track->session() : nullptr;
    if (!session || !session->isPlaying())
        return;
    session->midiEngine()->trackAudibilityChanged(track, on ? false : session->isAudible(track));
}

void vx22EditCommand::runEdit(Edit& edit)
{
    switch (edit.kind) {
    case Insert:
    case Remove:
        swapMembership(edit);
        break;
    case KeyTime:
    case TimeLength:
        swapTime(edit);
        break;
    case Value:
        swapValue(edit);
        break;
    }
}

bool vx22EditCommand::isOut(const vx22Event* event) const
{
    for (const auto& edit : m_edits)
        if (edit->owned.get() == event)
            return true;
    return false;
}

// Inserts the event in time order. When restore is set, it goes right after `after` (first when
// none), where it stood before the edit last moved it: only events of its own time can lie
// between, and they go behind it again. The undo list runs edits strictly back and forth, so
// `after` is in the sequence whenever it is asked for.
void vx22EditCommand::reinsert(std::unique_ptr<vx22Event> owned, bool restore, vx22Event* after)
{
    vx22Sequence& sequence = m_clip->sequence();
    vx22Event* event = sequence.insert(std::move(owned));
    if (!restore || (after && after->time > event->time))
        return;
    auto next = [&] { return after ? after->next() : sequence.first(); };
    for (vx22Event* x = next(); x && x != event && x->time == event->time; x = next())
        sequence.insert(sequence.take(x));
}

void vx22EditCommand::swapMembership(Edit& edit)
{
    if (edit.owned) {
        reinsert(std::move(edit.owned), edit.moved, edit.before);
    } else {
        edit.before = edit.event->prev();
        edit.owned = m_clip->sequence().take(edit.event);
    }
    edit.moved = true;
}

void vx22EditCommand::swapTime(Edit& edit)
{
    vx22Event* e = edit.event;
    const uint8_t key = e->data1;
    const uint32_t time = e->time, duration = e->duration;
    // An event this command holds out of the sequence changes without re-sorting.
    const bool out = isOut(e);
    vx22Event* before = e->prev();
    std::unique_ptr<vx22Event> owned = out ? nullptr : m_clip->sequence().take(e);
    if (edit.kind == KeyTime)
        e->data1 = edit.key;
    else if (e->isNote())
        e->duration = edit.duration;
    e->time = edit.time;
    if (!out) {
        reinsert(std::move(owned), edit.moved, edit.before);
        edit.before = before;
        edit.moved = true;
    }
    edit.key = key;
    edit.time = time;
    edit.duration = duration;
}

void vx22EditCommand::swapValue(Edit& edit)
{
    vx22Event* e = edit.event;
    const int value = valueOf(e);
    if (e->status == vx22Event::PitchBend) {
        const int raw = edit.value + 8192;
        e->data1 = uint8_t(raw & 0x7F);
        e->data2 = uint8_t((raw >> 7) & 0x7F);
    } else {
        e->data2 = uint8_t(edit.value);
    }
    edit.value = value;
}
