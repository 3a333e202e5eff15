#include "audio_file_transcriber.h"

#include "audio_file.h"
#include "audio_format_registry.h"
#include "error_log.h"
#include "resampling_reader.h"
#include "transcription_run.h"
#include "transcription_source.h"

#include <limits>

namespace {

// Frames per read, about what the audio buffer hands Audio to MIDI per step.
constexpr int kBlock = 4096;

/** An open audio file converted to the analysis rate. */
class FileSource : public TranscriptionSource
{
public:
    explicit FileSource(ResamplingReader& reader) : reader_(reader) {}
    int channelCount() const override { return reader_.channels(); }
    int blockSize() const override { return kBlock; }
    long long read(float* const* channels, int frames) override
    {
        return reader_.read(channels, frames);
    }

private:
    ResamplingReader& reader_;
};

} // namespace

bool AudioFileTranscriber::transcribe(TranscriptionEngine& engine, const QString& path,
                                      const std::function<void(double)>& progress)
{
    const auto file = AudioFormatRegistry::instance().create(path);
    if (!file) {
        ErrorLog::add(
            QStringLiteral("audio2midi: %1 is not an audio file type Cantova reads").arg(path));
        return false;
    }
    if (!file->open(path, AudioFile::Reading)) {
        ErrorLog::add(QStringLiteral("audio2midi: Cannot read the audio data from file."));
        return false;
    }
    ResamplingReader reader;
    if (!reader.open(*file, TranscriptionRun::kAnalysisRate)) {
        ErrorLog::add(QStringLiteral("audio2midi: Cannot read the audio data from file."));
        return false;
    }
    // Like Audio to MIDI, read the length the file states, converted to the analysis rate.
    // Reading also stops where the data ends, so a header that claims too much costs nothing;
    // one that states no length is read to its end.
    const long long length = reader.expectedFrames();
    FileSource source(reader);
    TranscriptionRun::Progress report;
    if (progress && length > 0)
        report = [&](long long position) {
            progress(double(position) / double(length));
            return true;
        };
    return TranscriptionRun::run(engine, source,
                                 length > 0 ? length : std::numeric_limits<long long>::max(),
                                 report);
}
