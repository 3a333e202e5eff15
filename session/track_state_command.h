#pragma once

#include "command.h"

#include <memory>
#include <vector>

class Track;
class Session;
class ClipCommand;

/**
 * TrackStateCommand: "track record", "track mute" or "track solo" on one or more tracks.
 *
 * Each run swaps the flag of every track with the stored value, through the session so its
 * counters and the engines follow, and tells the control-surface mapping (the list's
 * trackParamChanged signal) the track's row and value. A command that came from the control
 * surface skips telling it on its first run.
 *
 * Switching record off while the session records finishes the track's recording into a clip:
 * the first run builds an inner "record clip" command that adds the finished clips; it is
 * applied on every odd run and reverted on every even one. GUI thread only; runs under the
 * session's edit lock.
 */
class TrackStateCommand : public Command
{
public:
    enum State
    {
        Record = 0,
        Mute = 1,
        Solo = 2
    };

    TrackStateCommand(Session* session, const std::vector<Track*>& tracks, int state, bool on,
                      bool fromControlSurface = false);
    ~TrackStateCommand() override;

    bool apply() override { return run(); }
    bool revert() override { return run(); }
    bool ownsObject() const override;

    int state() const { return m_state; }
    /** The inner command that finished recordings into clips; none when there was nothing. */
    const ClipCommand* recordedClips() const { return m_recorded.get(); }

private:
    struct Entry
    {
        Track* track;
        bool value; // the flag the next run sets
    };

    bool run();
    bool flag(const Track* track) const;
    void setFlag(Track* track, bool on);
    void finishRecordings();

    Session* m_session;
    int m_state;
    std::vector<Entry> m_entries;
    bool m_fromControlSurface;
    int m_runs = 0;
    std::unique_ptr<ClipCommand> m_recorded;
};
