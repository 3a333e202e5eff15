#pragma once

#include <QString>
#include <memory>

class Session;
class SongSnapshot;

/**
 * SongUndoStep: makes one user action one entry on the undo list.
 *
 * Created when an action starts and finished when it ends, it gathers every command the action
 * pushed (track, clip, tempo and meter commands) into one step named after the action, and
 * keeps a copy of the song from before and after (SongSnapshot) for what the action wrote
 * outside commands. Undoing the step puts the song back exactly as it was; redoing it gives the
 * acted song again. An action that changed nothing leaves no step.
 *
 * Steps nest: an action that runs another one (Make Song runs Make Chords) makes one step, the
 * outermost. GUI thread only; an action must not clear the undo list while its step is open.
 */
class SongUndoStep
{
public:
    SongUndoStep(Session& session, const QString& name);
    /** Finishes the step when finish() was not called. */
    ~SongUndoStep();
    SongUndoStep(const SongUndoStep&) = delete;
    SongUndoStep& operator=(const SongUndoStep&) = delete;

    /** Closes the step: pushes it when the action changed anything. */
    void finish();
    /** True while some step is open (an action is running). */
    static bool isOpen();

private:
    Session& m_session;
    QString m_name;
    int m_since = -1;
    std::unique_ptr<SongSnapshot> m_before;
    bool m_outermost = false;
    bool m_finished = false;
};
