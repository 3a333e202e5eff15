#include "record_clip_command.h"

#include "clip.h"
#include "engine.h"
#include "session.h"
#include "track.h"

#include <QObject>

RecordClipCommand::RecordClipCommand(Session* session)
    : ClipCommand(session, QObject::tr("record clip"))
{
}

std::unique_ptr<RecordClipCommand> RecordClipCommand::finish(Session* session,
                                                             const std::vector<Track*>& tracks)
{
    auto command = std::make_unique<RecordClipCommand>(session);
    const uint32_t end = session->isPunchSet() ? session->punchOut() : session->playHead();
    for (Track* track : tracks) {
        if (!track || !track->engine() || !track->recordingClip())
            continue;
        std::unique_ptr<Clip> take;
        {
            EditLock lock(session); // the process cycle writes into the record clip
            take = session->takeRecordingClip(track);
        }
        if (std::unique_ptr<Clip> clip = track->engine()->finishRecordingClip(std::move(take), end))
            command->addClip(std::move(clip), track);
    }
    if (command->isEmpty())
        return nullptr;
    return command;
}
