#include "clip_command.h"

#include "clip.h"
#include "command_list.h"
#include "session.h"
#include "track.h"

#include <algorithm>
#include <utility>

/** One clip operation: the values it will set next and what it needs to set them. */
struct ClipCommand::Operation
{
    Kind kind;
    Clip* clip;
    Track* track = nullptr;      // add / remove: the clip's track; move: the track to go to
    std::unique_ptr<Clip> owned; // add / remove: the clip while it is out of its track
    uint32_t start = 0;
    uint32_t offset = 0;
    uint32_t length = 0;
    uint32_t fadeIn = 0;
    uint32_t fadeOut = 0;
    int shape = 0;
    float value = 0.0f; // gain, stretch factor, pitch shift; resize: stretch factor
    QString text;       // name, file path
    uint16_t fileTrack = 0;
    std::unique_ptr<Command> midiEdit; // resize of a clip on a MIDI track by a factor
    bool midiEditApplied = false;
    bool tookBank = false, tookProgram = false; // add: the track took the clip's instrument
    bool moved = false;     // the operation has moved the clip in its list at least once
    Clip* before = nullptr; // the clip that preceded it then (none: it was first)
};

namespace {

// A fade length moved with the material: base + delta, or 0 when that is not positive.
uint32_t movedFade(uint32_t fade, int64_t delta)
{
    const int64_t moved = int64_t(fade) + delta;
    return moved > 0 ? uint32_t(std::min<int64_t>(moved, UINT32_MAX)) : 0;
}

} // namespace

ClipCommand::ClipCommand(Session* session, const QString& name) : Command(name), m_session(session)
{
}

ClipCommand::~ClipCommand() = default;

bool ClipCommand::push(Session* session, std::unique_ptr<ClipCommand> command)
{
    if (!session || !command || command->isEmpty())
        return false;
    return session->push(std::move(command));
}

void ClipCommand::addSubCommand(std::unique_ptr<Command> command)
{
    if (command)
        m_subCommands.push_back(std::move(command));
}

ClipCommand::Operation& ClipCommand::append(Kind kind, Clip* clip)
{
    m_operations.push_back(std::make_unique<Operation>());
    Operation& op = *m_operations.back();
    op.kind = kind;
    op.clip = clip;
    return op;
}

ClipCommand::Kind ClipCommand::operationKind(int index) const
{
    return m_operations[size_t(index)]->kind;
}

Clip* ClipCommand::operationClip(int index) const
{
    return m_operations[size_t(index)]->clip;
}

bool ClipCommand::ownsObject() const
{
    for (const auto& op : m_operations)
        if (op->owned)
            return true;
    for (const auto& command : m_subCommands)
        if (command->ownsObject())
            return true;
    return false;
}

// ---------------------------------------------------------------------------------------------
// Building

void ClipCommand::addClip(std::unique_ptr<Clip> clip, Track* track)
{
    if (!clip || !track)
        return;
    Operation& op = append(Add, clip.get());
    op.track = track;
    op.owned = std::move(clip);
}

void ClipCommand::removeClip(Clip* clip)
{
    if (!clip || !clip->track())
        return;
    append(Remove, clip).track = clip->track();
}

void ClipCommand::changeFile(Clip* clip, const QString& path, uint16_t fileTrack)
{
    if (!clip)
        return;
    Operation& op = append(File, clip);
    op.text = path;
    op.fileTrack = fileTrack;
}

void ClipCommand::rename(Clip* clip, const QString& name)
{
    if (clip)
        append(Name, clip).text = name;
}

void ClipCommand::move(Clip* clip, Track* track, uint32_t start, uint32_t offset, uint32_t length)
{
    if (!clip || !track || !clip->track())
        return;
    Operation& op = append(Move, clip);
    op.track = track;
    op.start = start;
    op.offset = offset;
    op.length = length;
    op.fadeIn = offset == clip->offset() ? clip->fadeIn() : 0;
    op.fadeOut = uint64_t(offset) + length == uint64_t(clip->offset()) + clip->length()
                     ? clip->fadeOut()
                     : 0;
}

void ClipCommand::resize(Clip* clip, uint32_t start, uint32_t offset, uint32_t length, float factor)
{
    const bool onMidi = clip && clip->track() && clip->track()->isMidi();
    resize(clip, start, offset, length, factor,
           onMidi && factor > 0 ? clip->makeStretchEdit(factor) : nullptr);
}

void ClipCommand::resize(Clip* clip, uint32_t start, uint32_t offset, uint32_t length, float factor,
                         std::unique_ptr<Command> midiEdit)
{
    if (!clip)
        return;
    Operation& op = append(Resize, clip);
    op.start = start;
    op.offset = offset;
    op.length = length;
    op.fadeIn = movedFade(clip->fadeIn(), int64_t(clip->offset()) - offset);
    op.fadeOut = movedFade(clip->fadeOut(),
                           (int64_t(offset) + length) - (int64_t(clip->offset()) + clip->length()));
    op.value = factor > 0 ? factor : 0.0f;
    op.midiEdit = std::move(midiEdit);
}

void ClipCommand::setGain(Clip* clip, float gain)
{
    if (clip)
        append(Gain, clip).value = gain;
}

void ClipCommand::setFadeIn(Clip* clip, uint32_t length, int shape)
{
    if (!clip)
        return;
    Operation& op = append(FadeIn, clip);
    op.fadeIn = length;
    op.shape = shape;
}

void ClipCommand::setFadeOut(Clip* clip, uint32_t length, int shape)
{
    if (!clip)
        return;
    Operation& op = append(FadeOut, clip);
    op.fadeOut = length;
    op.shape = shape;
}

void ClipCommand::stretch(Clip* clip, float factor)
{
    if (clip)
        append(Stretch, clip).value = factor;
}

void ClipCommand::pitch(Clip* clip, float shift)
{
    if (clip)
        append(Pitch, clip).value = shift;
}

void ClipCommand::setLength(Clip* clip, uint32_t length)
{
    if (!clip)
        return;
    Operation& op = append(Length, clip);
    op.length = length;
    op.fadeOut = movedFade(clip->fadeOut(), int64_t(length) - clip->length());
}

// ---------------------------------------------------------------------------------------------
// Running

bool ClipCommand::apply()
{
    EditLock lock(m_session);
    for (auto& command : m_subCommands)
        command->apply();
    for (auto& op : m_operations)
        run(*op);
    if (m_session)
        m_session->updateEnd(0);
    return true;
}

bool ClipCommand::revert()
{
    EditLock lock(m_session);
    for (auto op = m_operations.rbegin(); op != m_operations.rend(); ++op)
        run(**op);
    for (auto command = m_subCommands.rbegin(); command != m_subCommands.rend(); ++command)
        (*command)->revert();
    if (m_session)
        m_session->updateEnd(0);
    return true;
}

void ClipCommand::run(Operation& op)
{
    Clip* clip = op.clip;
    switch (op.kind) {
    case Add:
    case Remove:
        swapMembership(op);
        break;
    case File:
        swapFile(op);
        break;
    case Name: {
        const QString name = clip->name();
        clip->setName(op.text);
        op.text = name;
        break;
    }
    case Move:
        swapPlace(op);
        break;
    case Resize:
        swapSize(op);
        break;
    case Gain: {
        const float gain = clip->gain();
        clip->setGain(op.value);
        op.value = gain;
        break;
    }
    case FadeIn:
    case FadeOut:
        swapFade(op);
        break;
    case Stretch:
    case Pitch: {
        const bool stretch = op.kind == Stretch;
        const float old = stretch ? clip->stretchFactor() : clip->pitchShift();
        stretch ? clip->setStretchFactor(op.value) : clip->setPitchShift(op.value);
        op.value = old;
        clip->reload();
        changed(clip->track());
        break;
    }
    case Length:
        swapLength(op);
        break;
    }
}

void ClipCommand::changed(Track* track)
{
    if (track && track->session())
        track->session()->trackChanged(track);
}

// Add and remove are the same swap from opposite starts: an owned clip goes in, a clip on its
// track comes out and is owned.
void ClipCommand::swapMembership(Operation& op)
{
    if (op.owned) {
        place(op.track, op.owned.release(), op);
        takeInstrument(op);
    } else {
        op.track = op.clip->track();
        giveBackInstrument(op);
        op.before = op.clip->prev();
        op.track->removeClip(op.clip);
        op.owned.reset(op.clip);
        op.moved = true;
    }
    changed(op.track);
}

// Adds the clip by its start; once the operation has moved it, right after op.before (first
// when none), where it stood before: only clips of the same start can lie between, and they
// go behind it again. Undo thus gives clips of equal start their order back, which the
// cursors depend on. The list runs commands strictly back and forth, so op.before is on the
// track whenever it is asked for.
void ClipCommand::place(Track* track, Clip* clip, Operation& op)
{
    Clip* after = op.before;
    const bool restore = op.moved;
    track->addClip(clip);
    if (!restore || (after && after->start() > clip->start()))
        return;
    auto next = [&] { return after ? after->next() : track->firstClip(); };
    for (Clip* x = next(); x && x != clip && x->start() == clip->start(); x = next())
        track->reorderClip(x);
}

void ClipCommand::takeInstrument(Operation& op)
{
    Track* track = op.track;
    if (!track->isMidi())
        return;
    Track::Properties props = track->properties();
    op.tookBank = props.bank < 0 && op.clip->bank() >= 0;
    op.tookProgram = props.program < 0 && op.clip->program() >= 0;
    if (op.tookBank)
        props.bank = op.clip->bank();
    if (op.tookProgram)
        props.program = op.clip->program();
    if (op.tookBank || op.tookProgram)
        track->setProperties(props);
}

void ClipCommand::giveBackInstrument(Operation& op)
{
    if (!op.tookBank && !op.tookProgram)
        return;
    Track::Properties props = op.track->properties();
    if (op.tookBank)
        props.bank = -1;
    if (op.tookProgram)
        props.program = -1;
    op.track->setProperties(props);
    op.tookBank = op.tookProgram = false;
}

void ClipCommand::swapFile(Operation& op)
{
    Clip* clip = op.clip;
    const QString path = clip->filePath();
    const uint16_t fileTrack = clip->fileTrackNumber();
    clip->setFilePath(op.text);
    clip->setFileTrackNumber(op.fileTrack);
    op.text = path;
    op.fileTrack = fileTrack;
    clip->reload();
    changed(clip->track());
}

// Move: the clip leaves its track, takes the stored place and joins the stored track.
void ClipCommand::swapPlace(Operation& op)
{
    Clip* clip = op.clip;
    Track* from = clip->track();
    Track* to = op.track;
    const uint32_t start = clip->start(), offset = clip->offset(), length = clip->length();
    const uint32_t fadeIn = clip->fadeIn(), fadeOut = clip->fadeOut();
    Clip* before = clip->prev();
    from->removeClip(clip);
    clip->setStart(op.start);
    clip->setOffset(op.offset);
    clip->setLength(op.length);
    clip->setFadeIn(op.fadeIn);
    clip->setFadeOut(op.fadeOut);
    place(to, clip, op);
    op.before = before;
    op.moved = true;
    op.track = from;
    op.start = start;
    op.offset = offset;
    op.length = length;
    op.fadeIn = fadeIn;
    op.fadeOut = fadeOut;
    changed(from);
    if (to != from)
        changed(to);
}

void ClipCommand::swapSize(Operation& op)
{
    Clip* clip = op.clip;
    const uint32_t start = clip->start(), offset = clip->offset(), length = clip->length();
    const uint32_t fadeIn = clip->fadeIn(), fadeOut = clip->fadeOut();
    Clip* before = clip->prev();
    // The factor first: an audio clip rescales its length to a new factor, and the sizes given
    // here are already those of the new factor.
    if (!op.midiEdit && op.value > 0) {
        const float factor = clip->stretchFactor();
        clip->setStretchFactor(op.value);
        op.value = factor;
    }
    clip->setStart(op.start);
    clip->setOffset(op.offset);
    clip->setLength(op.length);
    clip->setFadeIn(op.fadeIn);
    clip->setFadeOut(op.fadeOut);
    if (op.midiEdit) {
        // The events change with the clip instead of being read again.
        op.midiEditApplied ? op.midiEdit->revert() : op.midiEdit->apply();
        op.midiEditApplied = !op.midiEditApplied;
    } else {
        clip->reload();
    }
    if (Track* track = clip->start() != start ? clip->track() : nullptr) {
        track->removeClip(clip);
        place(track, clip, op);
        op.before = before;
        op.moved = true;
    }
    op.start = start;
    op.offset = offset;
    op.length = length;
    op.fadeIn = fadeIn;
    op.fadeOut = fadeOut;
    changed(clip->track());
}

void ClipCommand::swapFade(Operation& op)
{
    Clip* clip = op.clip;
    if (op.kind == FadeIn) {
        const uint32_t length = clip->fadeIn();
        const int shape = clip->fadeInShape();
        clip->setFadeIn(op.fadeIn, op.shape);
        op.fadeIn = length;
        op.shape = shape;
    } else {
        const uint32_t length = clip->fadeOut();
        const int shape = clip->fadeOutShape();
        clip->setFadeOut(op.fadeOut, op.shape);
        op.fadeOut = length;
        op.shape = shape;
    }
}

void ClipCommand::swapLength(Operation& op)
{
    Clip* clip = op.clip;
    const uint32_t length = clip->length(), fadeOut = clip->fadeOut();
    clip->setLength(op.length);
    clip->setFadeOut(op.fadeOut);
    op.length = length;
    op.fadeOut = fadeOut;
    clip->reload();
    changed(clip->track());
}
