#include "midi_edit_command.h"

#include "engine.h"
#include "midi_clip.h"
#include "rounding.h"
#include "session.h"
#include "track.h"

#include <algorithm>

/** One event edit: the values it sets next, and where the event stood before it last moved. */
struct MidiEditCommand::Edit
{
    Kind kind;
    MidiEvent* event;
    std::unique_ptr<MidiEvent> owned; // insert / remove: the event while it is out
    uint8_t key = 0;
    uint32_t time = 0;
    uint32_t duration = 0;
    int value = 0;
    bool moved = false;          // the edit has moved the event at least once
    MidiEvent* before = nullptr; // the event that preceded it then (none: it was first)
};

MidiEditCommand::MidiEditCommand(MidiClip* clip, const QString& name) : Command(name), m_clip(clip)
{
}

MidiEditCommand::~MidiEditCommand() = default;

MidiEditCommand::Edit& MidiEditCommand::append(Kind kind, MidiEvent* event)
{
    m_edits.push_back(std::make_unique<Edit>());
    Edit& edit = *m_edits.back();
    edit.kind = kind;
    edit.event = event;
    return edit;
}

bool MidiEditCommand::ownsObject() const
{
    for (const auto& edit : m_edits)
        if (edit->owned)
            return true;
    return false;
}

int MidiEditCommand::valueOf(const MidiEvent* event)
{
    if (event->status == MidiEvent::PitchBend)
        return ((event->data2 & 0x7F) << 7 | (event->data1 & 0x7F)) - 8192;
    return event->data2;
}

// ---------------------------------------------------------------------------------------------
// Building

std::unique_ptr<MidiEditCommand> MidiEditCommand::stretch(MidiClip* clip, float factor)
{
    if (!clip || !(factor > 0))
        return nullptr;
    MidiSequence& sequence = clip->sequence();
    // The material's length in the sequence's ticks, as the clip counts it when it closes.
    uint32_t end = UINT32_MAX;
    if (Session* s = clip->track() ? clip->track()->session() : nullptr) {
        TimeScale& scale = s->scale();
        const uint32_t ticks =
            scale.frameToTick(clip->start() + clip->length()) - scale.frameToTick(clip->start());
        end = MidiSequence::convert(ticks, sequence.resolution(), scale.ticksPerBeat());
    }
    auto command = std::make_unique<MidiEditCommand>(clip, QStringLiteral("stretch"));
    for (MidiEvent* e = sequence.first(); e && e->time < end; e = e->next()) {
        const uint32_t time = roundToU32(static_cast<long double>(e->time) * factor);
        const uint32_t duration =
            e->isNote() ? roundToU32(static_cast<long double>(e->duration) * factor) : e->duration;
        if (time != e->time || duration != e->duration)
            command->setTimeLength(e, time, duration);
    }
    return command->isEmpty() ? nullptr : std::move(command);
}

void MidiEditCommand::insert(std::unique_ptr<MidiEvent> event)
{
    if (!event)
        return;
    Edit& edit = append(Insert, event.get());
    edit.owned = std::move(event);
    ++m_heldOut;
}

void MidiEditCommand::remove(MidiEvent* event)
{
    if (event)
        append(Remove, event);
}

void MidiEditCommand::setKeyTime(MidiEvent* event, uint8_t key, uint32_t time)
{
    if (!event)
        return;
    Edit& edit = append(KeyTime, event);
    edit.key = std::min<uint8_t>(key, 127);
    edit.time = time;
}

void MidiEditCommand::setTimeLength(MidiEvent* event, uint32_t time, uint32_t duration)
{
    if (!event)
        return;
    Edit& edit = append(TimeLength, event);
    edit.time = time;
    edit.duration = duration;
}

void MidiEditCommand::setValue(MidiEvent* event, int value)
{
    if (!event)
        return;
    const bool bend = event->status == MidiEvent::PitchBend;
    append(Value, event).value = bend ? std::clamp(value, -8192, 8191) : std::clamp(value, 0, 127);
}

// ---------------------------------------------------------------------------------------------
// Running

bool MidiEditCommand::apply()
{
    return run(true);
}

bool MidiEditCommand::revert()
{
    return run(false);
}

bool MidiEditCommand::run(bool forward)
{
    if (!m_clip)
        return false;
    Session* session = m_clip->track() ? m_clip->track()->session() : nullptr;
    Command::EditLock lock(session);
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

void MidiEditCommand::silence(bool on)
{
    Track* track = m_clip->track();
    Session* session = track ? track->session() : nullptr;
    if (!session || !session->isPlaying())
        return;
    session->midiEngine()->trackAudibilityChanged(track, on ? false : session->isAudible(track));
}

void MidiEditCommand::runEdit(Edit& edit)
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

bool MidiEditCommand::isOut(const MidiEvent* event) const
{
    // Moves and resizes hold nothing out: they need no search, which keeps a move of thousands
    // of notes linear.
    if (m_heldOut == 0)
        return false;
    for (const auto& edit : m_edits)
        if (edit->owned.get() == event)
            return true;
    return false;
}

// Inserts the event in time order. When restore is set, it goes right after `after` (first when
// none), where it stood before the edit last moved it: only events of its own time can lie
// between, and they go behind it again. The undo list runs edits strictly back and forth, so
// `after` is in the sequence whenever it is asked for. near, an event of the sequence close to
// the new place (or null), only shortens the search.
void MidiEditCommand::reinsert(std::unique_ptr<MidiEvent> owned, bool restore, MidiEvent* after,
                               const MidiEvent* near)
{
    MidiSequence& sequence = m_clip->sequence();
    MidiEvent* event = sequence.insert(std::move(owned), restore && after ? after : near);
    if (!restore || (after && after->time > event->time))
        return;
    auto next = [&] { return after ? after->next() : sequence.first(); };
    for (MidiEvent* x = next(); x && x != event && x->time == event->time; x = next())
        sequence.insert(sequence.take(x), event);
}

void MidiEditCommand::swapMembership(Edit& edit)
{
    if (edit.owned) {
        reinsert(std::move(edit.owned), edit.moved, edit.before, nullptr);
        --m_heldOut;
    } else {
        edit.before = edit.event->prev();
        edit.owned = m_clip->sequence().take(edit.event);
        ++m_heldOut;
    }
    edit.moved = true;
}

void MidiEditCommand::swapTime(Edit& edit)
{
    MidiEvent* e = edit.event;
    const uint8_t key = e->data1;
    const uint32_t time = e->time, duration = e->duration;
    // An event this command holds out of the sequence changes without re-sorting.
    const bool out = isOut(e);
    MidiEvent* before = e->prev();
    const MidiEvent* near = before ? before : e->next(); // stays in the sequence
    std::unique_ptr<MidiEvent> owned = out ? nullptr : m_clip->sequence().take(e);
    if (edit.kind == KeyTime)
        e->data1 = edit.key;
    else if (e->isNote())
        e->duration = edit.duration;
    e->time = edit.time;
    if (!out) {
        reinsert(std::move(owned), edit.moved, edit.before, near);
        edit.before = before;
        edit.moved = true;
    }
    edit.key = key;
    edit.time = time;
    edit.duration = duration;
}

void MidiEditCommand::swapValue(Edit& edit)
{
    MidiEvent* e = edit.event;
    const int value = valueOf(e);
    if (e->status == MidiEvent::PitchBend) {
        const int raw = edit.value + 8192;
        e->data1 = uint8_t(raw & 0x7F);
        e->data2 = uint8_t((raw >> 7) & 0x7F);
    } else {
        e->data2 = uint8_t(edit.value);
    }
    edit.value = value;
}
