#pragma once

#include "clip.h"
#include "midi_sequence.h"
#include "midi_sequence_cursor.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <memory>

class MidiFile;

/**
 * MidiClip: a MIDI clip, its events held in a MidiSequence backed by a MIDI file.
 *
 * The clip names the track (format 1) or the channel (format 0) it takes from its file. A
 * recording clip keeps its file open for writing until close() writes the sequence to it.
 * Events are released on close() when the file holds them; a clip whose events exist nowhere
 * else (modified, or without a readable file) keeps them, so closing and reopening around a
 * change of resolution never loses an edit.
 *
 * GUI thread only, except the playback cursors, which the MIDI engine moves from its output
 * thread while the session is not being edited.
 */
class MidiClip : public Clip
{
public:
    /** session: used for time conversions while the clip is not on a track yet. */
    explicit MidiClip(Session* session = nullptr);
    ~MidiClip() override;

    MidiSequence& sequence() { return m_sequence; }
    const MidiSequence& sequence() const { return m_sequence; }
    /** Track number inside the file (format 1) or channel (format 0). */
    uint16_t trackNumber() const { return m_trackNumber; }
    void setTrackNumber(uint16_t number) { m_trackNumber = number; }
    /** The MIDI file format the clip's file is written in. */
    int format() const { return m_format; }
    void setFormat(int format) { m_format = format; }
    /** The file kept open for writing while recording; none otherwise. */
    const MidiFile* file() const { return m_file.get(); }

    /**
     * Binds the clip to an open file. A file open for reading is read (selector: the track or
     * the channel) and closed; a file open for writing (a recording, selector: the format) gets
     * its header and tempo map and stays with the clip until close().
     */
    bool bindFile(std::unique_ptr<MidiFile> file, int selector);
    /** Reads filePath again with the stored track number (see the class comment). */
    bool load();

    bool open() override { return load(); }
    void seek(uint32_t position) override;
    void rewind(bool loopSet) override;
    void setLoopWindow(uint32_t in, uint32_t out) override;
    /** Ends the material: a recording is written to its file, or dropped when empty and asked. */
    /**
     * Reads the clip's file into memory when the next close() will release the events and the
     * next load() read them back; that load() then parses these bytes (once) instead.
     */
    void prepareReopen() override;
    void close(bool removeIfEmpty) override;
    QString toolTip() const override;
    uint16_t fileTrackNumber() const override { return m_trackNumber; }
    void setFileTrackNumber(uint16_t number) override { m_trackNumber = number; }
    int bank() const override { return m_sequence.bank(); }
    int program() const override { return m_sequence.program(); }
    std::unique_ptr<Command> makeStretchEdit(float factor) const override;
    /**
     * Plays the events of the frames [first, last) through the session's MIDI engine. A note on
     * is left out while the track does not sound (muted, or another track soloed); controllers,
     * program changes and the rest still go. Velocities follow the fades. Runs on the MIDI
     * output thread while the session is not being edited.
     */
    void process(uint32_t first, uint32_t last) override;

    /** The two playback cursors (the engine's and the editor's). */
    MidiSequenceCursor& cursor(int which) { return m_cursors[size_t(which & 1)]; }

private:
    Session* timeSession() const;
    uint32_t ticksAfterStart(uint32_t frames) const;
    void setLengthFromSequence(uint32_t startTick);
    void rewindCursors();
    bool writeRecording(bool removeIfEmpty);
    bool convertKeptEvents();

    Session* m_session;
    MidiSequence m_sequence;
    std::unique_ptr<MidiFile> m_file;
    uint16_t m_trackNumber = 1;
    int m_format = 1;
    uint32_t m_windowInTick = 0;
    bool m_hasWindow = false;
    bool m_released = false; // close() released the events; load() reads them again
    QByteArray m_prepared;   // the file's bytes read by prepareReopen(), for the next load()
    QString m_preparedPath;
    std::array<MidiSequenceCursor, 2> m_cursors;
};
