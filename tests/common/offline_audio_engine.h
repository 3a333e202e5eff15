#pragma once

#include "audio_engine.h"
#include "engine.h"
#include "offline_audio_client.h"
#include "session.h"

#include <memory>

/**
 * An audio engine on an offline client that the test drives cycle by cycle. The engine makes
 * its client when it opens it; `client` then points at it, so a test can feed input, capture
 * output and render cycles.
 */
inline std::unique_ptr<AudioEngine> makeOfflineAudioEngine(Session* session,
                                                           OfflineAudioClient** client)
{
    auto engine = std::make_unique<AudioEngine>(session, [client] {
        auto made = std::make_unique<OfflineAudioClient>();
        *client = made.get();
        return std::unique_ptr<AudioClient>(std::move(made));
    });
    engine->setDrivenByCaller(true);
    return engine;
}

/**
 * A cleared session on an offline audio engine and a plain MIDI engine, both opened, with the
 * master buses made; returns the audio engine and sets `client`.
 */
inline AudioEngine* openOfflineSession(Session& session, OfflineAudioClient** client)
{
    auto engine = makeOfflineAudioEngine(&session, client);
    AudioEngine* audio = engine.get();
    session.setEngines(std::move(engine), std::make_unique<Engine>(&session, Engine::MidiKind));
    session.clear();
    audio->init();
    audio->activate();
    session.midiEngine()->init();
    session.midiEngine()->activate();
    session.ensureMasterBuses();
    return audio;
}
