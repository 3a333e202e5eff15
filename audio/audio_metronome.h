#pragma once

#include "time_scale.h"

#include <QString>
#include <cstdint>
#include <memory>

class AudioBuffer;
class AudioBus;

/**
 * AudioMetronome: the audio engine's click track. A bar click on the first beat of every bar
 * and a beat click on the others, both short files held whole in audio buffers, mixed at the
 * frames the session's time scale gives for its meter beats.
 *
 * Threads: loadClicks() and close() on the GUI thread while the engine does not process (the
 * session's edit lock or a stopped engine); realign() and process() in the audio callback (or
 * on the GUI thread while no callback runs), where they never lock, allocate or log.
 */
class AudioMetronome
{
public:
    explicit AudioMetronome(const TimeScale& scale);
    ~AudioMetronome();
    AudioMetronome(const AudioMetronome&) = delete;
    AudioMetronome& operator=(const AudioMetronome&) = delete;

    /** Opens both click files at the engine's rate; false (error log) when one cannot be read. */
    bool loadClicks(const QString& barClick, const QString& beatClick, int sampleRate);
    void close();
    bool hasClicks() const { return m_bar && m_beat; }
    /** For tests and renders: waits until both clicks are read in. */
    bool waitForClicks(int timeoutMs);

    /** Sets the next beat to the first at or after frame and rewinds its click. */
    void realign(uint32_t frame);
    /**
     * Mixes the clicks falling into [first, last) into the bus, from busOffset on; a click
     * started in an earlier range goes on until it ends or the next beat begins.
     */
    void process(AudioBus* bus, uint32_t first, uint32_t last, uint32_t busOffset);

    uint32_t nextBeatFrame() const { return m_nextFrame; }
    uint32_t beatIndex() const { return m_beatIndex; }

private:
    AudioBuffer* clickFor(uint32_t beat);
    void startBeat(uint32_t beat);

    TimeScaleCursor m_cursor;
    std::unique_ptr<AudioBuffer> m_bar;
    std::unique_ptr<AudioBuffer> m_beat;
    AudioBuffer* m_current = nullptr;
    uint32_t m_beatIndex = 0;
    uint32_t m_nextFrame = 0;
};
