#pragma once

#include <QString>
#include <cstdint>

class Clip;

/**
 * The part of an audio file one transcription reads, in session frames: the audio clip's
 * selection, or the whole clip, or a whole file as a clip at frame 0 would hold it. The clip's
 * stretch and pitch are read with it, so the notes come out as the clip plays. A plain record;
 * any thread.
 */
struct TranscriptionRegion
{
    QString path;
    uint32_t timelineStart = 0; ///< timeline frame of the first analysed sample
    uint64_t fileStart = 0;     ///< clip offset + shift into the (stretched) file
    uint64_t length = 0;        ///< frames to read
    uint32_t sessionRate = 44100;
    float stretch = 1.0f;
    float pitch = 1.0f;

    /** The clip's selection when it has one (selectionIn < selectionOut), else the clip. */
    static TranscriptionRegion ofClip(const Clip& clip, uint32_t sessionRate);
    /**
     * A whole file as opening it puts it on the audio track at frame 0, at the given session
     * rate. False, with the reason in the error log, when the file cannot be read.
     */
    static bool ofFile(const QString& path, uint32_t sessionRate, TranscriptionRegion* region);

    /**
     * Session frames to analysis frames: frames × rate ÷ session rate in unsigned 64-bit,
     * truncated, so a 10 s take at 44100 Hz is 110250 frames at 11025 Hz.
     */
    static uint64_t toAnalysis(uint64_t frames, uint32_t sessionRate, uint32_t analysisRate);
};
