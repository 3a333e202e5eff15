#pragma once

#include "command.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class Track;
class Session;
class Clip;

/**
 * ClipCommand: an undoable change of clips ("move clip", "clip resize", "record clip", ...).
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
class ClipCommand : public Command
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

    ClipCommand(Session* session, const QString& name);
    ~ClipCommand() override;

    /** Pushes the command onto the session's list, or destroys it when it holds nothing. */
    static bool push(Session* session, std::unique_ptr<ClipCommand> command);

    /** A command applied before the operations (and reverted after them). */
    void addSubCommand(std::unique_ptr<Command> command);

    // Operations, built from the clip's present values.
    /** The clip joins the track; a MIDI track without bank or program takes the clip's. */
    void addClip(std::unique_ptr<Clip> clip, Track* track);
    /** The clip leaves its track. */
    void removeClip(Clip* clip);
    /** New backing file (and, for a MIDI clip, the track inside it); the clip is reloaded. */
    void changeFile(Clip* clip, const QString& path, uint16_t fileTrack = 0);
    void rename(Clip* clip, const QString& name);
    /**
     * The clip moves to the track with new start, offset and length. Its fade-in stays only
     * when the offset is unchanged, its fade-out only when offset + length is unchanged.
     */
    void move(Clip* clip, Track* track, uint32_t start, uint32_t offset, uint32_t length);
    /**
     * New start, offset and length; the fades keep their place in the material. With a factor
     * above 0 an audio clip takes it as its time-stretch factor and a clip on a MIDI track has
     * its events stretched by it (see Clip::makeStretchEdit).
     */
    void resize(Clip* clip, uint32_t start, uint32_t offset, uint32_t length, float factor = 0);
    /**
     * The same with the edit that stretches the events of a clip on a MIDI track by factor
     * (e.g. MidiEditCommand::stretch), applied and reverted with the resize instead of a reload.
     */
    void resize(Clip* clip, uint32_t start, uint32_t offset, uint32_t length, float factor,
                std::unique_ptr<Command> midiEdit);
    void setGain(Clip* clip, float gain);
    void setFadeIn(Clip* clip, uint32_t length, int shape);
    void setFadeOut(Clip* clip, uint32_t length, int shape);
    /** Audio clips: new time-stretch factor; the clip is reloaded. */
    void stretch(Clip* clip, float factor);
    /** Audio clips: new pitch shift; the clip is reloaded. */
    void pitch(Clip* clip, float shift);
    /** New length; the fade-out keeps its place in the material; the clip is reloaded. */
    void setLength(Clip* clip, uint32_t length);

    bool isEmpty() const { return m_operations.empty() && m_subCommands.empty(); }
    int operationCount() const { return int(m_operations.size()); }
    Kind operationKind(int index) const;
    Clip* operationClip(int index) const;

    bool apply() override;
    bool revert() override;
    bool ownsObject() const override;

private:
    struct Operation;

    Operation& append(Kind kind, Clip* clip);
    void run(Operation& op);
    void swapMembership(Operation& op);
    void place(Track* track, Clip* clip, Operation& op);
    void takeInstrument(Operation& op);
    void giveBackInstrument(Operation& op);
    void swapFile(Operation& op);
    void swapPlace(Operation& op);
    void swapSize(Operation& op);
    void swapFade(Operation& op);
    void swapLength(Operation& op);
    void changed(Track* track);

    Session* m_session;
    std::vector<std::unique_ptr<Command>> m_subCommands;
    std::vector<std::unique_ptr<Operation>> m_operations;
};
