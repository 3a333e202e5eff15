#include "offline_render.h"

#include "audio_engine.h"

#include "error_log.h"
#include "session.h"

namespace {

bool fail(const QString& why)
{
    ErrorLog::add(QStringLiteral("%1 < renderSongOffline").arg(why));
    return false;
}

bool openEngines(Session& session, AudioEngine& audio)
{
    if (!audio.isDrivenByCaller()) {
        // The client's own render thread would run cycles beside ours.
        if (audio.isActivated())
            audio.deactivate();
        audio.setDrivenByCaller(true);
    }
    for (Engine* engine : {session.audioEngine(), session.midiEngine()}) {
        if (!engine->isInitialized() && !engine->init())
            return false;
        if (!engine->isActivated() && !engine->activate())
            return false;
    }
    return session.ensureMasterBuses();
}

} // namespace

bool renderSongOffline(Session& session, OfflineAudioClient::Output& output, uint32_t tailFrames)
{
    auto* audio = dynamic_cast<AudioEngine*>(session.audioEngine());
    if (!audio)
        return fail(QStringLiteral("no audio engine"));
    if (!openEngines(session, *audio))
        return fail(QStringLiteral("the engines could not be started"));
    auto* client = dynamic_cast<OfflineAudioClient*>(audio->client());
    if (!client)
        return fail(QStringLiteral("the audio engine has no offline client"));

    if (session.isPlaying())
        session.setPlaying(false);
    const uint32_t loopIn = session.loopIn();
    const uint32_t loopOut = session.loopOut();
    if (session.isLoopSet())
        session.setLoop(0, 0);
    session.updateEnd(0);
    const uint64_t frames = uint64_t(session.endFrame()) + tailFrames;
    const uint64_t block = client->bufferSize();
    const auto cycles = uint32_t((frames + block - 1) / block);
    session.locate(0);

    client->setOutput(&output);
    session.setPlaying(true);
    // A render starts at full level; the fade-in is for starts in the middle of a sound.
    audio->discardFadeRequest();
    const int result = client->render(cycles);
    session.setPlaying(false);
    audio->discardFadeRequest();
    client->setOutput(nullptr);

    if (loopIn < loopOut)
        session.setLoop(loopIn, loopOut);
    session.locate(0);
    if (result != 0)
        return fail(QStringLiteral("a cycle failed"));
    return true;
}
