#include "song_renderer.h"

#include "audio_file.h"
#include "audio_format_registry.h"
#include "engine_factory.h"
#include "offline_render.h"
#include "resampling_reader.h"

#include "clip.h"
#include "error_log.h"

#include <QFileInfo>
#include <QTemporaryFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kChannels = 2;

/** A recording's samples at the session rate, from its clip's offset, for its clip's length. */
class RecordingSource
{
public:
    bool open(const Clip& clip, uint32_t rate)
    {
        m_start = clip.start();
        m_length = clip.length();
        m_file = AudioFormatRegistry::instance().create(clip.filePath());
        if (!m_file || !m_file->open(clip.filePath(), AudioFile::Reading) ||
            !m_reader.open(*m_file, rate))
            return false;
        m_buffers.assign(size_t(m_reader.channels()), std::vector<float>());
        return skip(clip.offset());
    }

    /** Adds the frames [first, first + frames) of the timeline to the channels. */
    void mixInto(float* const* channels, uint64_t first, uint32_t frames)
    {
        const uint64_t begin = std::max<uint64_t>(first, m_start);
        const uint64_t end = std::min<uint64_t>(first + frames, uint64_t(m_start) + m_length);
        if (begin >= end)
            return;
        const long long got = read(end - begin);
        const uint32_t at = uint32_t(begin - first);
        for (int c = 0; c < kChannels; ++c) {
            const std::vector<float>& source = m_buffers[size_t(c) % m_buffers.size()];
            for (long long i = 0; i < got; ++i)
                channels[c][at + i] += source[size_t(i)];
        }
    }

private:
    long long read(uint64_t frames)
    {
        std::vector<float*> pointers;
        for (std::vector<float>& b : m_buffers) {
            b.assign(frames, 0.0f);
            pointers.push_back(b.data());
        }
        long long total = 0;
        while (total < (long long)frames) {
            std::vector<float*> at;
            for (float* p : pointers)
                at.push_back(p + total);
            const long long got = m_reader.read(at.data(), (long long)frames - total);
            if (got <= 0)
                break;
            total += got;
        }
        return total;
    }

    bool skip(uint32_t frames)
    {
        while (frames > 0) {
            const uint32_t step = std::min<uint32_t>(frames, 65536);
            if (read(step) <= 0)
                return true; // an offset past the end leaves the recording silent
            frames -= step;
        }
        return true;
    }

    std::unique_ptr<AudioFile> m_file;
    ResamplingReader m_reader;
    std::vector<std::vector<float>> m_buffers;
    uint32_t m_start = 0;
    uint32_t m_length = 0;
};

/** Receives the rendered blocks, adds the recording and writes them to the file. */
class FileOutput : public OfflineAudioClient::Output
{
public:
    FileOutput(AudioFile& file, RecordingSource* recording, uint64_t total,
               const std::function<void(double)>& progress)
        : m_file(file), m_recording(recording), m_total(total), m_progress(progress)
    {
    }

    void write(const float* const* channels, uint32_t frames) override
    {
        m_left.assign(channels[0], channels[0] + frames);
        m_right.assign(channels[1], channels[1] + frames);
        float* mixed[] = {m_left.data(), m_right.data()};
        if (m_recording)
            m_recording->mixInto(mixed, m_written, frames);
        const float* out[] = {m_left.data(), m_right.data()};
        if (m_file.write(out, frames) != frames)
            m_failed = true;
        m_written += frames;
        if (m_progress && m_total > 0)
            m_progress(std::min(1.0, double(m_written) / double(m_total)));
    }

    bool failed() const { return m_failed; }

private:
    AudioFile& m_file;
    RecordingSource* m_recording;
    uint64_t m_total;
    std::function<void(double)> m_progress;
    std::vector<float> m_left, m_right;
    uint64_t m_written = 0;
    bool m_failed = false;
};

bool chooseFormatFor(const QString& path)
{
    AudioFormatRegistry& registry = AudioFormatRegistry::instance();
    const QString suffix = QFileInfo(path).suffix().toLower();
    const AudioFormatRegistry::Entry* entry = registry.entryFor(suffix);
    if (!entry || entry->kind != AudioFormatRegistry::SndFileKind) {
        ErrorLog::add(QStringLiteral("Cannot write audio files of type \"%1\": %2").arg(suffix, path));
        return false;
    }
    return registry.chooseWriteFormat(entry->extension, entry->majorFormat, 0, 4);
}

} // namespace

SongRenderer::SongRenderer()
{
    m_layer.setOutput(&m_synth);
}

SongRenderer::~SongRenderer() = default;

Session::EngineFactory SongRenderer::engines()
{
    return EngineFactory::offline(&m_layer);
}

bool SongRenderer::render(Session& session, const QString& path, const Clip* recording,
                          const std::function<void(double)>& progress)
{
    if (!chooseFormatFor(path))
        return false;
    const uint32_t rate = session.scale().sampleRate();
    RecordingSource source;
    const bool withRecording = recording && !recording->filePath().isEmpty();
    if (withRecording && !source.open(*recording, rate))
        return false;
    // The render goes into a file of its own beside the target and replaces it only when every
    // block was written: a full disk leaves no half-written file and keeps the one there.
    const QFileInfo target(path);
    QTemporaryFile part(target.absolutePath() + QStringLiteral("/.") + target.completeBaseName() +
                        QStringLiteral("-XXXXXX.") + target.suffix());
    if (!part.open()) {
        ErrorLog::add(
            QStringLiteral("Cannot write the audio file: %1: %2").arg(path, part.errorString()));
        return false;
    }
    part.close();
    part.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    std::unique_ptr<AudioFile> file =
        AudioFormatRegistry::instance().create(part.fileName(), kChannels, rate);
    if (!file || !file->open(part.fileName(), AudioFile::Writing))
        return false;

    session.updateEnd(0);
    FileOutput output(*file, withRecording ? &source : nullptr,
                      uint64_t(session.endFrame()) + kTailFrames, progress);
    const bool rendered = renderSongOffline(session, output, kTailFrames);
    file->close();
    if (output.failed()) {
        ErrorLog::add(QStringLiteral("Cannot write the audio file: %1").arg(path));
        return false;
    }
    if (!rendered)
        return false;
    if (std::rename(QFile::encodeName(part.fileName()).constData(),
                    QFile::encodeName(path).constData()) != 0) {
        ErrorLog::add(QStringLiteral("Cannot write the audio file: %1: %2")
                          .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    return true;
}
