#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

/**
 * StyleCatalog: the styles of a folder as a person chooses among them: name, genre, meter and
 * tempo, read from each style file (a style names its genre in a text event of its first track,
 * "genre: Latin"; one without is listed under "Other").
 *
 * Files that cannot be read as a style are left out, with the reason in the error log. Nothing
 * here touches a session. Any one thread at a time.
 */
class StyleCatalog
{
public:
    struct Entry
    {
        QString name; // the file's base name, as the song remembers the style
        QString path;
        QString genre;
        uint16_t beats = 4;    // beats per bar
        uint16_t beatUnit = 2; // meter denominator as a power of two (2 = quarter note)
        double tempo = 120;    // quarter notes per minute the style was written at
        QStringList sections;  // the section names it marks, in time order

        /** The meter as it is written: "3/4", "6/8". */
        QString meterText() const;
    };

    /** The genre of a style without one. */
    static QString otherGenre();

    /** The style file at path, or nothing when it is no readable style. */
    static std::optional<Entry> describe(const QString& path);

    /** Every style file (*.sty) of a folder, ordered by genre, then by name. */
    static std::vector<Entry> scan(const QString& folder);

    /** The genres of entries in their order, each once. */
    static QStringList genres(const std::vector<Entry>& entries);
};
