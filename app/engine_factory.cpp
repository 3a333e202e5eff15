#include "engine_factory.h"

#include "midi_engine.h"
#include "offline_audio_client.h"
#include "sequencer_layer.h"

vx20::EngineFactory vx99EngineFactory::make(vx23vx51::ClientFactory audioClient)
{
    return [audioClient](vx20* session, int kind) -> std::unique_ptr<vx19> {
        if (kind == vx19::AudioKind)
            return std::make_unique<vx23vx51>(session, audioClient);
        return std::make_unique<vx22vx51>(session);
    };
}

void vx99EngineFactory::install()
{
    vx20::setEngineFactory(make());
}

vx20::EngineFactory vx99EngineFactory::offline(SequencerLayer* layer)
{
    return [layer](vx20* session, int kind) -> std::unique_ptr<vx19> {
        if (kind == vx19::AudioKind) {
            auto audio = std::make_unique<vx23vx51>(session, [layer] {
                auto client = std::make_unique<OfflineAudioClient>();
                client->setFrameClockListener(layer);
                return std::unique_ptr<AudioClient>(std::move(client));
            });
            audio->setDrivenByCaller(true);
            return audio;
        }
        auto midi = std::make_unique<vx22vx51>(session, layer);
        midi->setLayerClock(SequencerLayer::Clock::AudioFrames);
        midi->setScheduleOnCycle(true);
        return midi;
    };
}
