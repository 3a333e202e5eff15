#pragma once

#include <QString>

#include <cstdint>

class AudioOutputMixer;

/**
 * The system MIDI output that the sequencer layer delivers short messages to.
 *
 * A short message is one word: status | data1 << 8 | data2 << 16. open() and close() run on an
 * ordinary thread while no message is being sent; send() runs on the scheduler's delivery thread
 * and must never lock, allocate, log or block.
 */
class MidiOutput
{
public:
    virtual ~MidiOutput() = default;

    /** Opens the device. On failure returns false and puts the reason into `error`. */
    virtual bool open(QString* error) = 0;

    virtual void close() = 0;

    /**
     * Writes one short message. `timeMs` is the scheduler millisecond at which it is due; an
     * output that renders audio uses it to place the message on its frame. Returns 0, or a
     * negative error number that the caller reports later from an ordinary thread.
     */
    virtual int send(uint32_t message, int64_t timeMs) = 0;

    /** The mixer through which the output makes sound in the audio stream, if it does. */
    virtual AudioOutputMixer* mixer() { return nullptr; }
};
