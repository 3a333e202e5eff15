#include "time_stretcher.h"

#include <SoundTouch.h>

#include <algorithm>
#include <cmath>

bool TimeStretcher::isActiveFactor(float factor)
{
    return (factor > 0.1f && factor < 0.999f) || (factor > 1.001f && factor < 4.0f);
}

TimeStretcher::TimeStretcher() = default;
TimeStretcher::~TimeStretcher() = default;

// Inside the range the value is rounded half up; outside it is clamped.
static int clampRounded(double value, int low, int high)
{
    if (value <= low)
        return low;
    if (value >= high)
        return high;
    return int(std::floor(value + 0.5));
}

int TimeStretcher::sequenceMs(double tempo)
{
    return clampRounded(150.0 - 50.0 * tempo, 50, 125);
}

int TimeStretcher::seekWindowMs(double tempo)
{
    return clampRounded(28.333334 - 6.6666665 * tempo, 15, 25);
}

bool TimeStretcher::configure(int channels, int sampleRate, float stretch, float pitch,
                              bool quickSeek, int maxBlock)
{
    if (channels < 1 || channels > 16 || sampleRate < 1 || maxBlock < 1)
        return false;
    m_channels = channels;
    m_maxBlock = maxBlock;
    m_interleaved.assign(size_t(channels) * size_t(maxBlock), 0.0f);
    m_touch = std::make_unique<soundtouch::SoundTouch>();
    m_touch->setChannels(uint(channels));
    m_touch->setSampleRate(uint(sampleRate));
    const double tempo = isActiveFactor(stretch) ? 1.0 / stretch : 1.0;
    m_touch->setTempo(tempo);
    m_touch->setPitch(isActiveFactor(pitch) ? pitch : 1.0);
    // The sequence and the seek window follow the tempo by the same rule the library would use
    // on its own; they are given explicitly so a library default never changes our sound.
    m_touch->setSetting(SETTING_SEQUENCE_MS, sequenceMs(tempo));
    m_touch->setSetting(SETTING_SEEKWINDOW_MS, seekWindowMs(tempo));
    m_touch->setSetting(SETTING_OVERLAP_MS, kOverlapMs);
    m_touch->setSetting(SETTING_USE_QUICKSEEK, quickSeek ? 1 : 0);
    return true;
}

void TimeStretcher::put(const float* const* input, int frames)
{
    frames = std::min(frames, m_maxBlock);
    if (!m_touch || frames <= 0)
        return;
    for (int c = 0; c < m_channels; ++c) {
        const float* in = input[c];
        float* out = m_interleaved.data() + c;
        for (int k = 0; k < frames; ++k)
            out[size_t(k) * size_t(m_channels)] = in[k];
    }
    m_touch->putSamples(m_interleaved.data(), uint(frames));
}

int TimeStretcher::take(float* const* output, int frames)
{
    if (!m_touch || frames <= 0)
        return 0;
    int done = 0;
    while (done < frames) {
        const int want = std::min(frames - done, m_maxBlock);
        const int got = int(m_touch->receiveSamples(m_interleaved.data(), uint(want)));
        if (got <= 0)
            break;
        for (int c = 0; c < m_channels; ++c) {
            const float* in = m_interleaved.data() + c;
            float* out = output[c] + done;
            for (int k = 0; k < got; ++k)
                out[k] = in[size_t(k) * size_t(m_channels)];
        }
        done += got;
    }
    return done;
}

int TimeStretcher::available() const
{
    return m_touch ? int(m_touch->numSamples()) : 0;
}

void TimeStretcher::flush()
{
    if (m_touch)
        m_touch->flush();
}

void TimeStretcher::clear()
{
    if (m_touch)
        m_touch->clear();
}
