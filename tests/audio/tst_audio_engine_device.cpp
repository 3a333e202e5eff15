// The audio engine on the sound card path, its cycles on PortAudio's own thread: run with an
// ALSA configuration whose default device is a file (see tests/audio/CMakeLists.txt).
#include "audio_test_files.h"

#include "audio_buffer.h"
#include "audio_bus.h"
#include "audio_clip.h"
#include "audio_engine.h"
#include "audio_format_registry.h"
#include "audio_monitor.h"

#include "clip.h"
#include "record_clip_command.h"
#include "session.h"
#include "track.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <sndfile.h>
#include <thread>

namespace {

/** Counts the renders in progress, so a test can see whether one still runs. */
class Busy
{
public:
    explicit Busy(std::atomic<int>* inside) : m_inside(inside) { m_inside->fetch_add(1); }
    ~Busy() { m_inside->fetch_sub(1); }

private:
    std::atomic<int>* m_inside;
};

std::atomic<int> g_rendering{0};

/** Mixes a constant into its track's bus; the file device runs faster than real time. */
class SlowTone : public Clip
{
public:
    SlowTone() { setLength(1u << 30); }
    void process(uint32_t first, uint32_t last) override
    {
        Busy busy(&g_rendering);
        auto* engine = static_cast<AudioEngine*>(track()->engine());
        auto* bus = static_cast<AudioBus*>(track()->outputBus());
        const uint32_t base = engine->framesThisCycle();
        for (uint32_t k = 0; k < last - first; ++k)
            for (int channel = 0; channel < bus->channels(); ++channel)
                bus->outputChannels()[channel][base + k] += 0.25f;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
};

/** A single full-scale frame at one session frame: marks where the play head's frames land. */
class MarkerClip : public Clip
{
public:
    explicit MarkerClip(uint32_t at)
    {
        setStart(at);
        setLength(1);
    }
    void process(uint32_t first, uint32_t last) override
    {
        if (start() < first || start() >= last)
            return;
        auto* engine = static_cast<AudioEngine*>(track()->engine());
        auto* bus = static_cast<AudioBus*>(track()->outputBus());
        bus->outputChannels()[0][engine->framesThisCycle() + start() - first] += 1.0f;
    }
};

} // namespace

class TestAudioEngineDevice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fadesWaitForTheDevicesCycleAndPausingStopsTheHead()
    {
        Session session;
        auto engine = std::make_unique<AudioEngine>(&session); // the sound card's client
        AudioEngine* audio = engine.get();
        session.setEngines(std::move(engine), std::make_unique<Engine>(&session, Engine::MidiKind));
        QVERIFY(audio->init());
        QVERIFY(audio->activate());
        QVERIFY(session.midiEngine()->init() && session.midiEngine()->activate());
        QVERIFY(session.ensureMasterBuses());
        auto* track = new Track(&session, Track::AudioTrack);
        track->addClip(new SlowTone);
        session.addTrack(track);

        session.setPlaying(true); // returns once a cycle took the fade-in
        QCOMPARE(audio->pendingFade(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(session.playHead() >= 20 * 512, 20000);
        auto* master = static_cast<AudioBus*>(audio->buses().front().get());
        QCOMPARE(master->audioOutputMonitor()->takePeak(0), 0.25f);

        session.setPlaying(false); // returns once a cycle faded out
        QVERIFY(audio->isStopping());
        QVERIFY(!audio->isPlaying());
        // Stopping waited for the cycle that was rendering: the head stands still from here on.
        const uint32_t head = session.playHead();
        QTest::qWait(30);
        QCOMPARE(session.playHead(), head);

        QVERIFY(audio->clean());
        QVERIFY(!audio->hasDeviceClient());
    }

    void stopReturnsOnlyAfterTheRenderingCycleAndTheTrackCanGo()
    {
        Session session;
        auto engine = std::make_unique<AudioEngine>(&session);
        AudioEngine* audio = engine.get();
        session.setEngines(std::move(engine), std::make_unique<Engine>(&session, Engine::MidiKind));
        QVERIFY(audio->init() && audio->activate());
        QVERIFY(session.midiEngine()->init() && session.midiEngine()->activate());
        QVERIFY(session.ensureMasterBuses());
        for (int round = 0; round < 10; ++round) {
            auto* track = new Track(&session, Track::AudioTrack);
            track->addClip(new SlowTone); // each render sleeps 1 ms inside the cycle
            session.addTrack(track);
            QVERIFY(audio->start());
            QTRY_VERIFY_WITH_TIMEOUT(g_rendering.load() > 0, 5000);
            QVERIFY(audio->stop());
            QCOMPARE(g_rendering.load(), 0);
            // Freed right after stopping, as the window does: a cycle still inside would read it.
            session.removeTrack(track);
            delete track;
        }
        QVERIFY(audio->clean());
    }

    void anOpenedWavPlaysToTheDeviceAlignedWithItsClip()
    {
        QTemporaryDir dir;
        const QString wav = dir.filePath(QStringLiteral("steps.wav"));
        // Distinct values, so a shift by one frame shows.
        QVERIFY(audiotest::writeFile(
            wav, 1, 44100, 4000, [](int, long long k) { return float(0.1 + 0.0001 * double(k)); }));
        const QString playback = dir.filePath(QStringLiteral("playback.raw"));
        qputenv("ALSA_TEST_PLAYBACK", QFile::encodeName(playback));

        constexpr uint32_t kMarker = 2048; // after the first cycle's fade-in
        constexpr uint32_t kClipStart = 6000;
        {
            Session session;
            auto engine = std::make_unique<AudioEngine>(&session);
            AudioEngine* audio = engine.get();
            session.setEngines(std::move(engine),
                               std::make_unique<Engine>(&session, Engine::MidiKind));
            QVERIFY(audio->init() && audio->activate());
            QVERIFY(session.midiEngine()->init() && session.midiEngine()->activate());
            QVERIFY(session.ensureMasterBuses());
            auto* markers = new Track(&session, Track::AudioTrack);
            markers->addClip(new MarkerClip(kMarker));
            session.addTrack(markers);
            auto* track = new Track(&session, Track::AudioTrack);
            session.addTrack(track);
            auto* clip = new AudioClip;
            clip->setFilePath(wav);
            clip->setStart(kClipStart);
            track->addClip(clip);
            session.lockEdit();
            QVERIFY(clip->open());
            session.trackChanged(track);
            session.unlockEdit();
            QVERIFY(clip->buffer()->waitForFill(10000));
            session.setPlaying(true);
            QTRY_VERIFY_WITH_TIMEOUT(session.playHead() > kClipStart + 8192, 20000);
            session.setPlaying(false);
            QVERIFY(audio->clean());
        }
        qputenv("ALSA_TEST_PLAYBACK", "/dev/null");

        QFile file(playback);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        std::vector<float> frames(size_t(bytes.size()) / sizeof(float));
        memcpy(frames.data(), bytes.constData(), frames.size() * sizeof(float));
        // Interleaved stereo float: find the marker, then the clip kClipStart - kMarker later.
        size_t marker = 0;
        while (2 * marker < frames.size() && frames[2 * marker] != 1.0f)
            ++marker;
        QVERIFY2(2 * marker < frames.size(), "the marker frame never reached the device");
        const size_t clip = marker + (kClipStart - kMarker);
        QVERIFY(2 * (clip + 4000) < frames.size());
        QCOMPARE(frames[2 * (clip - 1)], 0.0f);
        QCOMPARE(frames[2 * clip], 0.0f); // the first frame after opening fades in from 0
        for (size_t k = AudioBuffer::kDeclickFrames; k < 4000; ++k) {
            const float expected = float(0.1 + 0.0001 * double(k));
            if (std::fabs(frames[2 * (clip + k)] - expected) > 1e-6f ||
                std::fabs(frames[2 * (clip + k) + 1] - expected) > 1e-6f)
                QFAIL(qPrintable(QStringLiteral("frame %1 of the clip: %2, expected %3")
                                     .arg(k)
                                     .arg(frames[2 * (clip + k)])
                                     .arg(expected)));
        }
        QCOMPARE(frames[2 * (clip + 4000)], 0.0f);
    }

    void aTakeFromTheDevicesInputHoldsExactlyThatInput()
    {
        // The capture file: a melody of decaying notes, left full and right at half level,
        // interleaved float as the device delivers it.
        QTemporaryDir dir;
        const QString capture = dir.filePath(QStringLiteral("melody.raw"));
        constexpr double kRate = 44100.0;
        constexpr size_t kCaptureFrames = size_t(30 * kRate);
        std::vector<float> melody(kCaptureFrames);
        const double notes[] = {261.63, 293.66, 329.63, 349.23, 392.0, 440.0, 493.88};
        for (size_t k = 0; k < kCaptureFrames; ++k) {
            const size_t note = k / 11025; // four notes a second
            const double t = double(k % 11025) / kRate;
            melody[k] =
                float(0.4 * std::exp(-3.0 * t) *
                      std::sin(2.0 * M_PI * notes[note % 7] * (1.0 + 0.01 * double(note % 5)) * t));
        }
        {
            QFile file(capture);
            QVERIFY(file.open(QIODevice::WriteOnly));
            for (float v : melody) {
                const float frame[2] = {v, 0.5f * v};
                file.write(reinterpret_cast<const char*>(frame), sizeof frame);
            }
        }
        qputenv("ALSA_TEST_CAPTURE", QFile::encodeName(capture));
        const QByteArray tmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(dir.path())); // the take goes here
        AudioFormatRegistry::instance().chooseWriteFormat(QStringLiteral("wav"), SF_FORMAT_WAV, 3,
                                                          4); // float keeps every sample
        QString takePath;
        uint32_t start = 0;
        uint32_t length = 0;
        {
            Session session;
            auto engine = std::make_unique<AudioEngine>(&session);
            AudioEngine* audio = engine.get();
            session.setEngines(std::move(engine),
                               std::make_unique<Engine>(&session, Engine::MidiKind));
            QVERIFY(audio->init() && audio->activate());
            QVERIFY(session.midiEngine()->init() && session.midiEngine()->activate());
            audio->setRecordingLatency(0.1);
            auto* track = new Track(&session, Track::AudioTrack);
            session.addTrack(track);
            QVERIFY(session.ensureMasterBuses());
            session.record(track, true);
            session.locate(44100);
            session.startRecording(true);
            QVERIFY(track->recordingClip());
            session.setPlaying(true);
            QTRY_VERIFY_WITH_TIMEOUT(session.playHead() >= 44100 + 3 * 44100, 30000);
            session.setPlaying(false);
            auto command = RecordClipCommand::finish(&session, {track});
            session.startRecording(false);
            QVERIFY(command);
            QVERIFY(session.push(std::move(command)));
            Clip* clip = track->firstClip();
            QVERIFY(clip);
            takePath = clip->filePath();
            start = clip->start();
            length = clip->length();
            QCOMPARE(length, session.playHead() - 44100);
            QVERIFY(audio->clean());
        }
        qunsetenv("ALSA_TEST_CAPTURE");
        tmp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmp);
        AudioFormatRegistry::instance().chooseWriteFormat(QStringLiteral("wav"), SF_FORMAT_WAV, 0,
                                                          4);
        QCOMPARE(start, 44100u - 4410u); // placed ⌊44100 × 0.1⌋ frames earlier

        auto file = AudioFormatRegistry::instance().create(takePath);
        QVERIFY(file && file->open(takePath, AudioFile::Reading));
        QCOMPARE(file->channels(), 1);
        QCOMPARE(file->frames(), (long long)length);
        std::vector<float> take(length);
        float* pointer = take.data();
        QCOMPARE(file->read(&pointer, length), (long long)length);
        // The take is the mono sum of one unbroken stretch of the capture, which the stream
        // began to read before recording started.
        const auto sum = [&](size_t k) {
            return k < kCaptureFrames ? melody[k] + 0.5f * melody[k] : 0.0f;
        };
        size_t from = 0;
        while (from < kCaptureFrames &&
               !std::equal(take.begin(), take.begin() + 256, melody.begin() + from,
                           [&](float got, const float& m) {
                               return got == sum(size_t(&m - melody.data()));
                           }))
            ++from;
        QVERIFY2(from + length <= kCaptureFrames, "the take did not come from the capture file");
        for (size_t k = 0; k < length; ++k)
            if (take[k] != sum(from + k))
                QFAIL(qPrintable(QStringLiteral("frame %1 of the take: %2, the input was %3")
                                     .arg(k)
                                     .arg(take[k])
                                     .arg(sum(from + k))));
    }

    void sessionEndsTheStreamItselfWhenTheEnginesWereNotCleaned()
    {
        auto session =
            std::make_unique<Session>([](Session* s, int kind) -> std::unique_ptr<Engine> {
                if (kind == Engine::AudioKind)
                    return std::make_unique<AudioEngine>(s);
                return nullptr;
            });
        Engine* audio = session->audioEngine();
        QVERIFY(audio->init() && audio->activate());
        QVERIFY(session->midiEngine()->init() && session->midiEngine()->activate());
        QVERIFY(session->ensureMasterBuses());
        auto* track = new Track(session.get(), Track::AudioTrack);
        track->addClip(new SlowTone);
        session->addTrack(track);
        session->setPlaying(true);
        QTRY_VERIFY_WITH_TIMEOUT(session->playHead() > 4 * 512, 5000);
        session.reset(); // still playing: the stream must end before tracks and buses go
    }
};

QTEST_GUILESS_MAIN(TestAudioEngineDevice)
#include "tst_audio_engine_device.moc"
