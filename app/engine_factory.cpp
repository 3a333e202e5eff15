#include "engine_factory.h"

#include "data_paths.h"
#include "midi_engine.h"
#include "offline_audio_client.h"
#include "sequencer_layer.h"

#include <QFileInfo>

Session::EngineFactory EngineFactory::make(AudioEngine::ClientFactory audioClient)
{
    return [audioClient](Session* session, int kind) -> std::unique_ptr<Engine> {
        if (kind == Engine::AudioKind) {
            auto audio = std::make_unique<AudioEngine>(session, audioClient);
            // The clicks the build made beside the program; without them the audio metronome
            // stays silent.
            const QString bar = DataPaths::path(QStringLiteral("Clicks/bar-click.wav"));
            const QString beat = DataPaths::path(QStringLiteral("Clicks/beat-click.wav"));
            if (QFileInfo::exists(bar) && QFileInfo::exists(beat))
                audio->setMetronomeClicks(bar, beat);
            return audio;
        }
        auto midi = std::make_unique<MidiEngine>(session);
        // Without a SoundFont (or with its ALSA port gone) the program still plays audio; the
        // window says why MIDI is silent.
        midi->layer()->setOpensWithoutOutput(true);
        return midi;
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
