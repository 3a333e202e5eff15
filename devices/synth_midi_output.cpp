#include "synth_midi_output.h"

#include "scheduler_clock.h"
#include "short_message.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <fluidsynth.h>

#include <algorithm>

namespace {

constexpr size_t kRingCapacity = 4096;
constexpr uint32_t kRenderChunk = 512;
// A note on that waited longer than this (no audio stream was running to play it) is dropped
// rather than sounding out of time; its note off and controllers still apply.
constexpr int64_t kStaleNoteFrames = SchedulerClock::kFramesPerSecond / 10;

void silenceFluidLog()
{
    // FluidSynth prints its warnings to stderr, which the audio callback must never do; the
    // failures we care about are reported through return values.
    static const bool done = [] {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, nullptr, nullptr);
        return true;
    }();
    (void)done;
}

} // namespace

const char* const SynthMidiOutput::kSoundFontKey = "/MidiSoundFont";

QString SynthMidiOutput::defaultSoundFontFolder()
{
    return QStringLiteral("/usr/share/sounds/sf2");
}

QStringList SynthMidiOutput::defaultSoundFontNames()
{
    return {QStringLiteral("default-GM.sf2"), QStringLiteral("FluidR3_GM.sf2"),
            QStringLiteral("TimGM6mb.sf2")};
}

QString SynthMidiOutput::findSoundFont(const QString& chosen, const QString& folder, QString* error)
{
    if (!chosen.isEmpty()) {
        if (QFileInfo(chosen).isFile())
            return chosen;
        *error = QStringLiteral("The SoundFont \"%1\" (setting %2) was not found")
                     .arg(chosen, QString::fromLatin1(kSoundFontKey));
        return QString();
    }
    for (const QString& name : defaultSoundFontNames()) {
        const QString path = QDir(folder).filePath(name);
        if (QFileInfo(path).isFile())
            return path;
    }
    *error = QStringLiteral("No General MIDI SoundFont was found in %1 (%2). "
                            "Install one with: apt-get install fluid-soundfont-gm")
                 .arg(folder, defaultSoundFontNames().join(QStringLiteral(", ")));
    return QString();
}

SynthMidiOutput::SynthMidiOutput(const QString& soundFont)
    : m_soundFontPath(soundFont), m_ring(kRingCapacity), m_left(kRenderChunk), m_right(kRenderChunk)
{
}

SynthMidiOutput::~SynthMidiOutput()
{
    close();
}

bool SynthMidiOutput::open(QString* error)
{
    if (m_synth)
        return true;
    silenceFluidLog();
    if (m_soundFontPath.isEmpty()) {
        const QSettings settings(QStringLiteral("Orvane"), QStringLiteral("Cantova"));
        const QString chosen = settings.value(QString::fromLatin1(kSoundFontKey)).toString();
        m_soundFontPath = findSoundFont(chosen, defaultSoundFontFolder(), error);
        if (m_soundFontPath.isEmpty())
            return false;
    }
    m_settings = new_fluid_settings();
    fluid_settings_setnum(m_settings, "synth.sample-rate", SchedulerClock::kFramesPerSecond);
    fluid_settings_setint(m_settings, "synth.threadsafe-api", 0);
    m_synth = new_fluid_synth(m_settings);
    if (!m_synth || fluid_synth_sfload(m_synth, QFile::encodeName(m_soundFontPath).constData(),
                                       1) == FLUID_FAILED) {
        *error = QStringLiteral("The SoundFont \"%1\" could not be loaded").arg(m_soundFontPath);
        close();
        return false;
    }
    return true;
}

void SynthMidiOutput::close()
{
    if (m_synth)
        delete_fluid_synth(m_synth);
    if (m_settings)
        delete_fluid_settings(m_settings);
    m_synth = nullptr;
    m_settings = nullptr;
    while (m_ring.front()) // nothing produces or consumes while closed
        m_ring.pop();
}

int SynthMidiOutput::send(uint32_t message, int64_t timeMs)
{
    if (!m_ring.push(Message{message, SchedulerClock::firstFrameOfMs(timeMs)}))
        m_dropped.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

void SynthMidiOutput::mix(float* const* channels, int channelCount, uint32_t frames,
                          int64_t firstFrame)
{
    if (!m_synth)
        return;
    const int64_t end = firstFrame + frames;
    uint32_t done = 0;
    while (const Message* message = m_ring.front()) {
        if (message->frame >= end)
            break; // due in a later block
        const int64_t offset = std::max<int64_t>(message->frame - firstFrame, done);
        render(channels, channelCount, done, static_cast<uint32_t>(offset) - done);
        done = static_cast<uint32_t>(offset);
        apply(*message, firstFrame);
        m_ring.pop();
    }
    render(channels, channelCount, done, frames - done);
}

void SynthMidiOutput::apply(const Message& message, int64_t blockFirstFrame)
{
    const uint32_t word = message.word;
    const int channel = static_cast<int>(word & 0x0F);
    const int data1 = ShortMessage::data1(word);
    const int data2 = ShortMessage::data2(word);
    switch (word & 0xF0) {
    case 0x90:
        if (blockFirstFrame - message.frame <= kStaleNoteFrames)
            fluid_synth_noteon(m_synth, channel, data1, data2);
        break;
    case 0x80:
        fluid_synth_noteoff(m_synth, channel, data1);
        break;
    case 0xB0:
        fluid_synth_cc(m_synth, channel, data1, data2);
        break;
    case 0xC0:
        fluid_synth_program_change(m_synth, channel, data1);
        break;
    default:
        break;
    }
}

void SynthMidiOutput::render(float* const* channels, int channelCount, uint32_t offset,
                             uint32_t frames)
{
    while (frames > 0) {
        const uint32_t chunk = std::min(frames, kRenderChunk);
        fluid_synth_write_float(m_synth, static_cast<int>(chunk), m_left.data(), 0, 1,
                                m_right.data(), 0, 1);
        for (int channel = 0; channel < channelCount; ++channel) {
            const float* source = channel % 2 == 0 ? m_left.data() : m_right.data();
            float* target = channels[channel] + offset;
            for (uint32_t k = 0; k < chunk; ++k)
                target[k] += source[k];
        }
        offset += chunk;
        frames -= chunk;
    }
}
