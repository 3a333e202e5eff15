#pragma once

#include "command.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class MidiClip;
class MidiEvent;
class MidiSequence;

/**
 * MidiEditCommand: undoable edits of the events of one MIDI clip ("move", "resize", "edit",
 * "paste", "delete" in the editors, and the stretch of a clip resize).
 *
 * Each edit is a swap: apply runs the edits in list order, revert in reverse order. An event an
 * edit moves in time is re-sorted; when it moves back it returns to its exact place among
 * events of the same time, so undo restores the order the engine plays. An inserted event is
 * owned by the command until it enters the sequence (and again after a revert); a removed
 * event is owned while it is out.
 *
 * Every run marks the clip modified (its events now exist nowhere else) and runs under the
 * session's edit lock; while the engines play, the clip's track is silenced in the MIDI engine
 * during the edit. GUI thread only.
 */
class MidiEditCommand : public Command
{
public:
    enum Kind
    {
        Insert = 0,
        KeyTime = 1,
        TimeLength = 2,
        Value = 3,
        Remove = 4
    };

    MidiEditCommand(MidiClip* clip, const QString& name);
    ~MidiEditCommand() override;

    /**
     * An edit that multiplies the time and the duration of every event of the clip's present
     * material (times before the clip's length in ticks) by factor, rounded half away from
     * zero; none when nothing would change.
     */
    static std::unique_ptr<MidiEditCommand> stretch(MidiClip* clip, float factor);

    // Edits, built from the event's present values.
    /** The event enters the sequence in time order. */
    void insert(std::unique_ptr<MidiEvent> event);
    /** The event leaves the sequence. */
    void remove(MidiEvent* event);
    /** New key (data1, 0..127) and time. */
    void setKeyTime(MidiEvent* event, uint8_t key, uint32_t time);
    /** New time and, for a note, duration. */
    void setTimeLength(MidiEvent* event, uint32_t time, uint32_t duration);
    /**
     * Pitch bend: the 14-bit value centred on 0 (-8192..8191); any other event: data2
     * (0..127). Out-of-range values are limited to the range.
     */
    void setValue(MidiEvent* event, int value);

    int editCount() const { return int(m_edits.size()); }
    bool isEmpty() const { return m_edits.empty(); }
    MidiClip* clip() const { return m_clip; }

    bool apply() override;
    bool revert() override;
    bool ownsObject() const override;

    /** The centred value of a pitch bend, data2 of any other event. */
    static int valueOf(const MidiEvent* event);

private:
    struct Edit;

    Edit& append(Kind kind, MidiEvent* event);
    bool run(bool forward);
    void runEdit(Edit& edit);
    void swapMembership(Edit& edit);
    void swapTime(Edit& edit);
    void swapValue(Edit& edit);
    bool isOut(const MidiEvent* event) const;
    void reinsert(std::unique_ptr<MidiEvent> owned, bool restore, MidiEvent* after,
                  const MidiEvent* near);
    void silence(bool on);

    MidiClip* m_clip;
    std::vector<std::unique_ptr<Edit>> m_edits;
    int m_heldOut = 0; // edits holding their event out of the sequence now
};
