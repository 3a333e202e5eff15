#include "audio_file_flow.h"

#include "audio_clip.h"
#include "audio_engine.h"
#include "audio_format_registry.h"
#include "clip_command.h"
#include "error_log.h"
#include "session.h"
#include "track.h"

#include <QCoreApplication>
#include <QFileInfo>

AudioFileFlow::AudioFileFlow(Session* session) : m_session(session) {}

QString AudioFileFlow::filter()
{
    return AudioFormatRegistry::instance().filters();
}

QString AudioFileFlow::patterns()
{
    const QString first = AudioFormatRegistry::instance().filterList().value(0);
    const int open = first.indexOf(QLatin1Char('('));
    const int close = first.lastIndexOf(QLatin1Char(')'));
    return open >= 0 && close > open ? first.mid(open + 1, close - open - 1) : QString();
}

void AudioFileFlow::applySaveType(const QString& extension, int majorFormat, int quality,
                                  int further)
{
    AudioFormatRegistry::instance().chooseWriteFormat(extension, majorFormat, quality, further);
}

std::unique_ptr<ClipCommand> AudioFileFlow::makeLoadCommand(Track* track, const QString& path) const
{
    if (!track || !track->isAudio())
        return nullptr;
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) {
        ErrorLog::add(
            QCoreApplication::translate("AudioFileFlow", "The file does not exist: %1").arg(path));
        return nullptr;
    }
    if (!info.isReadable()) {
        ErrorLog::add(
            QCoreApplication::translate("AudioFileFlow", "The file cannot be read: %1").arg(path));
        return nullptr;
    }
    auto clip = std::make_unique<AudioClip>(int(m_session->scale().sampleRate()));
    clip->setFilePath(path);
    clip->setName(info.completeBaseName());
    clip->setStart(0);
    // Opened here, off the track, so a file that cannot be read changes nothing.
    if (!clip->open()) {
        ErrorLog::add(
            QCoreApplication::translate("AudioFileFlow", "The audio data cannot be read: %1")
                .arg(path));
        return nullptr;
    }
    auto command = std::make_unique<ClipCommand>(
        m_session, QCoreApplication::translate("AudioFileFlow", "Load Audio File"));
    command->addClip(std::move(clip), track);
    return command;
}

bool AudioFileFlow::preview(const QString& path) const
{
    auto* audio = dynamic_cast<AudioEngine*>(m_session->audioEngine());
    if (!audio || !audio->isInitialized())
        return false;
    return audio->previewFile(path);
}
