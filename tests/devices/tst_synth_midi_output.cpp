#include "error_log.h"
#include "offline_audio_client.h"
#include "scheduler_clock.h"
#include "sequencer_layer.h"
#include "synth_midi_output.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fftw3.h>

#include <cmath>
#include <vector>

namespace {

struct CapturedOutput : OfflineAudioClient::Output
{
    std::vector<float> left;
    void write(const float* const* channels, uint32_t frames) override
    {
        left.insert(left.end(), channels[0], channels[0] + frames);
    }
};

/** Renders one A4 (MIDI key 69) through the whole chain: layer, synthesizer, offline client. */
std::vector<float> renderNote(SynthMidiOutput* synth, uint32_t tick, uint32_t cycles)
{
    SequencerLayer layer;
    OfflineAudioClient client;
    CapturedOutput output;
    layer.setOutput(synth);
    if (layer.open(SequencerLayer::Clock::AudioFrames) != 0)
        return {};
    client.setFrameClockListener(&layer);
    client.setOutput(&output);
    layer.setQueueTempo(500, 500000); // 1000 ticks per second
    layer.controlQueue(SequencerLayer::kQueueStart);
    layer.outputEvent(SequencerEvent::control(SequencerEvent::ProgramChange, 0, 0, 0, 0).direct());
    layer.outputEvent(SequencerEvent::note(tick, 0, 69, 100, 800));
    client.render(cycles);
    layer.close();
    return output.left;
}

size_t firstSound(const std::vector<float>& samples)
{
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::fabs(samples[i]) > 1e-6f)
            return i;
    }
    return samples.size();
}

/** Frequency of the strongest bin of a Hann-windowed spectrum of `size` samples. */
double peakFrequency(const float* samples, int size)
{
    std::vector<float> windowed(size);
    for (int i = 0; i < size; ++i)
        windowed[i] = samples[i] * float(0.5 - 0.5 * std::cos(2 * M_PI * i / size));
    fftwf_complex* spectrum = fftwf_alloc_complex(size / 2 + 1);
    fftwf_plan plan = fftwf_plan_dft_r2c_1d(size, windowed.data(), spectrum, FFTW_ESTIMATE);
    fftwf_execute(plan);
    int peak = 1;
    double peakPower = 0;
    for (int bin = 1; bin <= size / 2; ++bin) {
        const double power =
            spectrum[bin][0] * spectrum[bin][0] + spectrum[bin][1] * spectrum[bin][1];
        if (power > peakPower) {
            peakPower = power;
            peak = bin;
        }
    }
    fftwf_destroy_plan(plan);
    fftwf_free(spectrum);
    return double(peak) * SchedulerClock::kFramesPerSecond / size;
}

} // namespace

/** The built-in synthesizer: finding its SoundFont and sounding notes on their frame. */
class TestSynthMidiOutput : public QObject
{
    Q_OBJECT

    SynthMidiOutput m_synth;

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_synth.open(&error), qPrintable(error));
    }

    void cleanupTestCase()
    {
        m_synth.close();
        fftwf_cleanup();
    }

    void soundFontIsLookedForInOrder()
    {
        QTemporaryDir folder;
        QString error;
        QCOMPARE(SynthMidiOutput::findSoundFont(QString(), folder.path(), &error), QString());
        QVERIFY(error.contains(QStringLiteral("apt-get install fluid-soundfont-gm")));
        QVERIFY(error.contains(folder.path()));

        for (const char* name : {"TimGM6mb.sf2", "FluidR3_GM.sf2"}) {
            QFile file(folder.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QCOMPARE(SynthMidiOutput::findSoundFont(QString(), folder.path(), &error),
                 folder.filePath(QStringLiteral("FluidR3_GM.sf2")));

        const QString chosen = folder.filePath(QStringLiteral("mine.sf2"));
        QCOMPARE(SynthMidiOutput::findSoundFont(chosen, folder.path(), &error), QString());
        QVERIFY(error.contains(chosen));
        QVERIFY(error.contains(QStringLiteral("/MidiSoundFont")));
    }

    void unreadableSoundFontFailsToOpen()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("broken.sf2"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("RIFF0000sfbk");
        file.close();
        SynthMidiOutput synth(path);
        QString error;
        QVERIFY(!synth.open(&error));
        QVERIFY(error.contains(path));
    }

    void noteSoundsAtItsPitchFromItsFrame()
    {
        const std::vector<float> left = renderNote(&m_synth, 100, 90);
        QCOMPARE(left.size(), size_t(90 * 512));
        // Tick 100 at 1000 ticks per second is millisecond 100, frame 4410; the synthesizer
        // starts voices on its own 64-frame steps.
        const size_t onset = firstSound(left);
        QVERIFY2(onset >= 4410 && onset < 4410 + 128, qPrintable(QString::number(onset)));
        const double frequency = peakFrequency(left.data() + onset + 2048, 16384);
        QVERIFY2(std::fabs(frequency - 440.0) < 3.0, qPrintable(QString::number(frequency)));
    }

    void offlineRenderingIsRepeatable()
    {
        // The same song through two fresh synthesizers: the same samples on the same frames.
        SynthMidiOutput fresh;
        QString error;
        QVERIFY2(fresh.open(&error), qPrintable(error));
        const std::vector<float> first = renderNote(&fresh, 321, 60);
        SynthMidiOutput again;
        QVERIFY2(again.open(&error), qPrintable(error));
        const std::vector<float> second = renderNote(&again, 321, 60);
        QVERIFY(first == second);
        QVERIFY(firstSound(first) >= size_t(SchedulerClock::firstFrameOfMs(321)));
    }

    void lateNoteOnsAreDroppedAndOthersPlaceOnTheirFrame()
    {
        QString error;
        QVERIFY2(m_synth.open(&error), qPrintable(error)); // closing a layer closes its output
        std::vector<float> left(512);
        std::vector<float> right(512);
        float* channels[] = {left.data(), right.data()};
        const int64_t block = 10 * 44100;
        m_synth.send(0x647090, 9000); // key 112: a whole second too late for this block
        m_synth.mix(channels, 2, 512, block);
        QCOMPARE(firstSound(left), left.size());

        m_synth.send(0x644590, 10015); // millisecond 10015 starts at frame block + 512 + 150
        m_synth.mix(channels, 2, 512, block + 512);
        const size_t onset = firstSound(left);
        QVERIFY2(onset >= 150 && onset < 150 + 128, qPrintable(QString::number(onset)));
        m_synth.send(0x4590 | 0x80, 10020);
        QCOMPARE(m_synth.droppedMessages(), size_t(0));
    }
};

QTEST_GUILESS_MAIN(TestSynthMidiOutput)

#include "tst_synth_midi_output.moc"
