#pragma once

#include "command.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class vx18;
class vx20;
class vx21;

/**
 * vx21Command: an undoable change of clips ("move clip", "clip resize", "record clip", ...).
 *
 * It holds sub-commands, applied first, and a list of clip operations, each on one clip; every
 * operation is a swap of the values it stored with the clip's, so apply and revert do the same.
 * Revert runs everything in reverse order, so operations on the same clip undo correctly. An
 * added clip is owned by the command until it joins its track (and again after a revert); a
 * removed clip is owned while it is out. Fades follow the material when an operation is built
 * (see resize(), setLength() and move()).
 *
 * A command without any operation should not be pushed: push() destroys it instead. GUI thread
 * only; apply and revert run under the session's edit lock.
 */
class vx21Command : public vx30
{
public:
    enum Kind
    {
        Add = 0,
        Remove = 1,
        File = 2,
        Name = 3,
        Move = 4,
        Resize = 5,
        Gain = 6,
        FadeIn = 7,
        FadeOut = 8,
        Stretch = 9,
        Pitch = 10,
        Length = 11,
    };

    vx21Command(vx20* session, const QString& name);
    ~vx21Command() override;

    /** Pushes the command onto the session's list, or destroys it when it holds nothing. */
    static bool push(vx20* session, std::unique_ptr<vx21Command> command);

    /** A command applied before the operations (and reverted after them). */
    void addSubCommand(std::unique_ptr<vx30> command);

    // Operations, built from the clip's present values.
    /** The clip joins the track; a MIDI track without bank or program takes the clip's. */
    void addClip(std::unique_ptr<vx21> clip, vx18* track);
    /** The clip leaves its track. */
    void removeClip(vx21* clip);
    /** New backing file (and, for a MIDI clip, the track inside it); the clip is reloaded. */
    void changeFile(vx21* clip, const QString& path, uint16_t fileTrack = 0);
    void rename(vx21* clip, const QString& name);
    /**
     * The clip moves to the track with new start, offset and length. Its fade-in stays only
     * when the offset is unchanged, its fade-out only when offset + length is unchanged.
     */
    void move(vx21* clip, vx18* track, uint32_t start, uint32_t offset, uint32_t length);
    /**
     * New start, offset and length; the fades keep their place in the material. With a factor
     * above 0 an audio clip takes it as its time-stretch factor and a clip on a MIDI track has
     * its events stretched by it (see vx21::makeStretchEdit).
     */
    void resize(vx21* clip, uint32_t start, uint32_t offset, uint32_t length, float factor = 0);
    /**
     * The same with the edit that stretches the events of a clip on a MIDI track by factor
     * (e.g. vx22EditCommand::stretch), applied and reverted with the resize instead of a reload.
     */
    void resize(vx21* clip, uint32_t start, uint32_t offset, uint32_t length, float factor,
                std::unique_ptr<vx30> midiEdit);
    void setGain(vx21* clip, float gain);
    void setFadeIn(vx21* clip, uint32_t length, int shape);
    void setFadeOut(vx21* clip, uint32_t length, int shape);
    /** Audio clips: new time-stretch factor; the clip is reloaded. */
    void stretch(vx21* clip, float factor);
    /** Audio clips: new pitch shift; the clip is reloaded. */
    void pitch(vx21* clip, float shift);
    /** New length; the fade-out keeps its place in the material; the clip is reloaded. */
    void setLength(vx21* clip, uint32_t length);

    bool isEmpty() const { return m_operations.empty() && m_subCommands.empty(); }
    int operationCount() const { return int(m_operations.size()); }
    Kind operationKind(int index) const;
    vx21* operationClip(int index) const;

    bool apply() override;
    bool revert() override;
    bool ownsObject() const override;

private:
    struct Operation;

    Operation& append(Kind kind, vx21* clip);
    void run(Operation& op);
    void swapMembership(Operation& op);
    void place(vx18* track, vx21* clip, Operation& op);
    void takeInstrument(Operation& op);
    void giveBackInstrument(Operation& op);
    void swapFile(Operation& op);
    void swapPlace(Operation& op);
    void swapSize(Operation& op);
    void swapFade(Operation& op);
    void swapLength(Operation& op);
    void changed(vx18* track);

    vx20* m_session;
    std::vector<std::unique_ptr<vx30>> m_subCommands;
    std::vector<std::unique_ptr<Operation>> m_operations;
};
