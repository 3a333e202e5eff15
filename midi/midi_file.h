#pragma once

#include "midi_tempo_map.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class QIODevice;
class QSaveFile;
class ConductorHook;
class MidiSequence;

/**
 * MidiFile: one Standard MIDI File being read or written.
 *
 * Reading checks the header and the table of track chunks when the file is opened (every chunk
 * must lie inside the file), then reads tracks into sequences on demand. Writing builds the
 * header and each track chunk in memory and replaces the file on disk only when close()
 * succeeds, so a failed or interrupted save leaves the previous file as it was.
 *
 * Every failure returns false and adds a message to the error log. GUI thread (or any one
 * thread at a time that owns the object).
 */
class MidiFile
{
public:
    enum Mode
    {
        Closed = 0,
        Read = 1,
        Write = 2
    };
    struct Track
    {
        uint32_t length = 0; // data bytes
        uint32_t offset = 0; // offset of the data, after the chunk header
    };

    MidiFile();
    /** A file still open for writing is discarded. */
    ~MidiFile();
    MidiFile(const MidiFile&) = delete;
    MidiFile& operator=(const MidiFile&) = delete;

    /**
     * Closes whatever was open, then opens path for reading (mode 0 or 1) or writing (2). A
     * file opened for reading is read whole into memory here (at most kLargestFile bytes), so
     * reading its tracks later does no I/O.
     */
    bool open(const QString& path, int mode);
    /** Opens bytes in memory for reading, as open() does a file; path() answers `path`. */
    bool openData(const QByteArray& bytes, const QString& path = QString());
    /** Reads a whole file of at most kLargestFile bytes; false with the reason in error. */
    static bool readWhole(const QString& path, QByteArray& bytes, QString* error);
    static constexpr qint64 kLargestFile = 64 * 1024 * 1024;
    /** On a file open for writing whose header has not been written. */
    bool writeHeader(uint16_t format, uint16_t trackCount, uint16_t division);

    /**
     * Reads tracks into destinations. With one destination, one pass reads track selector
     * (format 1; track 0 otherwise), and a format-0 file gives only the channel messages of
     * channel selector. With several, every track is read: into destination[track] (format 1)
     * or destination[channel] (other formats, meta events to the first). Each destination is
     * finished afterwards.
     */
    bool readTracks(std::span<MidiSequence* const> destinations, int selector);
    bool readTrack(MidiSequence& destination, int selector);
    /**
     * Reads track chunk `track` whatever the file's format. With several destinations the
     * events are split by channel (destination[channel]; meta and system exclusive events to
     * the first); with one, it takes the channel messages of `channel` only (every channel when
     * it is negative) and all meta events. Each destination is finished afterwards.
     */
    bool readChunk(int track, std::span<MidiSequence* const> destinations, int channel = -1);

    /**
     * Writes track chunks: one per sequence for format 1 (none stands for the conductor track,
     * which holds the tempo map), or one chunk merging every sequence by time for format 0.
     */
    bool writeTracks(std::span<MidiSequence* const> sequences);
    /** One track chunk for the sequence (none: the conductor track). */
    bool writeTrack(MidiSequence* sequence);

    /** Ends reading, or writes the file (header and chunks) over the previous one. */
    bool close();
    /** Ends without writing anything to disk. */
    void discard();

    /** While set, the first track written opens with the song-structure events. */
    void setSongStructure(ConductorHook* hook) { m_songStructure = hook; }

    const QString& path() const { return m_path; }
    int mode() const { return m_mode; }
    bool isOpen() const { return m_mode != Closed; }
    uint16_t format() const { return m_format; }
    uint16_t trackCount() const { return m_trackCount; }
    uint16_t division() const { return m_division; }
    const std::vector<Track>& tracks() const { return m_tracks; }
    /** Present once the header was read or written. */
    MidiTempoMap* tempoMap() { return m_tempoMap ? &*m_tempoMap : nullptr; }
    /** Track chunks written so far. */
    int tracksWritten() const { return m_chunksWritten; }

private:
    bool openDevice(std::unique_ptr<QIODevice> device);
    bool readHeader();
    bool readChunkTable();
    bool readBytes(char* data, qint64 size);
    bool readTrackData(int index, QByteArray& data);
    bool readPass(std::span<MidiSequence* const> destinations, int track, int selector,
                  bool channelFilter, int format);
    bool writeChunk(std::span<MidiSequence* const> merged, const MidiSequence* main);
    bool fail(const QString& operation, const QString& message);
    void reset();

    QString m_path;
    int m_mode = Closed;
    std::unique_ptr<QIODevice> m_in;
    std::unique_ptr<QSaveFile> m_out;
    QByteArray m_written; // header and chunks, written to disk by close()
    bool m_headerWritten = false;
    int m_chunksWritten = 0;
    uint16_t m_format = 0;
    uint16_t m_trackCount = 0;
    uint16_t m_division = 0;
    std::vector<Track> m_tracks;
    std::optional<MidiTempoMap> m_tempoMap;
    ConductorHook* m_songStructure = nullptr;
};
