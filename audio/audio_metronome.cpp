#include "audio_metronome.h"

#include "audio_buffer.h"
#include "audio_bus.h"

#include <algorithm>

AudioMetronome::AudioMetronome(const TimeScale& scale) : m_cursor(scale) {}

AudioMetronome::~AudioMetronome() = default;

bool AudioMetronome::loadClicks(const QString& barClick, const QString& beatClick, int sampleRate)
{
    close();
    auto bar = std::make_unique<AudioBuffer>(sampleRate);
    auto beat = std::make_unique<AudioBuffer>(sampleRate);
    if (!bar->open(barClick) || !beat->open(beatClick))
        return false;
    m_bar = std::move(bar);
    m_beat = std::move(beat);
    realign(0);
    return true;
}

void AudioMetronome::close()
{
    m_current = nullptr;
    m_bar.reset();
    m_beat.reset();
}

bool AudioMetronome::waitForClicks(int timeoutMs)
{
    return hasClicks() && m_bar->waitForFill(timeoutMs) && m_beat->waitForFill(timeoutMs);
}

// The bar click on a bar's first beat: (beat - node's beat) mod beats per bar = 0.
AudioBuffer* AudioMetronome::clickFor(uint32_t beat)
{
    const TempoNode* node = m_cursor.nodeAtMeterBeat(beat);
    const uint32_t perBar = node && node->beatsPerBar > 0 ? node->beatsPerBar : 1;
    const uint32_t first = node ? node->beat : 0;
    return beat >= first && (beat - first) % perBar == 0 ? m_bar.get() : m_beat.get();
}

void AudioMetronome::startBeat(uint32_t beat)
{
    m_beatIndex = beat;
    m_nextFrame = m_cursor.meterBeatToFrame(beat);
    m_current = clickFor(beat);
    if (m_current)
        m_current->seek(0);
}

void AudioMetronome::realign(uint32_t frame)
{
    // The meter beat nearest the frame, then the first one not before it.
    uint32_t beat = m_cursor.frameToMeterBeat(frame);
    while (beat > 0 && m_cursor.meterBeatToFrame(beat - 1) >= frame)
        --beat;
    while (m_cursor.meterBeatToFrame(beat) < frame)
        ++beat;
    // The click sounding before the frame is cut: nothing plays until the beat.
    if (m_current && m_bar && m_beat) {
        m_bar->seek(m_bar->length());
        m_beat->seek(m_beat->length());
    }
    startBeat(beat);
}

void AudioMetronome::process(AudioBus* bus, uint32_t first, uint32_t last, uint32_t busOffset)
{
    if (!bus || !hasClicks() || !m_current)
        return;
    const float gains[AudioBuffer::kMaxBusChannels] = {1, 1, 1, 1, 1, 1, 1, 1};
    const int channels = std::min(bus->channels(), AudioBuffer::kMaxBusChannels);
    // A beat that has not begun waits; one that began goes on until the next one begins.
    while (m_nextFrame < last) {
        const uint32_t from = std::max(m_nextFrame, first);
        const uint32_t following = m_cursor.meterBeatToFrame(m_beatIndex + 1);
        const uint32_t to = std::min(last, following);
        if (to > from && m_current->isInSync(m_current->readPosition()))
            m_current->mix(bus->outputChannels(), channels, to - from, busOffset + (from - first),
                           gains);
        if (following >= last || following <= m_nextFrame)
            break;
        startBeat(m_beatIndex + 1);
    }
}
