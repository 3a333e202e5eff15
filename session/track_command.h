#pragma once

#include "command.h"
#include "property_command.h"
#include "track.h"

#include <memory>
#include <vector>

class vx20;
class vx21;

/**
 * vx18Command: the base of the commands on one track.
 *
 * Adding and removing a track are one swap from opposite starts: a track the command owns goes
 * into the session at its stored place, a track in the session comes out and is owned by the
 * command, which destroys it with itself. A track in the session is never owned by a command.
 * GUI thread only.
 */
class vx18Command : public vx30
{
public:
    vx18* track() const { return m_track; }
    bool ownsObject() const override { return m_owned != nullptr; }

protected:
    vx18Command(vx20* session, vx18* track, const QString& name);
    /** A command holding a track outside the session from the start (add track). */
    vx18Command(vx20* session, std::unique_ptr<vx18> track, vx18* after, const QString& name);

    vx20* session() const { return m_session; }
    bool inSession() const;
    /** Moves the track into the session or out of it; false when it cannot. */
    bool swapMembership();
    /** Each time the track goes in, the tracks on its bus channel take its instrument. */
    void setSharesInstrument(bool on) { m_sharesInstrument = on; }

private:
    struct SharedInstrument
    {
        vx18* track;
        int instrument, bank, program;
    };
    void putIn();
    void takeOut();
    void shareInstrument();
    void unshareInstrument();

    vx20* m_session;
    vx18* m_track;
    std::unique_ptr<vx18> m_owned; // the track while it is outside the session
    vx18* m_after = nullptr;       // where it goes back: after this track, or
    bool m_atFront = false;        // before every track
    bool m_sharesInstrument = false;
    std::vector<SharedInstrument> m_shared; // other tracks' values before they took the track's
};

/**
 * vx99AddTrackCommand: "add track". The track joins the session after the given track (at the
 * end when none). A MIDI track's instrument, bank and program go to the other MIDI tracks with
 * its output bus and channel, which get theirs back on revert.
 */
class vx99AddTrackCommand : public vx18Command
{
public:
    vx99AddTrackCommand(vx20* session, std::unique_ptr<vx18> track, vx18* after = nullptr);
    bool apply() override { return swapMembership(); }
    bool revert() override { return swapMembership(); }

protected:
    vx99AddTrackCommand(vx20* session, std::unique_ptr<vx18> track, vx18* after,
                        const QString& name);
};

/** vx99RemoveTrackCommand: "remove track"; it returns to its place on revert. */
class vx99RemoveTrackCommand : public vx18Command
{
public:
    vx99RemoveTrackCommand(vx20* session, vx18* track);
    bool apply() override { return swapMembership(); }
    bool revert() override { return swapMembership(); }
};

/**
 * vx99ImportTrackCommand: "import track". Adds a new MIDI track holding one clip read from a
 * MIDI file track, coloured as a new track is, named and set to the given channel; the track
 * takes the clip's bank and program.
 */
class vx99ImportTrackCommand : public vx99AddTrackCommand
{
public:
    vx99ImportTrackCommand(vx20* session, std::unique_ptr<vx21> clip, const QString& name,
                           uint16_t channel = 0);

private:
    static std::unique_ptr<vx18> makeTrack(vx20* session, std::unique_ptr<vx21> clip,
                                           const QString& name, uint16_t channel);
};

/** vx99MoveTrackCommand: "move track" before another track (to the end when none). */
class vx99MoveTrackCommand : public vx18Command
{
public:
    vx99MoveTrackCommand(vx20* session, vx18* track, vx18* before);
    bool apply() override { return swap(); }
    bool revert() override { return swap(); }

private:
    bool swap();
    vx18* m_before;
};

/** vx99ResizeTrackCommand: "resize track", the track's zoomed height (never below 24). */
class vx99ResizeTrackCommand : public vx18Command
{
public:
    vx99ResizeTrackCommand(vx20* session, vx18* track, int height);
    bool apply() override { return swap(); }
    bool revert() override { return swap(); }

private:
    bool swap();
    int m_height;
};

/**
 * vx99EditTrackCommand: "track properties", the whole vx18::Properties. The mute, solo and
 * record flags go through the session so its counters and the engines follow; the kind never
 * changes. The track is attached to its buses again.
 */
class vx99EditTrackCommand : public vx99PropertyCommand<vx18::Properties>
{
public:
    vx99EditTrackCommand(vx20* session, vx18* track, const vx18::Properties& props);
    vx18* track() const { return m_track; }

protected:
    bool read(vx18::Properties& props) const override;
    void write(const vx18::Properties& props) override;

private:
    vx20* m_session;
    vx18* m_track;
};
