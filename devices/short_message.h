#pragma once

#include <cstdint>

typedef struct _fluid_event_t fluid_event_t;

/**
 * The delivery table: one scheduler event to one short MIDI message word
 * (status | data1 << 8 | data2 << 16). Pure functions, safe from any thread, real-time included.
 */
class ShortMessage
{
public:
    /**
     * Converts a delivered scheduler event. Returns false for every event that is not sent:
     * pitch bend, pressure, timers, empty events and the sequencer's own notices.
     */
    static bool fromSchedulerEvent(fluid_event_t* event, uint32_t* word);

    /** Packs a word; the channel keeps 4 bits and each data byte 7, as MIDI requires. */
    static uint32_t pack(uint32_t status, int channel, int data1, int data2)
    {
        return ((status & 0xF0u) | (static_cast<uint32_t>(channel) & 0x0Fu)) |
               (static_cast<uint32_t>(data1) & 0x7Fu) << 8 |
               (static_cast<uint32_t>(data2) & 0x7Fu) << 16;
    }

    static uint32_t status(uint32_t word) { return word & 0xFFu; }
    static int data1(uint32_t word) { return static_cast<int>(word >> 8 & 0x7Fu); }
    static int data2(uint32_t word) { return static_cast<int>(word >> 16 & 0x7Fu); }
};
