#include "midi_event.h"

std::unique_ptr<MidiEvent> MidiEvent::note(uint32_t time, uint8_t key, uint8_t velocity,
                                           uint32_t duration)
{
    auto event = channel(time, NoteOn, key, velocity);
    event->duration = duration;
    return event;
}

std::unique_ptr<MidiEvent> MidiEvent::channel(uint32_t time, int status, uint8_t data1,
                                              uint8_t data2)
{
    auto event = std::make_unique<MidiEvent>();
    event->time = time;
    event->status = status & 0xF0;
    event->data1 = data1;
    event->data2 = data2;
    return event;
}

std::unique_ptr<MidiEvent> MidiEvent::meta(uint32_t time, int type, const QByteArray& data)
{
    auto event = std::make_unique<MidiEvent>();
    event->time = time;
    event->status = Meta;
    event->metaType = type & 0x7F;
    event->setData(data);
    return event;
}

std::unique_ptr<MidiEvent> MidiEvent::sysex(uint32_t time, const QByteArray& bytes)
{
    auto event = std::make_unique<MidiEvent>();
    event->time = time;
    event->status = SysEx;
    if (bytes.isEmpty() || uint8_t(bytes.at(0)) != 0xF0)
        event->setData(QByteArray(1, char(0xF0)) + bytes);
    else
        event->setData(bytes);
    return event;
}

std::unique_ptr<MidiEvent> MidiEvent::clone() const
{
    auto copy = std::make_unique<MidiEvent>();
    copy->time = time;
    copy->status = status;
    copy->metaType = metaType;
    copy->data1 = data1;
    copy->data2 = data2;
    copy->duration = duration;
    copy->m_data = m_data;
    return copy;
}
