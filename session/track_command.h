#pragma once

#include "command.h"
#include "property_command.h"
#include "track.h"

#include <memory>
#include <vector>

class Session;
class Clip;

/**
 * TrackCommand: the base of the commands on one track.
 *
 * Adding and removing a track are one swap from opposite starts: a track the command owns goes
 * into the session at its stored place, a track in the session comes out and is owned by the
 * command, which destroys it with itself. A track in the session is never owned by a command.
 * GUI thread only.
 */
class TrackCommand : public Command
{
public:
    Track* track() const { return m_track; }
    bool ownsObject() const override { return m_owned != nullptr; }

protected:
    TrackCommand(Session* session, Track* track, const QString& name);
    /** A command holding a track outside the session from the start (add track). */
    TrackCommand(Session* session, std::unique_ptr<Track> track, Track* after, const QString& name);

    Session* session() const { return m_session; }
    bool inSession() const;
    /** Moves the track into the session or out of it; false when it cannot. */
    bool swapMembership();
    /** Each time the track goes in, the tracks on its bus channel take its instrument. */
    void setSharesInstrument(bool on) { m_sharesInstrument = on; }

private:
    struct SharedInstrument
    {
        Track* track;
        int instrument, bank, program;
    };
    void putIn();
    void takeOut();
    void shareInstrument();
    void unshareInstrument();

    Session* m_session;
    Track* m_track;
    std::unique_ptr<Track> m_owned; // the track while it is outside the session
    Track* m_after = nullptr;       // where it goes back: after this track, or
    bool m_atFront = false;        // before every track
    bool m_sharesInstrument = false;
    std::vector<SharedInstrument> m_shared; // other tracks' values before they took the track's
};

/**
 * AddTrackCommand: "add track". The track joins the session after the given track (at the
 * end when none). A MIDI track's instrument, bank and program go to the other MIDI tracks with
 * its output bus and channel, which get theirs back on revert.
 */
class AddTrackCommand : public TrackCommand
{
public:
    AddTrackCommand(Session* session, std::unique_ptr<Track> track, Track* after = nullptr);
    bool apply() override { return swapMembership(); }
    bool revert() override { return swapMembership(); }

protected:
    AddTrackCommand(Session* session, std::unique_ptr<Track> track, Track* after,
                    const QString& name);
};

/** RemoveTrackCommand: "remove track"; it returns to its place on revert. */
class RemoveTrackCommand : public TrackCommand
{
public:
    RemoveTrackCommand(Session* session, Track* track);
    bool apply() override { return swapMembership(); }
    bool revert() override { return swapMembership(); }
};

/**
 * ImportTrackCommand: "import track". Adds a new MIDI track holding one clip read from a
 * MIDI file track, coloured as a new track is, named and set to the given channel; the track
 * takes the clip's bank and program.
 */
class ImportTrackCommand : public AddTrackCommand
{
public:
    ImportTrackCommand(Session* session, std::unique_ptr<Clip> clip, const QString& name,
                       uint16_t channel = 0);

private:
    static std::unique_ptr<Track> makeTrack(Session* session, std::unique_ptr<Clip> clip,
                                            const QString& name, uint16_t channel);
};

/** MoveTrackCommand: "move track" before another track (to the end when none). */
class MoveTrackCommand : public TrackCommand
{
public:
    MoveTrackCommand(Session* session, Track* track, Track* before);
    bool apply() override { return swap(); }
    bool revert() override { return swap(); }

private:
    bool swap();
    Track* m_before;
};

/** ResizeTrackCommand: "resize track", the track's zoomed height (never below 24). */
class ResizeTrackCommand : public TrackCommand
{
public:
    ResizeTrackCommand(Session* session, Track* track, int height);
    bool apply() override { return swap(); }
    bool revert() override { return swap(); }

private:
    bool swap();
    int m_height;
};

/**
 * EditTrackCommand: "track properties", the whole Track::Properties. The mute, solo and
 * record flags go through the session so its counters and the engines follow; the kind never
 * changes. The track is attached to its buses again.
 */
class EditTrackCommand : public PropertyCommand<Track::Properties>
{
public:
    EditTrackCommand(Session* session, Track* track, const Track::Properties& props);
    Track* track() const { return m_track; }

protected:
    bool read(Track::Properties& props) const override;
    void write(const Track::Properties& props) override;

private:
    Session* m_session;
    Track* m_track;
};
