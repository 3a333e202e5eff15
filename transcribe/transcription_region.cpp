#include "transcription_region.h"

#include "audio_buffer.h"
#include "audio_file.h"
#include "audio_format_registry.h"
#include "clip.h"
#include "error_log.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

/** Why an audio file could not be opened, in plain words: the library's own text says less. */
QString unreadableReason(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("%1: no such file").arg(path);
    if (info.isDir())
        return QStringLiteral("%1 is a folder, not a file").arg(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString());
    if (info.size() == 0)
        return QStringLiteral("%1 is empty").arg(path);
    return QStringLiteral("%1 holds no audio Cantova can read").arg(path);
}

} // namespace

TranscriptionRegion TranscriptionRegion::ofClip(const Clip& clip, uint32_t sessionRate)
{
    TranscriptionRegion region;
    region.path = clip.filePath();
    region.sessionRate = std::max<uint32_t>(sessionRate, 1);
    region.stretch = clip.stretchFactor();
    region.pitch = clip.pitchShift();
    uint64_t shift = 0;
    region.length = clip.length();
    region.timelineStart = clip.start();
    if (clip.selectionIn() < clip.selectionOut()) {
        // The selection is kept inside the clip; a stale one is clamped to it all the same.
        const uint32_t in = std::clamp(clip.selectionIn(), clip.start(), clip.end());
        const uint32_t out = std::clamp(clip.selectionOut(), in, clip.end());
        shift = in - clip.start();
        region.length = out - in;
        region.timelineStart = in;
    }
    region.fileStart = uint64_t(clip.offset()) + shift;
    return region;
}

bool TranscriptionRegion::ofFile(const QString& path, uint32_t sessionRate,
                                 TranscriptionRegion* region)
{
    const auto file = AudioFormatRegistry::instance().create(path);
    if (!file) {
        ErrorLog::add(
            QStringLiteral("audio2midi: %1 is not an audio file type Cantova reads").arg(path));
        return false;
    }
    if (!file->open(path, AudioFile::Reading) || file->sampleRate() < 1) {
        // Read newest first: the program's message, then the reason, then the library's text.
        ErrorLog::add(unreadableReason(path));
        ErrorLog::add(QStringLiteral("audio2midi: Cannot read the audio data from file."));
        return false;
    }
    *region = TranscriptionRegion();
    region->path = path;
    region->sessionRate = std::max<uint32_t>(sessionRate, 1);
    region->length = AudioBuffer::wholeLength(
        file->frames(), double(region->sessionRate) / file->sampleRate(), 1.0f);
    file->close();
    return true;
}

uint64_t TranscriptionRegion::toAnalysis(uint64_t frames, uint32_t sessionRate,
                                         uint32_t analysisRate)
{
    return frames * analysisRate / std::max<uint32_t>(sessionRate, 1);
}
