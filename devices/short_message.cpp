#include "short_message.h"

#include <fluidsynth.h>

bool ShortMessage::fromSchedulerEvent(fluid_event_t* event, uint32_t* word)
{
    const int channel = fluid_event_get_channel(event);
    const int value = fluid_event_get_value(event);
    switch (fluid_event_get_type(event)) {
    case FLUID_SEQ_NOTEON:
        *word = pack(0x90, channel, fluid_event_get_key(event), fluid_event_get_velocity(event));
        return true;
    case FLUID_SEQ_NOTEOFF:
        *word = pack(0x80, channel, fluid_event_get_key(event), 0);
        return true;
    case FLUID_SEQ_ALLNOTESOFF:
        *word = pack(0xB0, channel, 123, 0);
        return true;
    case FLUID_SEQ_PROGRAMCHANGE:
        *word = pack(0xC0, channel, fluid_event_get_program(event), 0);
        return true;
    case FLUID_SEQ_MODULATION:
        *word = pack(0xB0, channel, 1, value);
        return true;
    case FLUID_SEQ_SUSTAIN:
        *word = pack(0xB0, channel, 64, value);
        return true;
    case FLUID_SEQ_CONTROLCHANGE:
        *word = pack(0xB0, channel, fluid_event_get_control(event), value);
        return true;
    case FLUID_SEQ_PAN:
        *word = pack(0xB0, channel, 10, value);
        return true;
    case FLUID_SEQ_VOLUME:
        *word = pack(0xB0, channel, 7, value);
        return true;
    case FLUID_SEQ_REVERBSEND:
        *word = pack(0xB0, channel, 91, value);
        return true;
    case FLUID_SEQ_CHORUSSEND:
        *word = pack(0xB0, channel, 93, value);
        return true;
    default:
        return false;
    }
}
