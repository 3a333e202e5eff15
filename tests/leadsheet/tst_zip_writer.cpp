#include "lead_sheet_quantizer.h"
#include "music_xml_writer.h"
#include "zip_writer.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <QtEndian>
#include <zlib.h>

namespace {

struct ZipEntry
{
    QString name;
    int method = -1;
    QByteArray data; // inflated
    quint32 crc = 0;
};

quint32 u32(const QByteArray& b, qsizetype at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}

quint16 u16(const QByteArray& b, qsizetype at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}

QByteArray inflateRaw(const QByteArray& packed, quint32 size)
{
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return {};
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.constData()));
    stream.avail_in = uInt(packed.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    const int result = inflate(&stream, Z_FINISH);
    inflateEnd(&stream);
    return result == Z_STREAM_END ? out : QByteArray();
}

// Reads the archive the way unzip does: the end record, the central directory, each local
// header and its data.
QList<ZipEntry> readZip(const QByteArray& zip)
{
    QList<ZipEntry> entries;
    const qsizetype end = zip.size() - 22;
    if (end < 0 || u32(zip, end) != 0x06054b50)
        return entries;
    qsizetype at = u32(zip, end + 16);
    for (int i = 0; i < u16(zip, end + 10); ++i) {
        if (u32(zip, at) != 0x02014b50)
            return {};
        ZipEntry e;
        e.method = u16(zip, at + 10);
        e.crc = u32(zip, at + 16);
        const quint32 packed = u32(zip, at + 20);
        const quint32 size = u32(zip, at + 24);
        const quint16 nameLength = u16(zip, at + 28);
        e.name = QString::fromUtf8(zip.mid(at + 46, nameLength));
        const qsizetype local = u32(zip, at + 42);
        if (u32(zip, local) != 0x04034b50 || u32(zip, local + 14) != e.crc)
            return {};
        const qsizetype data = local + 30 + u16(zip, local + 26) + u16(zip, local + 28);
        const QByteArray bytes = zip.mid(data, packed);
        e.data = e.method == 8 ? inflateRaw(bytes, size) : bytes;
        entries << e;
        at += 46 + nameLength + u16(zip, at + 30) + u16(zip, at + 32);
    }
    return entries;
}

} // namespace

/** The zip archives of compressed lead sheets read back as what was put in. */
class TestZipWriter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void crcAndDeflateMatchZip()
    {
        QCOMPARE(ZipWriter::crc32("123456789"), quint32(0xCBF43926)); // the standard check value
        QCOMPARE(ZipWriter::crc32(QByteArray()), quint32(0));
        const QByteArray text = QByteArray("la la la ").repeated(200);
        const QByteArray packed = ZipWriter::deflate(text);
        QVERIFY(packed.size() < text.size() / 10);
        QCOMPARE(inflateRaw(packed, quint32(text.size())), text);
    }

    void archiveReadsBackFileByFile()
    {
        ZipWriter zip;
        const QByteArray repeated = QByteArray("<note/>").repeated(500);
        QVERIFY(
            zip.addFile(QStringLiteral("mimetype"), "application/vnd.recordare.musicxml", false));
        QVERIFY(zip.addFile(QStringLiteral("META-INF/container.xml"), repeated));
        QVERIFY(zip.addFile(QStringLiteral("empty"), QByteArray()));
        QVERIFY(zip.addFile(QStringLiteral("Lied für dich.musicxml"), "x"));
        const QList<ZipEntry> entries = readZip(zip.archive());
        QCOMPARE(entries.size(), 4);
        QCOMPARE(entries[0].name, QStringLiteral("mimetype"));
        QCOMPARE(entries[0].method, 0); // stored, as the format asks of it
        QCOMPARE(entries[0].data, QByteArray("application/vnd.recordare.musicxml"));
        QCOMPARE(entries[1].method, 8);
        QCOMPARE(entries[1].data, repeated);
        QCOMPARE(entries[1].crc, ZipWriter::crc32(repeated));
        QCOMPARE(entries[2].data, QByteArray());
        QCOMPARE(entries[3].name, QStringLiteral("Lied für dich.musicxml"));
        QCOMPARE(entries[3].method, 0); // one byte does not get smaller
        QCOMPARE(entries[3].data, QByteArray("x"));
    }

    void compressedLeadSheetHasItsContainer()
    {
        LeadSheetSong song;
        song.notes.push_back({0, 960, 60});
        const LeadSheet sheet = LeadSheetQuantizer::quantize(song);
        const QByteArray mxl = MusicXmlWriter::toMxl(sheet, QStringLiteral("song.musicxml"));
        const QList<ZipEntry> entries = readZip(mxl);
        QCOMPARE(entries.size(), 3);
        QCOMPARE(entries[0].name, QStringLiteral("mimetype"));
        QCOMPARE(entries[1].name, QStringLiteral("META-INF/container.xml"));
        QXmlStreamReader container(entries[1].data);
        QString rootFile;
        while (!container.atEnd())
            if (container.readNext() == QXmlStreamReader::StartElement &&
                container.name() == QLatin1String("rootfile"))
                rootFile = container.attributes().value(QLatin1String("full-path")).toString();
        QCOMPARE(rootFile, QStringLiteral("song.musicxml"));
        QCOMPARE(entries[2].name, rootFile);
        QCOMPARE(entries[2].data, MusicXmlWriter::toXml(sheet));

        // A second opinion where Python is installed: its zipfile module checks every CRC.
        const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
        if (python.isEmpty())
            QSKIP("python3 is not installed: the archive was checked by the test's own reader");
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("song.mxl")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(mxl) == mxl.size());
        file.close();
        QProcess check;
        check.start(python, {QStringLiteral("-c"),
                             QStringLiteral("import sys, zipfile; "
                                            "sys.exit(zipfile.ZipFile(sys.argv[1]).testzip() "
                                            "is not None)"),
                             file.fileName()});
        QVERIFY(check.waitForFinished(30000));
        QCOMPARE(check.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestZipWriter)
#include "tst_zip_writer.moc"
