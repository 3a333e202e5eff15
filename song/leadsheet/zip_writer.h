#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

/**
 * ZipWriter: builds a zip archive in memory, each file deflated with zlib (or stored when that
 * does not make it smaller), as compressed MusicXML (.mxl) needs it.
 *
 * Plain zip without zip64: the archive and each file stay below 4 GiB and 65535 files, which
 * lead sheets never come near; addFile() refuses more. Names are stored as UTF-8. Safe from any
 * ordinary thread (one writer per thread).
 */
class ZipWriter
{
public:
    /**
     * Adds a file, deflated unless compress is false (a "mimetype" file must be stored as it
     * is); false when the archive would outgrow plain zip.
     */
    bool addFile(const QString& name, const QByteArray& data, bool compress = true);
    /** The whole archive: local headers with data, then the central directory. */
    QByteArray archive() const;

    /** CRC-32 of the bytes, as zip records it. */
    static quint32 crc32(const QByteArray& data);
    /** Raw deflate stream (no zlib header); empty when zlib fails. */
    static QByteArray deflate(const QByteArray& data);

private:
    struct Entry
    {
        QByteArray name;
        quint32 crc = 0;
        quint32 size = 0;
        quint32 storedSize = 0;
        quint16 method = 0; // 0 stored, 8 deflated
        quint32 offset = 0; // of the local header
    };

    QByteArray m_body;
    std::vector<Entry> m_entries;
};
