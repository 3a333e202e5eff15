#include "clip_command.h"

#include "clip.h"
#include "command_list.h"
#include "session.h"
#include "track.h"

#include <algorithm>
#include <utility>

/** One clip operation: the values it will set next and what it needs to set them. */
struct vx21Command::Operation
{
    Kind kind;
    vx21* clip;
    vx18* track = nullptr;       // add / remove: the clip's track; move: the track to go to
    std::unique_ptr<vx21> owned; // add / remove: the clip while it is out of its track
    uint32_t start = 0;
    uint32_t offset = 0;
    uint32_t length = 0;
    uint32_t fadeIn = 0;
    uint32_t fadeOut = 0;
    int shape = 0;
    float value = 0.0f; // gain, stretch factor, pitch shift; resize: stretch factor
    QString text;       // name, file path
    uint16_t fileTrack = 0;
    std::unique_ptr<vx30> midiEdit; // resize of a clip on a MIDI track by a factor
    bool midiEditApplied = false;
    bool tookBank = false, tookProgram = false; // add: the track took the clip's instrument
    bool moved = false;     // the operation has moved the clip in its list at least once
    vx21* before = nullptr; // the clip that preceded it then (none: it was first)
};

namespace {

// A fade length moved with the material: base + delta, or 0 when that is not positive.
uint32_t movedFade(uint32_t fade, int64_t delta)
{
    const int64_t moved = int64_t(fade) + delta;
    return moved > 0 ? uint32_t(std::min<int64_t>(moved, UINT32_MAX)) : 0;
}

} // namespace

vx21Command::vx21Command(vx20* session, const QString& name) : vx30(name), m_session(session) {}

vx21Command::~vx21Command() = default;

bool vx21Command::push(vx20* session, std::unique_ptr<vx21Command> command)
{
    if (!session || !command || command->isEmpty())
        return false;
    return session->push(std::move(command));
}

void vx21Command::addSubCommand(std::unique_ptr<vx30> command)
{
    if (command)
        m_subCommands.push_back(std::move(command));
}

vx21Command::Operation& vx21Command::append(Kind kind, vx21* clip)
{
    m_operations.push_back(std::make_unique<Operation>());
    Operation& op = *m_operations.back();
    op.kind = kind;
    op.clip = clip;
    return op;
}

vx21Command::Kind vx21Command::operationKind(int index) const
{
    return m_operations[size_t(index)]->kind;
}

vx21* vx21Command::operationClip(int index) const
{
    return m_operations[size_t(index)]->clip;
}

bool vx21Command::ownsObject() const
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

void vx21Command::addClip(std::unique_ptr<vx21> clip, vx18* track)
{
    if (!clip || !track)
        return;
    Operation& op = append(Add, clip.get());
    op.track = track;
    op.owned = std::move(clip);
}

void vx21Command::removeClip(vx21* clip)
{
    if (!clip || !clip->track())
        return;
    append(Remove, clip).track = clip->track();
}

void vx21Command::changeFile(vx21* clip, const QString& path, uint16_t fileTrack)
{
    if (!clip)
        return;
    Operation& op = append(File, clip);
    op.text = path;
    op.fileTrack = fileTrack;
}

void vx21Command::rename(vx21* clip, const QString& name)
{
    if (clip)
        append(Name, clip).text = name;
}

void vx21Command::move(vx21* clip, vx18* track, uint32_t start, uint32_t offset, uint32_t length)
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

void vx21Command::resize(vx21* clip, uint32_t start, uint32_t offset, uint32_t length, float factor)
{
    const bool onMidi = clip && clip->track() && clip->track()->isMidi();
    resize(clip, start, offset, length, factor,
           onMidi && factor > 0 ? clip->makeStretchEdit(factor) : nullptr);
}

void vx21Command::resize(vx21* clip, uint32_t start, uint32_t offset, uint32_t length, float factor,
                         std::unique_ptr<vx30> midiEdit)
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

void vx21Command::setGain(vx21* clip, float gain)
{
    if (clip)
        append(Gain, clip).value = gain;
}

void vx21Command::setFadeIn(vx21* clip, uint32_t length, int shape)
{
    if (!clip)
        return;
    Operation& op = append(FadeIn, clip);
    op.fadeIn = length;
    op.shape = shape;
}

void vx21Command::setFadeOut(vx21* clip, uint32_t length, int shape)
{
    if (!clip)
        return;
    Operation& op = append(FadeOut, clip);
    op.fadeOut = length;
    op.shape = shape;
}

void vx21Command::stretch(vx21* clip, float factor)
{
    if (clip)
        append(Stretch, clip).value = factor;
}

void vx21Command::pitch(vx21* clip, float shift)
{
    if (clip)
        append(Pitch, clip).value = shift;
}

void vx21Command::setLength(vx21* clip, uint32_t length)
{
    if (!clip)
        return;
    Operation& op = append(Length, clip);
    op.length = length;
    op.fadeOut = movedFade(clip->fadeOut(), int64_t(length) - clip->length());
}

// ---------------------------------------------------------------------------------------------
// Running

bool vx21Command::apply()
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

bool vx21Command::revert()
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

void vx21Command::run(Operation& op)
{
    vx21* clip = op.clip;
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

void vx21Command::changed(vx18* track)
{
    if (track && track->session())
        track->session()->trackChanged(track);
}

// Add and remove are the same swap from opposite starts: an owned clip goes in, a clip on its
// track comes out and is owned.
void vx21Command::swapMembership(Operation& op)
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
void vx21Command::place(vx18* track, vx21* clip, Operation& op)
{
    vx21* after = op.before;
    const bool restore = op.moved;
    track->addClip(clip);
    if (!restore || (after && after->start() > clip->start()))
        return;
    auto next = [&] { return after ? after->next() : track->firstClip(); };
    for (vx21* x = next(); x && x != clip && x->start() == clip->start(); x = next())
        track->reorderClip(x);
}

void vx21Command::takeInstrument(Operation& op)
{
    vx18* track = op.track;
    if (!track->isMidi())
        return;
    vx18::Properties props = track->properties();
    op.tookBank = props.bank < 0 && op.clip->bank() >= 0;
    op.tookProgram = props.program < 0 && op.clip->program() >= 0;
    if (op.tookBank)
        props.bank = op.clip->bank();
    if (op.tookProgram)
        props.program = op.clip->program();
    if (op.tookBank || op.tookProgram)
        track->setProperties(props);
}

void vx21Command::giveBackInstrument(Operation& op)
{
    if (!op.tookBank && !op.tookProgram)
        return;
    vx18::Properties props = op.track->properties();
    if (op.tookBank)
        props.bank = -1;
    if (op.tookProgram)
        props.program = -1;
    op.track->setProperties(props);
    op.tookBank = op.tookProgram = false;
}

void vx21Command::swapFile(Operation& op)
{
    vx21* clip = op.clip;
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
void vx21Command::swapPlace(Operation& op)
{
    vx21* clip = op.clip;
    vx18* from = clip->track();
    vx18* to = op.track;
    const uint32_t start = clip->start(), offset = clip->offset(), length = clip->length();
    const uint32_t fadeIn = clip->fadeIn(), fadeOut = clip->fadeOut();
    vx21* before = clip->prev();
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

void vx21Command::swapSize(Operation& op)
{
    vx21* clip = op.clip;
    const uint32_t start = clip->start(), offset = clip->offset(), length = clip->length();
    const uint32_t fadeIn = clip->fadeIn(), fadeOut = clip->fadeOut();
    vx21* before = clip->prev();
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
        if (op.value > 0) {
            const float factor = clip->stretchFactor();
            clip->setStretchFactor(op.value);
            op.value = factor;
        }
        clip->reload();
    }
    if (vx18* track = clip->start() != start ? clip->track() : nullptr) {
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

void vx21Command::swapFade(Operation& op)
{
    vx21* clip = op.clip;
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

void vx21Command::swapLength(Operation& op)
{
    vx21* clip = op.clip;
    const uint32_t length = clip->length(), fadeOut = clip->fadeOut();
    clip->setLength(op.length);
    clip->setFadeOut(op.fadeOut);
    op.length = length;
    op.fadeOut = fadeOut;
    clip->reload();
    changed(clip->track());
}
