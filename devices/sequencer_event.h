#pragma once

#include <cstddef>
#include <cstdint>

/**
 * The fixed-layout MIDI event record that the MIDI engine hands to the sequencer layer.
 *
 * Layout and type codes are those of the ALSA sequencer event record (28 bytes), so the layer
 * reads every field by its position; the record is plain data and may be built on any thread.
 */
struct SequencerEvent
{
    /** Event type codes used by the engine. */
    enum Type : uint8_t
    {
        NoteWithDuration = 5,
        NoteOn = 6,
        NoteOff = 7,
        KeyPressure = 8,
        Controller = 10,
        ProgramChange = 11,
        ChannelPressure = 12,
        PitchBend = 13,
        SongPosition = 20,
        Start = 30,
        Continue = 31,
        Stop = 32,
        Tempo = 35,
        SysEx = 130,
    };

    /** Queue id of direct (unscheduled, play-now) events. */
    static constexpr uint8_t kDirectQueue = 253;
    /** Destination of ordinary events: all subscribers, unknown port. */
    static constexpr uint8_t kSubscribersClient = 254;
    static constexpr uint8_t kUnknownPort = 253;
    /** Tag of metronome notes. */
    static constexpr uint8_t kMetronomeTag = 255;
    /** Low-nibble flag value of a variable-length (SysEx) event. */
    static constexpr uint8_t kVariableLengthFlag = 4;

    struct Note
    {
        uint8_t channel;
        uint8_t key;
        uint8_t velocity;
        uint8_t offVelocity;
        uint32_t duration; // ticks
    };

    struct Control
    {
        uint8_t channel;
        uint8_t spare[3];
        uint32_t parameter;
        int32_t value;
    };

    struct QueueControl
    {
        uint8_t queue;
        uint8_t spare[3];
        int32_t value;
    };

#pragma pack(push, 1)
    struct Extended
    {
        uint32_t length;
        const void* bytes;
    };
#pragma pack(pop)

    uint8_t type = 0;
    uint8_t flags = 0;
    uint8_t tag = 0;
    uint8_t queue = 0;
    uint32_t time = 0; // queue time in ticks
    uint32_t timeSpare = 0;
    uint8_t sourceClient = 0;
    uint8_t sourcePort = 0;
    uint8_t destinationClient = kSubscribersClient;
    uint8_t destinationPort = kUnknownPort;
    union Data {
        Note note;
        Control control;
        QueueControl queueControl;
        Extended ext;
        uint8_t raw[12];
    } data = {};

    static SequencerEvent note(uint32_t tick, uint8_t channel, uint8_t key, uint8_t velocity,
                               uint32_t duration);
    static SequencerEvent noteOn(uint32_t tick, uint8_t channel, uint8_t key, uint8_t velocity);
    static SequencerEvent noteOff(uint32_t tick, uint8_t channel, uint8_t key);
    static SequencerEvent control(Type type, uint32_t tick, uint8_t channel, uint32_t parameter,
                                  int32_t value);

    /** Turns a scheduled event into a direct one (queue 253). */
    SequencerEvent& direct()
    {
        queue = kDirectQueue;
        return *this;
    }
};

static_assert(sizeof(SequencerEvent::Data) == 12);
static_assert(sizeof(SequencerEvent) == 28);
static_assert(offsetof(SequencerEvent, time) == 4);
static_assert(offsetof(SequencerEvent, sourceClient) == 12);
static_assert(offsetof(SequencerEvent, data) == 16);

inline SequencerEvent SequencerEvent::note(uint32_t tick, uint8_t channel, uint8_t key,
                                           uint8_t velocity, uint32_t duration)
{
    SequencerEvent event;
    event.type = NoteWithDuration;
    event.time = tick;
    event.data.note = {channel, key, velocity, 0, duration};
    return event;
}

inline SequencerEvent SequencerEvent::noteOn(uint32_t tick, uint8_t channel, uint8_t key,
                                             uint8_t velocity)
{
    SequencerEvent event = note(tick, channel, key, velocity, 0);
    event.type = NoteOn;
    return event;
}

inline SequencerEvent SequencerEvent::noteOff(uint32_t tick, uint8_t channel, uint8_t key)
{
    SequencerEvent event = note(tick, channel, key, 0, 0);
    event.type = NoteOff;
    return event;
}

inline SequencerEvent SequencerEvent::control(Type type, uint32_t tick, uint8_t channel,
                                              uint32_t parameter, int32_t value)
{
    SequencerEvent event;
    event.type = type;
    event.time = tick;
    event.data.control = {channel, {0, 0, 0}, parameter, value};
    return event;
}
