#pragma once

#include "midi_output.h"
#include "output_mixer_slot.h"
#include "spsc_ring.h"

#include <QString>

#include <atomic>
#include <vector>

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

/**
 * The built-in General MIDI synthesizer: FluidSynth's synth with the system's GM SoundFont,
 * heard through the audio stream.
 *
 * Messages arrive on the scheduler's delivery thread and cross to the audio callback through a
 * ring (written by the delivery thread, read by the audio callback), each with the frame it is
 * due at. The audio callback plays them on their frame within the block while it renders the
 * synth (which quantises note starts to its own 64-frame steps) and adds the sound to the output.
 * The synth is touched by the audio callback only, so FluidSynth's own locking is switched off.
 *
 * open() and close() on an ordinary thread, while the synth is not attached to an audio client.
 */
class SynthMidiOutput : public MidiOutput, public AudioOutputMixer
{
public:
    /** Settings key of a SoundFont to use instead of the system's GM SoundFont. */
    static const char* const kSoundFontKey;

    /** Where the system's GM SoundFont is looked for, and the names, in order of preference. */
    static QString defaultSoundFontFolder();
    static QStringList defaultSoundFontNames();

    /**
     * The SoundFont to load: `chosen` if not empty, else the first default name found in
     * `folder`. Returns an empty path and a message naming the package to install when there
     * is none.
     */
    static QString findSoundFont(const QString& chosen, const QString& folder, QString* error);

    /** `soundFont` empty: the one the settings name, or the system's GM SoundFont. */
    explicit SynthMidiOutput(const QString& soundFont = QString());
    ~SynthMidiOutput() override;

    bool open(QString* error) override;
    void close() override;
    /** Delivery thread. A full ring drops the message (counted in droppedMessages()). */
    int send(uint32_t message, int64_t timeMs) override;
    AudioOutputMixer* mixer() override { return this; }

    /** Audio callback. */
    void mix(float* const* channels, int channelCount, uint32_t frames,
             int64_t firstFrame) override;

    QString soundFontPath() const { return m_soundFontPath; }
    size_t droppedMessages() const { return m_dropped.load(std::memory_order_relaxed); }

private:
    struct Message
    {
        uint32_t word = 0;
        int64_t frame = 0;
    };

    void apply(const Message& message, int64_t blockFirstFrame);
    void render(float* const* channels, int channelCount, uint32_t offset, uint32_t frames);

    QString m_soundFontPath;
    fluid_settings_t* m_settings = nullptr;
    fluid_synth_t* m_synth = nullptr;
    SpscRing<Message> m_ring;
    std::vector<float> m_left;
    std::vector<float> m_right;
    std::atomic<size_t> m_dropped{0};
};
