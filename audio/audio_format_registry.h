#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class AudioFile;

/**
 * AudioFormatRegistry: the audio file formats the program reads and writes, by file extension.
 *
 * Built on first use from the formats libsndfile reports, plus MP3 through libmpg123. It makes
 * the file object for a path, gives the file-dialog filters and keeps the format chosen for
 * writing. One per program; read from any thread once built, changed (chooseWriteFormat) only
 * on the GUI thread.
 */
class AudioFormatRegistry
{
public:
    enum Kind
    {
        SndFileKind = 0,
        Mp3Kind = 3
    };

    struct Entry
    {
        Kind kind = SndFileKind;
        QString name;        ///< display name, without "/", "(" and ")"
        QString extension;   ///< lower case, without the dot
        int majorFormat = 0; ///< libsndfile major format; 0 for MP3
    };

    static AudioFormatRegistry& instance();

    /**
     * A closed file object for a path, chosen by its lower-case suffix; none for an unknown
     * suffix. Channels, sample rate and size hint matter only for writing.
     */
    std::unique_ptr<AudioFile> create(const QString& path, int channels = 0, int sampleRate = 0,
                                      long long sizeHint = 0) const;

    /** The entry a suffix (any case) maps to, or none. */
    const Entry* entryFor(const QString& extension) const;

    const std::vector<Entry>& entries() const { return entries_; }
    /** Every filter, the combined "Audio files (…)" first and "All files (*.*)" last. */
    const QStringList& filterList() const { return filters_; }
    /** The filters joined by ";;" for a file dialog. */
    QString filters() const { return filters_.join(QStringLiteral(";;")); }

    /** The extension written files get: the write entry's, or "wav". */
    QString defaultWriteExtension() const;
    /**
     * Chooses the format of written files: the entry with that extension and major format,
     * and the sub-format by quality (1 24-bit, 2 32-bit, 3 float, 4 double, else 16-bit PCM;
     * always 16-bit for MP3). False when no entry matches.
     */
    bool chooseWriteFormat(const QString& extension, int majorFormat, int quality, int further);
    /** libsndfile format (major | sub-format) for written files. */
    int writeFormat() const;
    int writeFurther() const { return writeFurther_; }

private:
    AudioFormatRegistry();
    void addSndFileFormats();
    void map(const QString& extension, int entry);
    void addCombinedFilter();

    std::vector<Entry> entries_;
    QHash<QString, int> byExtension_;
    QStringList mappedInOrder_; // the keys of byExtension_ in the order they were mapped
    QStringList filters_;
    int writeEntry_ = -1;
    int writeSubFormat_;
    int writeFurther_ = 4; // stored with the write format for the settings; unused here
};
