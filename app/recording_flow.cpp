#include "recording_flow.h"

#include "audio_client.h"
#include "audio_clip.h"
#include "audio_engine.h"
#include "audio_recorder.h"

#include "record_clip_command.h"
#include "session.h"
#include "track.h"

bool RecordingFlow::hasInput(const Session* session)
{
    const auto* audio = dynamic_cast<const AudioEngine*>(session->audioEngine());
    return audio && audio->client() && audio->client()->hasInput();
}

bool RecordingFlow::isDiskFull(const Session* session)
{
    for (const Track* track : session->tracks())
        if (const auto* take = dynamic_cast<const AudioClip*>(track->recordingClip()))
            if (take->recorder() && take->recorder()->isDiskFull())
                return true;
    return false;
}

bool RecordingFlow::stop(Session* session)
{
    // The take ends where the play head stops: the cycles that fade out still record.
    if (session->isPlaying())
        session->setPlaying(false);
    std::vector<Track*> armed;
    for (Track* track : session->tracks())
        if (track->isRecordArmed())
            armed.push_back(track);
    std::unique_ptr<RecordClipCommand> command = RecordClipCommand::finish(session, armed);
    session->startRecording(false);
    if (!command)
        return false;
    session->push(std::move(command));
    return true;
}
