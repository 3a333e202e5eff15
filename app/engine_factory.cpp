#include "engine_factory.h"

#include "midi_engine.h"
#include "offline_audio_client.h"
#include "sequencer_layer.h"

Session::EngineFactory EngineFactory::make(AudioEngine::ClientFactory audioClient)
{
    return [audioClient](Session* session, int kind) -> std::unique_ptr<Engine> {
        if (kind == Engine::AudioKind)
            return std::make_unique<AudioEngine>(session, audioClient);
        return std::make_unique<MidiEngine>(session);
    };
}

void EngineFactory::install()
{
    Session::setEngineFactory(make());
}

Session::EngineFactory EngineFactory::offline(SequencerLayer* layer)
{
    return [layer](Session* session, int kind) -> std::unique_ptr<Engine> {
        if (kind == Engine::AudioKind) {
            auto audio = std::make_unique<AudioEngine>(session, [layer] {
                auto client = std::make_unique<OfflineAudioClient>();
                client->setFrameClockListener(layer);
                return std::unique_ptr<AudioClient>(std::move(client));
            });
            audio->setDrivenByCaller(true);
            return audio;
        }
        auto midi = std::make_unique<MidiEngine>(session, layer);
        midi->setLayerClock(SequencerLayer::Clock::AudioFrames);
        midi->setScheduleOnCycle(true);
        return midi;
    };
}
