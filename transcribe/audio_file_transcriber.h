#pragma once

#include <QString>

#include <functional>

class TranscriptionEngine;

/**
 * Transcribes an audio file from disk: any format the audio file registry reads, converted to
 * the analysis rate, its first channel analysed. The file is read as Audio to MIDI reads it when
 * it is opened on the audio track of a session at kSessionRate, through the same source and run.
 * Any one thread at a time per engine.
 */
class AudioFileTranscriber
{
public:
    /** The session rate the window and the commands run at. */
    static constexpr unsigned kSessionRate = 44100;

    /**
     * Runs the engine over the whole file; the notes are then in engine.result(). False, with
     * the reason in the error log, when the file cannot be read or converted. progress, when
     * given, hears the fraction of the file read before each block.
     */
    static bool transcribe(TranscriptionEngine& engine, const QString& path,
                           const std::function<void(double)>& progress = {},
                           unsigned sessionRate = kSessionRate);
};
