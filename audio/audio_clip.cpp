#include "audio_clip.h"

#include "audio_buffer.h"
#include "audio_bus.h"
#include "audio_engine.h"
#include "audio_monitor.h"
#include "audio_recorder.h"
#include "time_stretcher.h"

#include "session.h"
#include "track.h"

#include <QFile>
#include <algorithm>
#include <cmath>

AudioClip::AudioClip(int sampleRate) : m_sampleRate(sampleRate > 0 ? sampleRate : 44100) {}

AudioClip::~AudioClip()
{
    m_buffer.reset();
    m_recorder.reset();
}

int AudioClip::engineRate() const
{
    Session* s = session();
    return s ? int(s->scale().sampleRate()) : m_sampleRate;
}

bool AudioClip::open()
{
    close(false);
    if (filePath().isEmpty())
        return false;
    auto buffer = std::make_unique<AudioBuffer>(engineRate());
    buffer->setOffset(offset());
    buffer->setLength(length());
    buffer->setStretch(m_stretch);
    buffer->setPitch(m_pitch);
    if (!buffer->open(filePath()))
        return false;
    if (length() == 0) {
        setOffset(buffer->offset());
        setLength(buffer->length());
    }
    buffer->setLoop(windowIn(), windowOut());
    m_buffer = std::move(buffer);
    return true;
}

bool AudioClip::openRecording(int channels, int sampleRate)
{
    close(false);
    auto recorder = std::make_unique<AudioRecorder>(channels, sampleRate);
    if (filePath().isEmpty() || !recorder->open(filePath()))
        return false;
    m_recorder = std::move(recorder);
    return true;
}

void AudioClip::close(bool removeIfEmpty)
{
    m_buffer.reset();
    if (m_recorder) {
        m_recorder->close();
        m_recorder.reset();
    }
    if (removeIfEmpty && length() == 0 && !filePath().isEmpty())
        QFile::remove(filePath());
}

void AudioClip::seek(uint32_t position)
{
    if (m_buffer)
        m_buffer->seek(position);
}

void AudioClip::rewind(bool loopSet)
{
    // The next time the play head reaches the clip it comes from the loop start when looping.
    seek(loopSet && windowIn() < windowOut() ? windowIn() : 0);
}

void AudioClip::setLoopWindow(uint32_t in, uint32_t out)
{
    if (m_buffer)
        m_buffer->setLoop(in, out);
}

void AudioClip::process(uint32_t first, uint32_t last)
{
    if (!m_buffer || last <= start() || first >= end())
        return;
    Track* t = track();
    auto* bus = t ? dynamic_cast<AudioBus*>(t->outputBus()) : nullptr;
    auto* engine = t ? dynamic_cast<AudioEngine*>(t->engine()) : nullptr;
    if (!bus || !engine)
        return;
    const uint32_t position = first > start() ? first - start() : 0;
    const uint32_t busOffset = start() > first ? start() - first : 0;
    const uint32_t frames = std::min(last, end()) - std::max(first, start());
    if (!m_buffer->isInSync(position))
        return;
    const float gain = gainAt(position);
    float gains[AudioBuffer::kMaxBusChannels];
    const int channels = std::min(bus->channels(), AudioBuffer::kMaxBusChannels);
    const auto* monitor = dynamic_cast<const AudioMonitor*>(t->monitor());
    for (int c = 0; c < channels; ++c)
        gains[c] = monitor ? gain * monitor->channelGain(c) : gain;
    m_buffer->mix(bus->outputChannels(), channels, frames, engine->framesThisCycle() + busOffset,
                  gains);
}

void AudioClip::setStretchFactor(float factor)
{
    if (!TimeStretcher::isActiveFactor(factor))
        factor = 1.0f;
    if (factor == m_stretch)
        return;
    // The material keeps its place: length and offset grow with the factor.
    const double scale = double(factor) / m_stretch;
    setOffset(uint32_t(std::llround(offset() * scale)));
    setLength(uint32_t(std::llround(length() * scale)));
    m_stretch = factor;
}

void AudioClip::setPitchShift(float factor)
{
    m_pitch = TimeStretcher::isActiveFactor(factor) ? factor : 1.0f;
}

int AudioClip::channels() const
{
    return m_buffer ? m_buffer->channels() : 0;
}

int AudioClip::fileSampleRate() const
{
    return m_buffer ? m_buffer->fileSampleRate() : 0;
}

QString AudioClip::toolTip() const
{
    QString text = Clip::toolTip();
    if (m_buffer)
        text += QObject::tr("\nAudio:\t%1 channels, %2 Hz").arg(channels()).arg(fileSampleRate());
    if (gain() < 0.999f || gain() > 1.001f)
        text += QObject::tr(" (%1 dB)").arg(QString::number(20.0 * std::log10(gain()), 'g', 2));
    if (m_stretch != 1.0f)
        text +=
            QObject::tr("\n\t(%1% time stretch)").arg(QString::number(100.0 * m_stretch, 'g', 3));
    if (m_pitch != 1.0f)
        text += QObject::tr("\n\t(%1% pitch shift)").arg(QString::number(100.0 * m_pitch, 'g', 3));
    return text;
}
