#pragma once

#include <QByteArray>
#include <cstdint>
#include <memory>

class MidiSequence;

/**
 * MidiEvent: one event of a MIDI sequence (MidiSequence).
 *
 * Channel messages keep their status without the channel nibble (the sequence's channel is used
 * when they are written). Note-offs are never stored: a note-on carries its duration. System
 * exclusive events keep their bytes beginning with 0xF0; meta events keep their payload. Events
 * own their data.
 *
 * An event in a sequence is linked into its list; change its time only while it is out of the
 * list (MidiSequence::take, then insert). GUI thread; the MIDI engine reads events from its
 * output thread while the session is not being edited.
 */
class MidiEvent
{
public:
    enum Status : int
    {
        NoteOff = 0x80,
        NoteOn = 0x90,
        KeyPressure = 0xA0,
        Controller = 0xB0,
        Program = 0xC0,
        ChannelPressure = 0xD0,
        PitchBend = 0xE0,
        SysEx = 0xF0,
        Meta = 0xFF,
    };
    enum MetaType : int
    {
        MetaText = 0x01,
        MetaTrackName = 0x03,
        MetaLyric = 0x05,
        MetaMarker = 0x06,
        MetaEndOfTrack = 0x2F,
        MetaTempo = 0x51,
        MetaTimeSignature = 0x58,
        MetaKeySignature = 0x59,
    };
    /** Payloads of meta and system exclusive events are limited to this many bytes. */
    static constexpr int MaxDataLength = 65535;

    /** A note on with its length in ticks. */
    static std::unique_ptr<MidiEvent> note(uint32_t time, uint8_t key, uint8_t velocity,
                                           uint32_t duration);
    /** A channel message of the given status (low nibble ignored) with its data bytes. */
    static std::unique_ptr<MidiEvent> channel(uint32_t time, int status, uint8_t data1,
                                              uint8_t data2 = 0);
    /** A meta event of the given type with its payload (at most MaxDataLength bytes). */
    static std::unique_ptr<MidiEvent> meta(uint32_t time, int type, const QByteArray& data);
    /** A system exclusive message; a leading 0xF0 is added when the bytes lack it. */
    static std::unique_ptr<MidiEvent> sysex(uint32_t time, const QByteArray& bytes);

    /** A copy outside any list. */
    std::unique_ptr<MidiEvent> clone() const;

    MidiEvent* prev() const { return m_prev; }
    MidiEvent* next() const { return m_next; }

    bool isNote() const { return status == NoteOn; }
    bool isMeta() const { return status == Meta; }
    bool isSysEx() const { return status == SysEx; }
    /** Tick just after the event: time + duration for a note, time otherwise. */
    uint32_t endTime() const { return isNote() ? time + duration : time; }

    /** Meta payload, or the system exclusive bytes beginning with 0xF0. */
    const QByteArray& data() const { return m_data; }
    void setData(const QByteArray& data) { m_data = data.left(MaxDataLength); }
    int length() const { return int(m_data.size()); }

    uint32_t time = 0;     // ticks at the sequence's resolution, relative to its begin
    int status = 0;        // 0x80..0xE0 without channel, 0xF0 or 0xFF
    int metaType = 0;      // status 0xFF only
    uint8_t data1 = 0;     // key or controller number
    uint8_t data2 = 0;     // velocity, value, pressure, program
    uint32_t duration = 0; // note on: length in ticks

private:
    friend class MidiSequence;

    MidiEvent* m_prev = nullptr;
    MidiEvent* m_next = nullptr;
    QByteArray m_data;
};
