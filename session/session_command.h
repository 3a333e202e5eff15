#pragma once

#include "command.h"
#include "property_command.h"
#include "session.h"

#include <memory>
#include <utility>
#include <vector>

class ClipCommand;

/** SessionCommand: the base of the commands on the session as a whole. GUI thread only. */
class SessionCommand : public Command
{
public:
    Session* session() const { return m_session; }

protected:
    SessionCommand(Session* session, const QString& name);

private:
    Session* m_session;
};

/**
 * TempoCommand: "session tempo". Changes the first node's tempo (quarter notes per
 * minute), tempo unit, meter numerator and meter denominator exponent and the session's
 * resolution, each only when given (above 0) and different from the present value; every run
 * swaps the values back.
 *
 * A new tempo also marks every audio clip as needing transcription (on every apply; a revert
 * gives each clip back the mark it had) and comes with an inner clip command: with the session's
 * stretchAudio switch on each audio clip is stretched by old tempo / new tempo, otherwise it keeps
 * its length (and is reloaded). Runs under the session's edit lock.
 */
class TempoCommand : public SessionCommand
{
public:
    TempoCommand(Session* session, float tempo, uint16_t tempoUnit = 0, uint16_t beatsPerBar = 0,
                 uint16_t beatUnit = 0, uint16_t ticksPerBeat = 0);
    ~TempoCommand() override;

    bool apply() override { return run(true); }
    bool revert() override { return run(false); }

    /** True when the command changes nothing. */
    bool isEmpty() const;
    /** The inner clip command (none when the tempo stays). */
    const ClipCommand* clipCommand() const { return m_clips.get(); }

private:
    bool run(bool applying);
    void buildClipCommand(float oldTempo, float newTempo);
    void markAudioClips(bool applying);

    float m_tempo = 0; // quarter notes per minute
    uint16_t m_tempoUnit = 0;
    uint16_t m_beatsPerBar = 0;
    uint16_t m_beatUnit = 0;
    uint16_t m_ticksPerBeat = 0;
    std::unique_ptr<ClipCommand> m_clips;
    std::vector<std::pair<Clip*, bool>> m_marks; // each audio clip's mark before the last apply
};

/**
 * RangeCommand: the base of the loop and punch commands. Swaps the range; when the range
 * it sets is set (in < out) the markers take it, and a revert gives them back. It may carry a
 * command clearing the other range, applied before it and reverted after it.
 */
class RangeCommand : public SessionCommand
{
public:
    ~RangeCommand() override;
    bool apply() override;
    bool revert() override;
    /** The command clearing the other range, when there is one. */
    const Command* exclusion() const { return m_exclusion.get(); }

protected:
    RangeCommand(Session* session, uint32_t in, uint32_t out, const QString& name);

    virtual void range(uint32_t& in, uint32_t& out) const = 0;
    virtual void setRange(uint32_t in, uint32_t out) = 0;
    void setExclusion(std::unique_ptr<Command> command) { m_exclusion = std::move(command); }

private:
    void swap();

    uint32_t m_in, m_out;
    uint32_t m_markerIn, m_markerOut;
    std::unique_ptr<Command> m_exclusion;
};

/** LoopCommand: "session loop". A set loop clears a set punch range. */
class LoopCommand : public RangeCommand
{
public:
    LoopCommand(Session* session, uint32_t in, uint32_t out);

protected:
    void range(uint32_t& in, uint32_t& out) const override;
    void setRange(uint32_t in, uint32_t out) override;
};

/** PunchCommand: "session punch". A set punch range clears a set loop. */
class PunchCommand : public RangeCommand
{
public:
    PunchCommand(Session* session, uint32_t in, uint32_t out);

protected:
    void range(uint32_t& in, uint32_t& out) const override;
    void setRange(uint32_t in, uint32_t out) override;
};

/**
 * EditSessionCommand: "session properties": session folder, song name, comment and a copy of the
 * time scale, swapped as a whole under the edit lock.
 */
class EditSessionCommand : public PropertyCommand<Session::Properties>
{
public:
    EditSessionCommand(Session* session, const Session::Properties& props);

protected:
    bool read(Session::Properties& props) const override;
    void write(const Session::Properties& props) override;

private:
    Session* m_session;
};
