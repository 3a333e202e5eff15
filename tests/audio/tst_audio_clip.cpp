// Audio clips on the engine's offline client: the buffer's ring layout, gain and pan, the
// factors and the tool tip, loops, seeks without clicks, resampling and time stretching, and a
// golden render of two clips. Before every cycle the test lets each buffer thread finish its
// fill, so the output does not depend on the threads' timing.
#include "audio_test_files.h"

#include "audio_buffer.h"
#include "audio_bus.h"
#include "audio_clip.h"
#include "audio_engine.h"
#include "audio_metronome.h"
#include "audio_player.h"
#include "offline_audio_engine.h"

#include "error_log.h"
#include "session.h"
#include "session_cursor.h"
#include "track.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <vector>

using namespace audiotest;

namespace {

constexpr uint32_t kBlock = AudioClient::kBufferSize;
constexpr int kRate = 44100;

struct CapturedOutput : OfflineAudioClient::Output
{
    std::vector<float> left, right;
    void write(const float* const* channels, uint32_t frames) override
    {
        left.insert(left.end(), channels[0], channels[0] + frames);
        right.insert(right.end(), channels[1], channels[1] + frames);
    }
};

/** A session with the audio engine on an offline client the test drives. */
struct Rig
{
    Session session;
    AudioEngine* audio = nullptr;
    OfflineAudioClient* client = nullptr;
    CapturedOutput output;
    std::vector<AudioClip*> clips;

    Rig()
    {
        audio = openOfflineSession(session, &client);
        client->setOutput(&output);
    }

    /** A track of its own with a clip on the file; the clip is opened on the track. */
    AudioClip* addClip(const QString& path, uint32_t start, uint32_t offset = 0,
                       float stretch = 1.0f, float gain = 1.0f, float pan = 0.0f)
    {
        auto* track = new Track(&session, Track::AudioTrack);
        session.addTrack(track);
        track->setGain(gain);
        track->setPanning(pan);
        auto* clip = new AudioClip;
        clip->setFilePath(path);
        clip->setStart(start);
        clip->setOffset(offset);
        clip->setStretchFactor(stretch);
        track->addClip(clip);
        session.lockEdit();
        const bool opened = clip->open();
        session.trackChanged(track);
        session.unlockEdit();
        if (opened)
            clips.push_back(clip);
        return opened ? clip : nullptr;
    }

    void settle()
    {
        for (AudioClip* clip : clips)
            if (clip->buffer())
                QVERIFY(clip->buffer()->waitForFill(10000));
    }

    void play()
    {
        session.setPlaying(true);
        audio->discardFadeRequest();
    }

    void render(uint32_t cycles)
    {
        for (uint32_t i = 0; i < cycles; ++i) {
            settle();
            QCOMPARE(client->render(1), 0);
        }
    }
};

QString tempFile(const QTemporaryDir& dir, const char* name)
{
    return dir.filePath(QLatin1String(name));
}

} // namespace

class TestAudioClip : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_stereo44; // 200000 frames, 44.1 kHz, left 330 Hz, right 550 Hz
    QString m_mono48;   // 24000 frames, 48 kHz, 1000 Hz
    QString m_dc;       // 3000 frames, 44.1 kHz stereo, constant 0.5

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_stereo44 = tempFile(m_dir, "stereo44.wav");
        m_mono48 = tempFile(m_dir, "mono48.wav");
        m_dc = tempFile(m_dir, "dc.wav");
        QVERIFY(writeFile(m_stereo44, 2, kRate, 200000, [](int c, long long k) {
            return float(0.3 * std::sin(2.0 * M_PI * (c ? 550.0 : 330.0) * double(k) / kRate));
        }));
        QVERIFY(writeFile(m_mono48, 1, 48000, 24000, sine(1000.0, 48000.0, 0.5)));
        QVERIFY(writeFile(m_dc, 2, kRate, 3000, [](int, long long) { return 0.5f; }));
    }

    void ringSizeThresholdAndChunkFollowTheClipLength()
    {
        const auto small = AudioBuffer::layoutFor(3000, 1.0);
        QCOMPARE(small.size, 4096u);
        const auto exact = AudioBuffer::layoutFor(4097, 1.0);
        QCOMPARE(exact.size, 8192u);
        const auto large = AudioBuffer::layoutFor(200000, 1.0);
        QCOMPARE(large.size, 131072u);
        QCOMPARE(large.threshold, 32768u);
        QCOMPARE(large.chunk, 8192u);
        QCOMPARE(AudioBuffer::layoutFor(131071, 1.0).size, 131072u);

        Rig rig;
        AudioClip* shortClip = rig.addClip(m_dc, 0);
        AudioClip* longClip = rig.addClip(m_stereo44, 0);
        QVERIFY(shortClip && longClip);
        rig.settle();
        QCOMPARE(shortClip->length(), 3000u);
        QCOMPARE(shortClip->buffer()->ringSize(), 4096u);
        QVERIFY(shortClip->buffer()->isWholeFileHeld());
        QCOMPARE(longClip->buffer()->ringSize(), 131072u);
        QCOMPARE(longClip->buffer()->threshold(), 32768u);
        QCOMPARE(longClip->buffer()->chunk(), 8192u);
        QVERIFY(!longClip->buffer()->isWholeFileHeld());
    }

    void panAndGainFollowTheLaw()
    {
        Rig rig;
        AudioClip* right = rig.addClip(m_dc, 0, 0, 1.0f, 0.8f, 1.0f);
        QVERIFY(right);
        rig.play();
        rig.render(2);
        // The first block ramps from unit gain and starts with the de-click fade-in; from the
        // second on: left 0, right sqrt(2) x gain x 0.5.
        QCOMPARE(rig.output.right[0], 0.0f);
        QCOMPARE(rig.output.left[kBlock + 100], 0.0f);
        QVERIFY(std::fabs(rig.output.right[kBlock + 100] - float(std::sqrt(2.0) * 0.8 * 0.5)) <
                1e-6);

        Rig centre;
        QVERIFY(centre.addClip(m_dc, 0, 0, 1.0f, 0.8f, 0.0005f));
        centre.play();
        centre.render(2);
        QVERIFY(std::fabs(centre.output.left[kBlock + 100] - 0.4f) < 1e-6);
        QVERIFY(std::fabs(centre.output.right[kBlock + 100] - 0.4f) < 1e-6);
    }

    void toolTipShowsTheFileTheGainAndActiveFactorsOnly()
    {
        Rig rig;
        AudioClip* clip = rig.addClip(m_mono48, 0);
        QVERIFY(clip);
        QVERIFY(clip->needsTranscription());
        QVERIFY(clip->toolTip().contains(QStringLiteral("\nAudio:\t1 channels, 48000 Hz")));
        QVERIFY(!clip->toolTip().contains(QStringLiteral("dB")));
        clip->setGain(0.5f);
        QVERIFY(clip->toolTip().contains(QStringLiteral("48000 Hz (-6 dB)")));
        clip->setGain(1.0005f);
        QVERIFY(!clip->toolTip().contains(QStringLiteral("dB")));

        for (float off : {1.0005f, 5.0f, 0.1f, 4.0f, 0.0f, -1.0f}) {
            AudioClip other;
            other.setStretchFactor(off);
            other.setPitchShift(off);
            QCOMPARE(other.stretchFactor(), 1.0f);
            QCOMPARE(other.pitchShift(), 1.0f);
            QVERIFY(!other.toolTip().contains(QStringLiteral("stretch")));
        }
        AudioClip half;
        half.setLength(1000);
        half.setStretchFactor(0.5f);
        QCOMPARE(half.stretchFactor(), 0.5f);
        QCOMPARE(half.length(), 500u);
        QVERIFY(half.toolTip().contains(QStringLiteral("\n\t(50% time stretch)")));
        half.setPitchShift(1.25f);
        QVERIFY(half.toolTip().contains(QStringLiteral("\n\t(125% pitch shift)")));
    }

    void aFileThatCannotBeOpenedLeavesTheClipSilent()
    {
        Rig rig;
        ErrorLog::clear();
        QVERIFY(!rig.addClip(m_dir.filePath(QStringLiteral("missing.wav")), 0));
        QVERIFY(!ErrorLog::isEmpty());
        const QString junk = m_dir.filePath(QStringLiteral("junk.wav"));
        QFile file(junk);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("RIFF not really a wave file");
        file.close();
        QVERIFY(!rig.addClip(junk, 0));
        ErrorLog::clear();
        rig.play();
        rig.render(2);
        QCOMPARE(largestStep(rig.output.left, 0, rig.output.left.size()), 0.0f);
    }

    void monoClipAt48kHzPlaysAtItsPitchAndLength()
    {
        Rig rig;
        AudioClip* clip = rig.addClip(m_mono48, 0);
        QVERIFY(clip);
        QVERIFY(clip->buffer()->isResampling());
        QCOMPARE(clip->length(), 22050u); // 24000 frames at 48 kHz
        rig.play();
        rig.render(50);
        QVERIFY(std::fabs(peakFrequency(rig.output.left, 2048, 16384, kRate, 950, 1050) - 1000.0) <
                5.0);
        // Both bus channels reuse the one channel; it ends with the clip.
        QCOMPARE(rig.output.left[5000], rig.output.right[5000]);
        QVERIFY(std::fabs(rig.output.left[22040]) + std::fabs(rig.output.left[22030]) > 0.0f);
        QCOMPARE(largestStep(rig.output.left, 22050, 25600), 0.0f);
    }

    void stretchedClipKeepsItsPitchAndTakesItsStretchedLength()
    {
        const QString path = m_dir.filePath(QStringLiteral("a440.wav"));
        QVERIFY(writeFile(path, 2, kRate, 88200, sine(440.0, kRate, 0.5)));
        for (float factor : {0.8f, 1.25f}) {
            Rig rig;
            AudioClip* clip = rig.addClip(path, 0, 0, factor);
            QVERIFY(clip);
            QVERIFY(clip->buffer()->isStretching());
            const uint32_t expected = uint32_t(std::lround(88200 * factor));
            QCOMPARE(clip->length(), expected);
            rig.play();
            rig.render(expected / kBlock + 4);
            QVERIFY(std::fabs(peakFrequency(rig.output.left, 8192, 16384, kRate, 400, 480) -
                              440.0) < 4.4);
            // Sound up to within one cycle of the stretched end, silence after it.
            float lastLoud = 0;
            for (uint32_t k = expected - 2 * kBlock; k < expected - kBlock; ++k)
                lastLoud = std::max(lastLoud, std::fabs(rig.output.left[k]));
            QVERIFY2(lastLoud > 0.1f, qPrintable(QString::number(lastLoud)));
            QCOMPARE(largestStep(rig.output.left, expected, rig.output.left.size()), 0.0f);
        }
    }

    void aShortLoopWrapsSeveralTimesInOneCycleWithoutClicks()
    {
        Rig rig;
        AudioClip* clip = rig.addClip(m_stereo44, 0);
        QVERIFY(clip);
        // 100 frames of the 330 Hz side start and end near zero: no ramp needed there, but the
        // wrap itself must not step.
        rig.session.setLoop(10000, 10150);
        rig.session.locate(10000);
        rig.play();
        rig.render(4);
        QCOMPARE(rig.session.playHead(), 10000u + (4 * kBlock) % 150);
        QVERIFY(clip->buffer()->isLooping());
        // Each pass of 150 frames repeats the same frames, faded in and out at the wrap.
        const float step = largestStep(rig.output.left, kBlock, rig.output.left.size());
        QVERIFY2(step < 0.06f, qPrintable(QString::number(step)));
        QVERIFY(std::fabs(rig.output.left[kBlock + 75] - rig.output.left[kBlock + 75 + 150]) <
                1e-6);
    }

    void aFarSeekWhilePlayingGivesNoClick()
    {
        Rig rig;
        AudioClip* clip = rig.addClip(m_stereo44, 0);
        QVERIFY(clip);
        rig.play();
        rig.render(10);
        // A locate while playing fades the output out first: on the device the edit lock waits
        // for that cycle, here the test runs it.
        rig.audio->requestFade(-1);
        rig.render(1);
        rig.session.locate(150000);
        rig.play();
        rig.render(10);
        QCOMPARE(clip->buffer()->readPosition(), 150000u + 10 * kBlock);
        // A 550 Hz sine of amplitude 0.3 steps at most 0.3 x 2 pi x 550 / 44100 = 0.024 from
        // one frame to the next; a cut would step by up to 0.6.
        const float step = largestStep(rig.output.right, 0, rig.output.right.size());
        QVERIFY2(step < 0.03f, qPrintable(QString::number(step)));
        QVERIFY(std::fabs(rig.output.right[15 * kBlock]) +
                    std::fabs(rig.output.right[15 * kBlock + 100]) >
                0);
    }

    void unscaledReadCopiesWhatTheMixWouldPlay()
    {
        AudioBuffer buffer(kRate);
        buffer.setLength(0);
        QVERIFY(buffer.open(m_dc));
        QVERIFY(buffer.waitForFill(10000));
        std::vector<float> left(1000, -1.0f), right(1000, -1.0f);
        float* out[] = {left.data(), right.data()};
        QCOMPARE(buffer.read(out, 900, 100), 900u);
        QCOMPARE(left[99], -1.0f);
        QCOMPARE(left[100], 0.5f); // no ramp, no gain
        QCOMPARE(right[999], 0.5f);
        // Looped at [1000, 1500): a read of 2000 from 2900 stops at the clip's end.
        buffer.setLoop(0, 0);
        buffer.seek(2900);
        QVERIFY(buffer.isInSync(2900));
        QCOMPARE(buffer.read(out, 500, 0), 100u);

        // Folding a stereo buffer onto one bus channel sums both channels.
        buffer.seek(0);
        QVERIFY(buffer.isInSync(0));
        std::vector<float> mono(200, 0.0f);
        float* bus[] = {mono.data()};
        const float gains[] = {1.0f};
        QCOMPARE(buffer.mix(bus, 1, 200, 0, gains), 200u);
        QCOMPARE(mono[0], 0.0f);
        QCOMPARE(mono[150], 1.0f);
    }

    void metronomeClicksBarsAndBeatsAndRealignsAtEveryWrap()
    {
        const QString bar = m_dir.filePath(QStringLiteral("bar.wav"));
        const QString beat = m_dir.filePath(QStringLiteral("beat.wav"));
        QVERIFY(writeFile(bar, 1, kRate, 400, [](int, long long) { return 0.25f; }));
        QVERIFY(writeFile(beat, 1, kRate, 400, [](int, long long) { return 0.125f; }));
        {
            Rig rig; // 120 beats a minute in 4/4: a beat every 22050 frames
            QVERIFY(rig.audio->setMetronomeClicks(bar, beat));
            QVERIFY(rig.audio->metronome()->waitForClicks(10000));
            rig.audio->setMetronomeOn(true);
            rig.play();
            rig.render(4 * 22050 / kBlock + 2);
            QCOMPARE(rig.output.left[100], 0.25f);
            QCOMPARE(rig.output.right[100], 0.25f);
            QCOMPARE(rig.output.left[500], 0.0f); // the click is 400 frames long
            QCOMPARE(rig.output.left[22050 + 100], 0.125f);
            QCOMPARE(rig.output.left[3 * 22050 + 399], 0.125f);
            QCOMPARE(rig.output.left[3 * 22050 + 400], 0.0f);
            QCOMPARE(rig.output.left[4 * 22050 + 100], 0.25f);
            QCOMPARE(rig.output.left[22049], 0.0f);
        }
        {
            // A loop of 150 frames from a bar line wraps more than three times in a cycle: each
            // pass starts the bar click again instead of playing its 400 frames on.
            Rig rig;
            QVERIFY(rig.audio->setMetronomeClicks(bar, beat));
            QVERIFY(rig.audio->metronome()->waitForClicks(10000));
            rig.audio->setMetronomeOn(true);
            rig.session.setLoop(0, 150);
            rig.play();
            rig.render(2);
            QCOMPARE(rig.session.playHead(), (2 * kBlock) % 150);
            for (uint32_t pass = 0; pass < 6; ++pass) {
                QCOMPARE(rig.output.left[pass * 150], 0.0f); // each start fades in again
                QCOMPARE(rig.output.left[pass * 150 + 100], 0.25f);
                QCOMPARE(rig.output.left[pass * 150 + 149], 0.25f);
            }
        }
    }

    void previewPlaysTheFileOnThePlayerBusUntilItEnds()
    {
        Rig rig;
        QVERIFY(!rig.audio->previewFile(m_dir.filePath(QStringLiteral("missing.wav"))));
        ErrorLog::clear();
        QVERIFY(rig.audio->previewFile(m_dc));
        QVERIFY(rig.audio->player()->waitForFill(10000));
        QCOMPARE(rig.audio->playerBus(), rig.audio->buses().front().get());
        QVERIFY(rig.audio->player()->isPlaying());
        // The preview rolls the client's transport (the cycles run) while the song stands still.
        QCOMPARE(rig.client->render(7), 0);
        QCOMPARE(rig.session.playHead(), 0u);
        QCOMPARE(rig.output.left[600], 0.5f);
        QCOMPARE(rig.output.right[2999], 0.5f);
        QCOMPARE(rig.output.right[3000], 0.0f);
        QVERIFY(!rig.audio->player()->isPlaying());
        QVERIFY(rig.audio->previewFile(m_dc));
        rig.audio->stopPreview();
        QVERIFY(!rig.audio->player()->isPlaying());
    }

    void goldenRenderOfTwoClipsWithALoop()
    {
        Rig rig;
        QVERIFY(rig.addClip(m_mono48, 0));
        AudioClip* stereo = rig.addClip(m_stereo44, 1000, 500, 1.0f, 0.7f, -0.4f);
        QVERIFY(stereo);
        rig.session.setLoop(4096, 9000);
        rig.play();
        rig.render(30);
        std::vector<float> actual;
        for (size_t k = 0; k < rig.output.left.size(); ++k) {
            actual.push_back(rig.output.left[k]);
            actual.push_back(rig.output.right[k]);
        }
        const QString reference = QStringLiteral(CANTOVA_TEST_DATA "/audio/two_clips_looped.f32");
        QFile file(reference);
        std::vector<float> expected;
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.readAll();
            expected.resize(size_t(bytes.size()) / sizeof(float));
            memcpy(expected.data(), bytes.constData(), expected.size() * sizeof(float));
        }
        bool same = expected.size() == actual.size();
        for (size_t k = 0; same && k < actual.size(); ++k)
            same = std::fabs(expected[k] - actual[k]) <= 1e-6f;
        if (!same) {
            QFile out(reference + QStringLiteral(".actual"));
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(reinterpret_cast<const char*>(actual.data()),
                      qint64(actual.size() * sizeof(float)));
        }
        QVERIFY2(same, "the render differs from the reference; see the .actual file beside it");
    }
};

QTEST_GUILESS_MAIN(TestAudioClip)
#include "tst_audio_clip.moc"
