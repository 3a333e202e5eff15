#pragma once

class TranscriptionEngine;

/**
 * Watches a transcription run frame by frame, for tests and diagnostic views.
 *
 * Called on the thread that feeds the engine, after each frame's tracking, before the next
 * frame is analysed; the engine's accessors then describe that frame. The observer must not
 * configure, feed or finish the engine it is watching.
 */
class TranscriptionObserver
{
public:
    virtual ~TranscriptionObserver() = default;

    /** `frame` is the frame just tracked; frameCount() still equals it during the call. */
    virtual void frameAnalysed(const TranscriptionEngine& engine, int frame) = 0;
};
