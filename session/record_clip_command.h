#pragma once

#include "clip_command.h"

#include <memory>
#include <vector>

class Track;
class Session;

/**
 * RecordClipCommand: the undoable "record clip" that adds the takes of a recording to their
 * tracks.
 *
 * finish() ends the takes of the given tracks: each track's record clip is taken out of it and
 * handed to its engine (Engine::finishRecordingClip), the take ending at the punch-out point when
 * punching, else at the play head. The clips that result are the command's; undo takes them off
 * their tracks again and keeps them (and their files) for redo.
 *
 * GUI thread; finish() takes the session's edit lock while it takes the record clips.
 */
class RecordClipCommand : public ClipCommand
{
public:
    explicit RecordClipCommand(Session* session);

    /** The command for the takes of the tracks; none when no take holds anything. */
    static std::unique_ptr<RecordClipCommand> finish(Session* session,
                                                     const std::vector<Track*>& tracks);
};
