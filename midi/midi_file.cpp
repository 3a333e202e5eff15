#include "midi_file.h"

#include "byte_writer.h"
#include "error_log.h"
#include "midi_sequence.h"
#include "midi_track_reader.h"
#include "midi_track_writer.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstring>

MidiFile::MidiFile() = default;

MidiFile::~MidiFile()
{
    discard();
}

bool MidiFile::fail(const QString& operation, const QString& message)
{
    const QString where = m_path.isEmpty() ? QStringLiteral("(memory)") : m_path;
    ErrorLog::add(QStringLiteral("MidiFile::%1: %2: %3").arg(operation, where, message));
    return false;
}

void MidiFile::reset()
{
    m_in.reset();
    m_out.reset();
    m_written.clear();
    m_mode = Closed;
    m_headerWritten = false;
    m_chunksWritten = 0;
    m_format = m_trackCount = m_division = 0;
    m_tracks.clear();
    m_tempoMap.reset();
}

bool MidiFile::open(const QString& path, int mode)
{
    close();
    m_path = path;
    if (mode == Write) {
        // The file on disk is replaced only when close() commits what was written. Unbuffered:
        // a buffered save file loses a failed write of its buffer (a full disk) and commits
        // the truncated file as if it were whole.
        m_out = std::make_unique<QSaveFile>(path);
        if (!m_out->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            const QString reason = m_out->errorString();
            m_out.reset();
            return fail(QStringLiteral("open"), reason);
        }
        m_mode = Write;
        return true;
    }
    QByteArray bytes;
    QString error;
    if (!readWhole(path, bytes, &error))
        return fail(QStringLiteral("open"), error);
    return openData(bytes, path);
}

bool MidiFile::readWhole(const QString& path, QByteArray& bytes, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    // A pipe has no size: it is read up to the limit and refused beyond it as well.
    if (file.size() > kLargestFile) {
        *error = QStringLiteral("the file is larger than %1 MB").arg(kLargestFile >> 20);
        return false;
    }
    // A file of known size is read at that size: reading with the limit as the size asked for
    // would allocate the whole limit (64 MB) for every file opened.
    bytes = file.isSequential() ? file.read(kLargestFile + 1) : file.readAll();
    if (bytes.size() > kLargestFile) {
        bytes.clear();
        *error = QStringLiteral("the file is larger than %1 MB").arg(kLargestFile >> 20);
        return false;
    }
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return false;
    }
    return true;
}

bool MidiFile::openData(const QByteArray& bytes, const QString& path)
{
    close();
    m_path = path;
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    return openDevice(std::move(buffer));
}

bool MidiFile::openDevice(std::unique_ptr<QIODevice> device)
{
    m_in = std::move(device);
    m_mode = Read;
    if (readHeader() && readChunkTable()) {
        m_tempoMap.emplace(m_division);
        return true;
    }
    reset();
    return false;
}

bool MidiFile::readBytes(char* data, qint64 size)
{
    return m_in->read(data, size) == size;
}

static uint32_t bigEndian(const char* bytes, int size)
{
    uint32_t value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | uint8_t(bytes[i]);
    return value;
}

bool MidiFile::readHeader()
{
    char head[14];
    if (!readBytes(head, 8) || std::memcmp(head, "MThd", 4) != 0)
        return fail(QStringLiteral("open"), QStringLiteral("not a Standard MIDI File"));
    const uint32_t length = bigEndian(head + 4, 4);
    if (length <= 5)
        return fail(QStringLiteral("open"), QStringLiteral("header length %1").arg(length));
    if (!readBytes(head + 8, 6))
        return fail(QStringLiteral("open"), QStringLiteral("truncated header"));
    m_format = uint16_t(bigEndian(head + 8, 2));
    m_trackCount = uint16_t(bigEndian(head + 10, 2));
    m_division = uint16_t(bigEndian(head + 12, 2));
    // Header bytes beyond the six known ones are skipped, but only when they are there.
    const qint64 extra = qint64(length) - 6;
    if (extra > m_in->size() - m_in->pos() || !m_in->seek(m_in->pos() + extra))
        return fail(QStringLiteral("open"), QStringLiteral("truncated header"));
    if (m_division == 0)
        return fail(QStringLiteral("open"), QStringLiteral("time division 0"));
    // Frames per second instead of ticks per quarter note: these times cannot be placed on
    // the session's beats.
    if (m_division & 0x8000)
        return fail(QStringLiteral("open"), QStringLiteral("SMPTE time division not supported"));
    return true;
}

bool MidiFile::readChunkTable()
{
    // Grown chunk by chunk: the declared count is not trusted for an allocation.
    for (int i = 0; i < m_trackCount; ++i) {
        char head[8];
        if (!readBytes(head, 8))
            return fail(QStringLiteral("open"),
                        QStringLiteral("track %1 of %2 is missing").arg(i).arg(m_trackCount));
        if (std::memcmp(head, "MTrk", 4) != 0)
            return fail(QStringLiteral("open"), QStringLiteral("chunk %1 is not a track").arg(i));
        Track track;
        track.length = bigEndian(head + 4, 4);
        track.offset = uint32_t(m_in->pos());
        if (qint64(track.length) > m_in->size() - m_in->pos() ||
            !m_in->seek(m_in->pos() + track.length))
            return fail(QStringLiteral("open"),
                        QStringLiteral("track %1 is longer than the file").arg(i));
        m_tracks.push_back(track);
    }
    return true;
}

bool MidiFile::readTrackData(int index, QByteArray& data)
{
    const Track& track = m_tracks[size_t(index)];
    // The length was checked against the file's size when it was opened.
    data.resize(qsizetype(track.length));
    if (!m_in->seek(track.offset) || !readBytes(data.data(), track.length))
        return fail(QStringLiteral("readTracks"),
                    QStringLiteral("cannot read track %1").arg(index));
    return true;
}

bool MidiFile::readPass(std::span<MidiSequence* const> destinations, int track, int selector,
                        bool channelFilter, int format)
{
    QByteArray data;
    if (!readTrackData(track, data))
        return false;
    MidiTrackReader::Setup setup;
    setup.destinations = destinations;
    setup.format = format;
    setup.trackIndex = track;
    setup.selector = selector;
    setup.channelFilter = channelFilter;
    setup.division = m_division;
    setup.tempoMap = tempoMap();
    MidiTrackReader reader(setup, reinterpret_cast<const uint8_t*>(data.constData()),
                           uint32_t(data.size()));
    if (!reader.read())
        return fail(QStringLiteral("readTracks"), reader.error());
    return true;
}

bool MidiFile::readTracks(std::span<MidiSequence* const> destinations, int selector)
{
    if (m_mode != Read || !m_tempoMap)
        return fail(QStringLiteral("readTracks"), QStringLiteral("not open for reading"));
    if (destinations.empty() || !destinations[0])
        return fail(QStringLiteral("readTracks"), QStringLiteral("no destination"));
    bool ok = true;
    if (destinations.size() < 2) {
        const int track = m_format == 1 ? selector : 0;
        if (track < 0 || size_t(track) >= m_tracks.size())
            return fail(QStringLiteral("readTracks"),
                        QStringLiteral("track %1 is not in the file").arg(track));
        ok = readPass(destinations, track, selector, m_format == 0, m_format);
    } else {
        // Format 1: every track into its own destination. Other formats keep their events in
        // track 0, read once and split by channel.
        const size_t passes =
            m_format == 1 ? m_tracks.size() : std::min<size_t>(1, m_tracks.size());
        for (size_t k = 0; ok && k < passes; ++k)
            ok = readPass(destinations, int(k), selector, false, m_format);
    }
    for (MidiSequence* destination : destinations) {
        if (destination)
            destination->finish();
    }
    return ok;
}

bool MidiFile::readTrack(MidiSequence& destination, int selector)
{
    MidiSequence* one[1] = {&destination};
    return readTracks(one, selector);
}

bool MidiFile::readChunk(int track, std::span<MidiSequence* const> destinations, int channel)
{
    if (m_mode != Read || !m_tempoMap)
        return fail(QStringLiteral("readChunk"), QStringLiteral("not open for reading"));
    if (destinations.empty() || !destinations[0])
        return fail(QStringLiteral("readChunk"), QStringLiteral("no destination"));
    if (track < 0 || size_t(track) >= m_tracks.size())
        return fail(QStringLiteral("readChunk"),
                    QStringLiteral("track %1 is not in the file").arg(track));
    // The reader splits by channel for any format but 1, whatever the file says.
    const bool filter = destinations.size() == 1 && channel >= 0;
    const bool ok = readPass(destinations, track, filter ? channel : 0, filter, 0);
    for (MidiSequence* destination : destinations) {
        if (destination)
            destination->finish();
    }
    return ok;
}

bool MidiFile::writeHeader(uint16_t format, uint16_t trackCount, uint16_t division)
{
    if (m_mode != Write || m_headerWritten)
        return fail(QStringLiteral("writeHeader"), QStringLiteral("not open for writing"));
    if (division == 0 || (division & 0x8000))
        return fail(QStringLiteral("writeHeader"),
                    QStringLiteral("time division %1").arg(division));
    m_format = format;
    m_trackCount = format == 0 ? 1 : trackCount;
    m_division = division;
    ByteWriter out(m_written);
    out.writeBytes("MThd", 4);
    out.writeNumber(6, 4);
    out.writeNumber(m_format, 2);
    out.writeNumber(m_trackCount, 2);
    out.writeNumber(m_division, 2);
    m_headerWritten = true;
    m_tempoMap.emplace(division);
    return true;
}

bool MidiFile::writeChunk(std::span<MidiSequence* const> merged, const MidiSequence* main)
{
    const bool first = m_chunksWritten == 0;
    MidiTrackWriter::Setup setup;
    if (main)
        setup.merged = merged;
    setup.main = main;
    setup.conductorName = QFileInfo(m_path).completeBaseName();
    setup.division = m_division;
    setup.tempoMap = tempoMap();
    // The tempo map goes into the conductor track, or into the first track when that one
    // holds a sequence (format 0, or a first track carrying setup messages).
    setup.writeTempo = first && main;
    setup.songStructure = first ? m_songStructure : nullptr;
    const QByteArray data = MidiTrackWriter(setup).build();
    ByteWriter out(m_written);
    out.writeBytes("MTrk", 4);
    out.writeNumber(uint32_t(data.size()), 4);
    out.writeBytes(data);
    ++m_chunksWritten;
    return true;
}

bool MidiFile::writeTracks(std::span<MidiSequence* const> sequences)
{
    if (m_mode != Write || !m_headerWritten)
        return fail(QStringLiteral("writeTracks"), QStringLiteral("no header written"));
    if (sequences.empty())
        return fail(QStringLiteral("writeTracks"), QStringLiteral("no track"));
    if (m_format == 1 && sequences.size() > 1) {
        for (size_t i = 0; i < sequences.size(); ++i) {
            if (!writeChunk(sequences.subspan(i, 1), sequences[i]))
                return false;
        }
        return true;
    }
    const auto merged = m_format == 0 ? sequences : sequences.first(1);
    return writeChunk(merged, sequences[0]);
}

bool MidiFile::writeTrack(MidiSequence* sequence)
{
    MidiSequence* one[1] = {sequence};
    return writeTracks(one);
}

bool MidiFile::close()
{
    if (m_mode != Write) {
        reset();
        return true;
    }
    if (!m_headerWritten) {
        discard();
        return true;
    }
    // The header counts the chunks that were really written, so readers find them all.
    m_written[10] = char(m_chunksWritten >> 8);
    m_written[11] = char(m_chunksWritten & 0xFF);
    bool ok = m_out->write(m_written) == m_written.size();
    QString reason = m_out->errorString();
    if (ok) {
        ok = m_out->commit();
        reason = m_out->errorString();
    } else {
        m_out->cancelWriting();
    }
    reset();
    return ok ? true : fail(QStringLiteral("close"), reason);
}

void MidiFile::discard()
{
    if (m_out)
        m_out->cancelWriting();
    reset();
}
