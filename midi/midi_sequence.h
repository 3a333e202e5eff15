#pragma once

#include "midi_event.h"

#include <QString>
#include <array>
#include <cstdint>
#include <memory>

/**
 * MidiSequence: the MIDI data of one clip or one file track.
 *
 * Events form an intrusive doubly linked list ordered by time; an event inserted at the time of
 * existing events goes after them. The list owns its events. While a file is read, note-ons wait
 * in a pending table until their note-off arrives (addRead) or the sequence is finished.
 *
 * GUI thread. The MIDI engine walks the list from its output thread through a MidiSequenceCursor
 * while the session is not being edited; walking allocates nothing.
 */
class MidiSequence
{
public:
    MidiSequence(const QString& name = QString(), uint16_t channel = 0, uint16_t resolution = 960);
    ~MidiSequence();
    MidiSequence(const MidiSequence&) = delete;
    MidiSequence& operator=(const MidiSequence&) = delete;

    /**
     * Exchanges everything with other: events, pending notes, name, channel, resolution, window,
     * bank and program. Cursors of either sequence start again (both generations change).
     */
    void swap(MidiSequence& other);
    /** Drops every event and pending note; bank and program back to -1, end to 0. */
    void clear();
    /** Drops every event and pending note only; bank, program, begin and length stay. */
    void clearEvents();

    /**
     * Adds an event read from a file at time ticks (absolute, this resolution): the time is made
     * relative to begin (at least 0); a note-on or note-off ends every pending note-on of its
     * key; a note-on then waits for its own note-off; a note-off is dropped.
     */
    void addRead(std::unique_ptr<MidiEvent> event);
    /** The note-off half of addRead, without an event object. */
    void addReadNoteOff(uint32_t time, uint8_t key);
    /** Inserts by time after events of the same time; updates the key range and end. */
    MidiEvent* insert(std::unique_ptr<MidiEvent> event);
    /**
     * The same, searching the place from near, an event of this sequence close to where the
     * event belongs (an editor's re-sort of an event it moved a little); near may be null.
     */
    MidiEvent* insert(std::unique_ptr<MidiEvent> event, const MidiEvent* near);
    /** Unlinks the event and hands it to the caller. */
    std::unique_ptr<MidiEvent> take(MidiEvent* event);
    /** Raises end to length and length to end; notes still pending last until end. */
    void finish();
    /**
     * Replaces the events with times in [from, to) by copies of the source's events that fall
     * in the same range once converted to this resolution (time * resolution / source
     * resolution, rounded half away from zero; durations likewise). When to <= from the range
     * runs to the end.
     */
    void replace(uint32_t from, uint32_t to, const MidiSequence& source);

    MidiEvent* first() const { return m_first; }
    MidiEvent* last() const { return m_last; }
    int count() const { return m_count; }
    bool isEmpty() const { return m_count == 0; }
    /** Changes whenever an event joins or leaves the list (see MidiSequenceCursor). */
    uint32_t generation() const { return m_generation; }

    const QString& name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    uint16_t channel() const { return m_channel; }
    void setChannel(uint16_t channel) { m_channel = channel & 0x0F; }
    uint16_t resolution() const { return m_resolution; }
    void setResolution(uint16_t ticks) { m_resolution = ticks; }
    uint32_t begin() const { return m_begin; }
    void setBegin(uint32_t ticks) { m_begin = ticks; }
    uint32_t length() const { return m_length; }
    void setLength(uint32_t ticks) { m_length = ticks; }
    int bank() const { return m_bank; }
    void setBank(int bank) { m_bank = bank; }
    int program() const { return m_program; }
    void setProgram(int program) { m_program = program; }
    uint8_t lowestKey() const { return m_lowestKey; }
    uint8_t highestKey() const { return m_highestKey; }
    uint32_t end() const { return m_end; }
    void setEnd(uint32_t ticks) { m_end = ticks; }
    void raiseEnd(uint32_t ticks);

    /** Converts ticks of another resolution to this one (half away from zero). */
    static uint32_t convert(uint32_t ticks, uint16_t to, uint16_t from);

private:
    void closePending(uint32_t time, uint8_t key);
    MidiEvent* lastAtOrBefore(uint32_t time, const MidiEvent* near) const;
    void deleteEvents();

    QString m_name;
    uint16_t m_channel = 0;
    uint16_t m_resolution = 960;
    uint32_t m_begin = 0;
    uint32_t m_length = 0;
    int m_bank = -1;
    int m_program = -1;
    uint8_t m_lowestKey = 0;
    uint8_t m_highestKey = 0;
    uint32_t m_end = 0;
    MidiEvent* m_first = nullptr;
    MidiEvent* m_last = nullptr;
    int m_count = 0;
    uint32_t m_generation = 0;
    // Every note-on or note-off ends all pending notes of its key, so at most one waits per key.
    std::array<MidiEvent*, 128> m_pending{};
};
