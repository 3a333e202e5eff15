#pragma once

#include "command.h"

#include <cstdint>
#include <memory>

class Session;
class TimeScale;

/**
 * TimeScaleCommand: the base of the tempo node commands on the session's time scale.
 *
 * After every run the session follows the new tempo map (MIDI material stays on its beats,
 * audio keeps its frames). Runs under the session's edit lock. GUI thread only.
 */
class TimeScaleCommand : public Command
{
public:
    ~TimeScaleCommand() override;

protected:
    TimeScaleCommand(Session* session, const QString& name);
    Session* session() const { return m_session; }

    /**
     * Adding and removing nodes: the first apply makes the change through change() and keeps
     * the node list from before it; every later run swaps the kept list with the scale's. The
     * earlier state thus comes back exactly, whichever node setNode() created, changed or moved.
     */
    bool swapNodeLists();
    /** Makes the change on the scale for the first time; false when it cannot. */
    virtual bool change() { return false; }

private:
    Session* m_session;
    std::unique_ptr<TimeScale>
        m_other; // the node list the next run installs; none before the first
};

/**
 * AddTempoNodeCommand: "add tempo node" with the given tempo and meter at the bar line
 * nearest to frame (TimeScale::setNode); later nodes keep their bars.
 */
class AddTempoNodeCommand : public TimeScaleCommand
{
public:
    AddTempoNodeCommand(Session* session, uint32_t frame, float tempo, uint16_t tempoUnit,
                        uint16_t beatsPerBar, uint16_t beatUnit);
    bool apply() override { return swapNodeLists(); }
    bool revert() override { return swapNodeLists(); }

protected:
    bool change() override;

private:
    uint32_t m_frame;
    float m_tempo;
    uint16_t m_tempoUnit, m_beatsPerBar, m_beatUnit;
};

/**
 * RemoveTempoNodeCommand: "remove tempo node" at frame; fails when no node other than the
 * first is there. Later nodes keep their bars.
 */
class RemoveTempoNodeCommand : public TimeScaleCommand
{
public:
    RemoveTempoNodeCommand(Session* session, uint32_t frame);
    bool apply() override { return swapNodeLists(); }
    bool revert() override { return swapNodeLists(); }

protected:
    bool change() override;

private:
    uint32_t m_frame;
};

/**
 * UpdateTempoNodeCommand: "update tempo node". Swaps the tempo and meter of the node at
 * exactly frame (fails when there is none); positions are recomputed from that node, so later
 * nodes keep their bars.
 */
class UpdateTempoNodeCommand : public TimeScaleCommand
{
public:
    UpdateTempoNodeCommand(Session* session, uint32_t frame, float tempo, uint16_t tempoUnit,
                           uint16_t beatsPerBar, uint16_t beatUnit);
    bool apply() override { return swap(); }
    bool revert() override { return swap(); }

private:
    bool swap();

    uint32_t m_frame;
    float m_tempo;
    uint16_t m_tempoUnit, m_beatsPerBar, m_beatUnit;
};
