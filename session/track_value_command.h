#pragma once

#include "track_command.h"

#include <optional>

/**
 * TrackValueCommand: the base of the gain and panning commands, which merge along a drag.
 *
 * A new command for a track absorbs the remembered previous one of its kind when that one is
 * still the list's current command, is for the same track and moved the value the same way
 * (up: the new value is above the old one; anything else counts as down): the previous one is
 * dropped and the new one restores the value from before it. One drag in one direction thus
 * leaves one command; a change of direction starts another.
 *
 * Neither kind takes the edit lock: the engines read gain and panning from the track's monitor,
 * whose values the GUI thread writes while they play (see Monitor). Nor do they report a
 * change to the views.
 */
class TrackValueCommand : public TrackCommand
{
public:
    bool apply() override { return swap(); }
    bool revert() override { return swap(); }

    /** The value before the command first ran, and the value it set then. */
    float from() const { return m_from; }
    float to() const { return m_to; }

protected:
    TrackValueCommand(Session* session, Track* track, float value, const QString& name);

    virtual float read() const = 0;
    virtual void write(float value) = 0;

    /** Pushes the command, absorbing the one whose serial is `remembered`; remembers it. */
    static bool pushMerged(Session* session, std::unique_ptr<TrackValueCommand> command,
                           uint64_t& remembered);

private:
    bool swap();

    float m_value;
    std::optional<float> m_restore; // the value to restore, taken over from an absorbed command
    bool m_ran = false;
    float m_from = 0.0f;
    float m_to = 0.0f;
};

/** TrackGainCommand: "track gain". */
class TrackGainCommand : public TrackValueCommand
{
public:
    TrackGainCommand(Session* session, Track* track, float gain);
    /** Builds and pushes a gain change, merged with the previous one of the same drag. */
    static bool change(Session* session, Track* track, float gain);

protected:
    float read() const override { return track()->properties().gain; }
    void write(float value) override { track()->setGain(value); }
};

/** TrackPanningCommand: "track pan". */
class TrackPanningCommand : public TrackValueCommand
{
public:
    TrackPanningCommand(Session* session, Track* track, float panning);
    /** Builds and pushes a panning change, merged with the previous one of the same drag. */
    static bool change(Session* session, Track* track, float panning);

protected:
    float read() const override { return track()->properties().panning; }
    void write(float value) override { track()->setPanning(value); }
};

/** TrackMonitorCommand: "track monitor", the track's input monitoring flag. */
class TrackMonitorCommand : public TrackCommand
{
public:
    TrackMonitorCommand(Session* session, Track* track, bool on);
    bool apply() override { return swap(); }
    bool revert() override { return swap(); }

private:
    bool swap();
    bool m_on;
};
