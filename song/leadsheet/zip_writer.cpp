#include "zip_writer.h"

#include <QtEndian>
#include <limits>
#include <zlib.h>

namespace {

constexpr quint32 kLocalHeader = 0x04034b50;
constexpr quint32 kCentralHeader = 0x02014b50;
constexpr quint32 kEndOfCentral = 0x06054b50;
constexpr quint16 kVersion = 20; // 2.0: deflate
constexpr quint16 kUtf8Names = 1u << 11;
constexpr quint16 kDosDate = (2000 - 1980) << 9 | 1 << 5 | 1; // a fixed date: same bytes every run

void put16(QByteArray& out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void put32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

} // namespace

quint32 ZipWriter::crc32(const QByteArray& data)
{
    uLong crc = ::crc32(0L, Z_NULL, 0);
    return quint32(
        ::crc32(crc, reinterpret_cast<const Bytef*>(data.constData()), uInt(data.size())));
}

QByteArray ZipWriter::deflate(const QByteArray& data)
{
    z_stream stream{};
    // Negative window bits: a raw deflate stream, as zip stores it.
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK)
        return {};
    QByteArray out(qsizetype(deflateBound(&stream, uLong(data.size()))), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    const int result = ::deflate(&stream, Z_FINISH);
    const qsizetype written = qsizetype(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        return {};
    out.truncate(written);
    return out;
}

bool ZipWriter::addFile(const QString& name, const QByteArray& data, bool compress)
{
    constexpr qsizetype kLimit = std::numeric_limits<quint32>::max() / 2;
    if (m_entries.size() >= 0xFFFF || data.size() > kLimit || m_body.size() > kLimit)
        return false;
    Entry entry;
    entry.name = name.toUtf8().left(0xFFFF);
    entry.crc = crc32(data);
    entry.size = quint32(data.size());
    entry.offset = quint32(m_body.size());
    QByteArray packed = compress ? deflate(data) : QByteArray();
    const bool deflated = !packed.isEmpty() && packed.size() < data.size();
    if (!deflated)
        packed = data;
    entry.method = deflated ? 8 : 0;
    entry.storedSize = quint32(packed.size());

    put32(m_body, kLocalHeader);
    put16(m_body, kVersion);
    put16(m_body, kUtf8Names);
    put16(m_body, entry.method);
    put16(m_body, 0); // time
    put16(m_body, kDosDate);
    put32(m_body, entry.crc);
    put32(m_body, entry.storedSize);
    put32(m_body, entry.size);
    put16(m_body, quint16(entry.name.size()));
    put16(m_body, 0); // no extra field
    m_body += entry.name;
    m_body += packed;
    m_entries.push_back(entry);
    return true;
}

QByteArray ZipWriter::archive() const
{
    QByteArray out = m_body;
    const quint32 directoryStart = quint32(out.size());
    for (const Entry& e : m_entries) {
        put32(out, kCentralHeader);
        put16(out, kVersion); // made by
        put16(out, kVersion); // needed
        put16(out, kUtf8Names);
        put16(out, e.method);
        put16(out, 0);
        put16(out, kDosDate);
        put32(out, e.crc);
        put32(out, e.storedSize);
        put32(out, e.size);
        put16(out, quint16(e.name.size()));
        put16(out, 0); // extra field
        put16(out, 0); // comment
        put16(out, 0); // disk
        put16(out, 0); // internal attributes
        put32(out, 0); // external attributes
        put32(out, e.offset);
        out += e.name;
    }
    const quint32 directorySize = quint32(out.size()) - directoryStart;
    put32(out, kEndOfCentral);
    put16(out, 0); // this disk
    put16(out, 0); // disk of the directory
    put16(out, quint16(m_entries.size()));
    put16(out, quint16(m_entries.size()));
    put32(out, directorySize);
    put32(out, directoryStart);
    put16(out, 0); // comment
    return out;
}
