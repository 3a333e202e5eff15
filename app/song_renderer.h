#pragma once

#include "sequencer_layer.h"
#include "session.h"
#include "synth_midi_output.h"

#include <QString>

class Clip;

/**
 * SongRenderer: plays a song into an audio file without a sound card, through the same engines
 * the window plays it with.
 *
 * The session must have been made with engines(): the audio engine on an offline client whose
 * cycles the renderer runs, the MIDI engine scheduling on each cycle through the renderer's own
 * sequencer layer into the built-in General MIDI synthesizer. Every render of a song gives the
 * same samples, much faster than real time. A recording clip, when given, is mixed in from its
 * file at its place on the timeline.
 *
 * TODO: play the recording through the audio engine's clips once they read audio files; until
 * then the renderer reads the clip's file itself.
 *
 * Main thread; the session may not play meanwhile.
 */
class SongRenderer
{
public:
    /** The synth's sound so long after the song's end that reverb and releases die away. */
    static constexpr uint32_t kTailFrames = 2 * 44100;

    SongRenderer();
    ~SongRenderer();
    SongRenderer(const SongRenderer&) = delete;
    SongRenderer& operator=(const SongRenderer&) = delete;

    /** The engines a session to be rendered must be made with. */
    Session::EngineFactory engines();

    /**
     * Writes the song from frame 0 to its end plus kTailFrames into path (a format the audio file
     * registry writes, chosen by the suffix; 16-bit PCM). progress hears the fraction done.
     * False with the reason in the error log.
     */
    bool render(Session& session, const QString& path, const Clip* recording,
                const std::function<void(double)>& progress = {});

private:
    SynthMidiOutput m_synth; // declared first: the layer that plays into it closes before it
    SequencerLayer m_layer;
};
