#pragma once

#include <QString>

#include <functional>

class TranscriptionEngine;

/**
 * Transcribes an audio file from disk: any format the audio file registry reads, converted to
 * the analysis rate, its first channel analysed, through the same run as Audio to MIDI.
 * Any one thread at a time per engine.
 */
class AudioFileTranscriber
{
public:
    /**
     * Runs the engine over the whole file; the notes are then in engine.result(). False, with
     * the reason in the error log, when the file cannot be read or converted. progress, when
     * given, hears the fraction of the file read before each block.
     */
    static bool transcribe(TranscriptionEngine& engine, const QString& path,
                           const std::function<void(double)>& progress = {});
};
