#pragma once

#include "offline_audio_client.h"

#include <cstdint>

class Session;

/**
 * Plays the session from frame 0 to its end through the audio engine's offline client and hands
 * every block to `output`, as fast as the machine renders.
 *
 * The session's audio engine must be a AudioEngine whose client factory opens an
 * OfflineAudioClient; the engine is switched to caller-driven cycles (its client's render thread
 * is not used) and the engines are initialised and activated when they are not yet. For MIDI
 * in step with the audio, the MIDI engine schedules on the cycle (MidiEngine::setScheduleOnCycle)
 * on a sequencer layer opened on Clock::AudioFrames that listens to the client's frame clock,
 * with the built-in synthesizer as its output, which the client mixes into every block.
 *
 * The output receives whole blocks of the client's size, ceil((end + tailFrames) / block) of
 * them, so the last one may run past the end. The loop range is ignored and restored; the play
 * head is left at frame 0 and the transport stopped. The first block starts at full level.
 * Returns false, with the reason in the error log, when the engines cannot run or a cycle
 * failed. GUI (or main) thread; nothing else may drive the session meanwhile.
 */
bool renderSongOffline(Session& session, OfflineAudioClient::Output& output,
                       uint32_t tailFrames = 0);
