#pragma once

#include "audio_engine.h"
#include "session.h"

class SequencerLayer;

/**
 * EngineFactory: the one place that decides which engines the session runs on.
 *
 * The program's session plays through the audio engine on the sound card and the MIDI engine on
 * the program's sequencer layer. Tests inject another audio client; an offline render gets
 * engines whose cycles its caller runs. GUI (or main) thread only.
 */
class EngineFactory
{
public:
    /**
     * The audio engine on the client that `audioClient` opens (the sound card when empty) and
     * the MIDI engine on the program's sequencer layer, which opens even when its MIDI output
     * cannot (SequencerLayer::setOpensWithoutOutput).
     */
    static Session::EngineFactory make(AudioEngine::ClientFactory audioClient = {});

    /** Makes make() the program's; call before the session is first used. */
    static void install();

    /**
     * Engines for rendering a song offline (renderSongOffline): the audio engine on an
     * OfflineAudioClient whose cycles the caller runs and whose frame clock drives `layer`, and
     * the MIDI engine opening `layer` on Clock::AudioFrames and scheduling on the audio cycle,
     * so that every render of a song is the same. `layer` must outlive the engines; its output
     * (the built-in synthesizer) is the caller's choice.
     */
    static Session::EngineFactory offline(SequencerLayer* layer);
};
