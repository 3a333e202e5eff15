#include "audio_file_transcriber.h"

#include "clip_audio_source.h"
#include "error_log.h"
#include "transcription_region.h"
#include "transcription_run.h"

bool AudioFileTranscriber::transcribe(TranscriptionEngine& engine, const QString& path,
                                      const std::function<void(double)>& progress,
                                      unsigned sessionRate)
{
    // The file is read as the window reads it opened on the audio track: the same region, the
    // same buffer and the same run, so both find the same notes.
    TranscriptionRegion region;
    if (!TranscriptionRegion::ofFile(path, sessionRate, &region))
        return false;
    ClipAudioSource source(region);
    if (!source.open()) {
        ErrorLog::add(QStringLiteral("audio2midi: Cannot read the audio data from file."));
        return false;
    }
    const long long length = source.length();
    TranscriptionRun::Progress report;
    if (progress && length > 0)
        report = [&](long long position) {
            progress(double(position) / double(length));
            return true;
        };
    return TranscriptionRun::run(engine, source, length, report);
}
