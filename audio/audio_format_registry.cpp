#include "audio_format_registry.h"

#include "mp3_file.h"
#include "snd_file.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>

#include <sndfile.h>

AudioFormatRegistry& AudioFormatRegistry::instance()
{
    static AudioFormatRegistry registry;
    return registry;
}

AudioFormatRegistry::AudioFormatRegistry() : writeSubFormat_(SF_FORMAT_PCM_16)
{
    addSndFileFormats();
    writeEntry_ = byExtension_.value(QStringLiteral("wav"), -1);

    entries_.push_back(
        {Mp3Kind, QStringLiteral("MP3 MPEG-1 Audio Layer 3"), QStringLiteral("mp3"), 0});
    const int mp3 = static_cast<int>(entries_.size()) - 1;
    byExtension_.insert(QStringLiteral("mp3"), mp3); // MP3 always goes to libmpg123
    if (!mappedInOrder_.contains(QStringLiteral("mp3")))
        mappedInOrder_.append(QStringLiteral("mp3"));
    filters_.append(QStringLiteral("%1 (*.mp3)").arg(entries_[mp3].name));
    addCombinedFilter();
}

// Names and extensions come from the library at run time. An extension longer than three
// letters also answers to its first three (aiff to aif, flac to fla) when they are free.
void AudioFormatRegistry::addSndFileFormats()
{
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof(count));
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof(info)) != 0 || !info.extension)
            continue;
        QString name = QString::fromLatin1(info.name ? info.name : "");
        name.replace(QLatin1Char('/'), QLatin1Char('-'));
        name.remove(QLatin1Char('('));
        name.remove(QLatin1Char(')'));
        const QString extension = QString::fromLatin1(info.extension).toLower();
        entries_.push_back({SndFileKind, name, extension, info.format});
        const int entry = static_cast<int>(entries_.size()) - 1;

        QString pattern = QStringLiteral("*.%1").arg(extension);
        if (!byExtension_.contains(extension))
            map(extension, entry);
        const QString alias = extension.left(3);
        if (extension.size() > 3 && !byExtension_.contains(alias)) {
            map(alias, entry);
            pattern = QStringLiteral("*.%1 ").arg(alias) + pattern;
        }
        // libsndfile names its Ogg container "oga"; files of it are mostly called ".ogg".
        if (extension == QLatin1String("oga") && !byExtension_.contains(QStringLiteral("ogg"))) {
            map(QStringLiteral("ogg"), entry);
            pattern = QStringLiteral("*.ogg ") + pattern;
        }
        filters_.append(QStringLiteral("%1 (%2)").arg(name, pattern));
    }
}

void AudioFormatRegistry::map(const QString& extension, int entry)
{
    byExtension_.insert(extension, entry);
    mappedInOrder_.append(extension);
}

void AudioFormatRegistry::addCombinedFilter()
{
    static const QRegularExpression common(QStringLiteral("^(aif(|f)|fla(|c)|mp3|ogg|w(av|64))$"));
    QStringList patterns;
    for (const QString& extension : mappedInOrder_) {
        if (common.match(extension).hasMatch())
            patterns.append(QStringLiteral("*.%1").arg(extension));
    }
    filters_.prepend(QCoreApplication::translate("AudioFormatRegistry", "Audio files (%1)")
                         .arg(patterns.join(QLatin1Char(' '))));
    filters_.append(QCoreApplication::translate("AudioFormatRegistry", "All files (*.*)"));
}

const AudioFormatRegistry::Entry* AudioFormatRegistry::entryFor(const QString& extension) const
{
    const auto found = byExtension_.constFind(extension.toLower());
    return found == byExtension_.constEnd() ? nullptr : &entries_[static_cast<size_t>(*found)];
}

std::unique_ptr<AudioFile> AudioFormatRegistry::create(const QString& path, int channels,
                                                       int sampleRate, long long sizeHint) const
{
    const Entry* entry = entryFor(QFileInfo(path).suffix());
    if (!entry)
        return nullptr;
    if (entry->kind == Mp3Kind)
        return std::make_unique<Mp3File>(sizeHint);
    return std::make_unique<SndFile>(channels, sampleRate, sizeHint);
}

QString AudioFormatRegistry::defaultWriteExtension() const
{
    return writeEntry_ >= 0 ? entries_[static_cast<size_t>(writeEntry_)].extension
                            : QStringLiteral("wav");
}

bool AudioFormatRegistry::chooseWriteFormat(const QString& extension, int majorFormat, int quality,
                                            int further)
{
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& entry = entries_[i];
        if (entry.extension != extension || entry.majorFormat != majorFormat)
            continue;
        writeEntry_ = static_cast<int>(i);
        writeFurther_ = further;
        switch (entry.kind == Mp3Kind ? 0 : quality) {
        case 1:
            writeSubFormat_ = SF_FORMAT_PCM_24;
            break;
        case 2:
            writeSubFormat_ = SF_FORMAT_PCM_32;
            break;
        case 3:
            writeSubFormat_ = SF_FORMAT_FLOAT;
            break;
        case 4:
            writeSubFormat_ = SF_FORMAT_DOUBLE;
            break;
        default:
            writeSubFormat_ = SF_FORMAT_PCM_16;
            break;
        }
        return true;
    }
    return false;
}

int AudioFormatRegistry::writeFormat() const
{
    const int major =
        writeEntry_ >= 0 ? entries_[static_cast<size_t>(writeEntry_)].majorFormat : SF_FORMAT_WAV;
    return major | writeSubFormat_;
}
