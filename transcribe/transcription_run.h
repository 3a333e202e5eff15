#pragma once

#include <functional>

class TranscriptionEngine;
class TranscriptionSource;

/**
 * One run of the transcription engine over a source: configure at the analysis rate, feed the
 * source block by block (the engine analyses the first channel; the others are read and left),
 * finish. Audio to MIDI and the command line both transcribe through it, so they find the same
 * notes in the same audio.
 */
class TranscriptionRun
{
public:
    /** The rate every transcription analyses at. */
    static constexpr float kAnalysisRate = 11025.0f;

    /**
     * Called before each block with the frames fed so far; returning false stops reading (the
     * audio read until then is still transcribed).
     */
    using Progress = std::function<bool(long long position)>;

    /**
     * Transcribes up to `length` frames of the source (less when it ends early). Returns false
     * only when the engine cannot be configured; the notes are then in engine.result().
     */
    static bool run(TranscriptionEngine& engine, TranscriptionSource& source, long long length,
                    const Progress& progress = {});
};
