#include "error_log.h"
#include "frame_clock_listener.h"
#include "offline_audio_client.h"
#include "output_mixer_slot.h"

#include <QElapsedTimer>
#include <QTest>

#include <thread>
#include <vector>

namespace {

/** Keeps every block the client writes, left channel then right channel. */
struct CapturedOutput : OfflineAudioClient::Output
{
    std::vector<float> left;
    std::vector<float> right;
    void write(const float* const* channels, uint32_t frames) override
    {
        left.insert(left.end(), channels[0], channels[0] + frames);
        right.insert(right.end(), channels[1], channels[1] + frames);
    }
};

/** Input whose samples count the frames: left = n, right = -n. */
struct CountingInput : OfflineAudioClient::Input
{
    float next = 0;
    void read(float* const* channels, uint32_t frames) override
    {
        for (uint32_t k = 0; k < frames; ++k, ++next) {
            channels[0][k] = next;
            channels[1][k] = -next;
        }
    }
};

/** What the process callback saw, and what it should do. */
struct Engine
{
    explicit Engine(OfflineAudioClient* owner, int failOn = -1, int result = 0)
        : client(owner), failOnCycle(failOn), failure(result)
    {
    }

    OfflineAudioClient* client;
    std::vector<uint32_t> frames;
    std::vector<float> firstInputs;
    int failOnCycle;
    int failure;

    static int process(uint32_t frames, void* argument)
    {
        auto* engine = static_cast<Engine*>(argument);
        engine->frames.push_back(frames);
        engine->firstInputs.push_back(engine->client->inputBuffer(1)[0]);
        float* left = engine->client->outputBuffer(0);
        float* right = engine->client->outputBuffer(1);
        for (uint32_t k = 0; k < frames; ++k) {
            left[k] = 0.25f;
            right[k] = -0.25f;
        }
        if (int(engine->frames.size()) == engine->failOnCycle)
            return engine->failure;
        return 0;
    }
};

struct ConstantMixer : AudioOutputMixer
{
    std::vector<int64_t> firstFrames;
    void mix(float* const* channels, int channelCount, uint32_t frames, int64_t firstFrame) override
    {
        firstFrames.push_back(firstFrame);
        for (int channel = 0; channel < channelCount; ++channel)
            for (uint32_t k = 0; k < frames; ++k)
                channels[channel][k] += 1.0f;
    }
};

struct FrameRecorder : FrameClockListener
{
    std::vector<int64_t> endFrames;
    void advanceToFrame(int64_t endFrame) override { endFrames.push_back(endFrame); }
};

} // namespace

/** The offline client runs the same cycle as the sound card, on an exact frame clock. */
class TestOfflineAudioClient : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { ErrorLog::clear(); }

    void transportGatesTheProcessCallback()
    {
        OfflineAudioClient client;
        Engine engine(&client);
        CapturedOutput output;
        client.setProcessCallback(Engine::process, &engine);
        client.setOutput(&output);

        QCOMPARE(client.render(2), 0);
        QVERIFY(engine.frames.empty());
        QCOMPARE(output.left, std::vector<float>(1024, 0.0f)); // silence while stopped

        client.transportLocate(1000);
        client.transportStart();
        TransportPosition position;
        QCOMPARE(client.transportQuery(&position), 1);
        QCOMPARE(position.frame, 1000u);
        QCOMPARE(client.render(3), 0);
        QCOMPARE(engine.frames, std::vector<uint32_t>(3, 512));
        QCOMPARE(client.transportQuery(&position), 1);
        QCOMPARE(position.frame, 1000u + 3 * 512);
        QCOMPARE(output.left.back(), 0.25f);
        QCOMPARE(output.right.back(), -0.25f);

        client.transportStop();
        QCOMPARE(client.render(1), 0);
        QCOMPARE(client.transportQuery(&position), 0);
        QCOMPARE(position.frame, 1000u + 3 * 512);
        QCOMPARE(output.left.back(), 0.0f);
        QCOMPARE(client.frameClock(), int64_t(6 * 512));
        QCOMPARE(client.sampleRate(), 44100u);
        QCOMPARE(client.bufferSize(), 512u);
    }

    void channelBuffersBelongToTheCycle()
    {
        OfflineAudioClient client;
        Engine engine(&client);
        CountingInput input;
        client.setProcessCallback(Engine::process, &engine);
        client.setInput(&input);
        client.transportStart();
        QCOMPARE(client.render(3), 0);
        QCOMPARE(engine.firstInputs, (std::vector<float>{-0.0f, -512.0f, -1024.0f}));
        QCOMPARE(client.inputBuffer(2), nullptr);
        QCOMPARE(client.outputBuffer(-1), nullptr);
    }

    void failingProcessCallbackStopsTheStream()
    {
        OfflineAudioClient client;
        Engine engine(&client, 2, 7);
        client.setProcessCallback(Engine::process, &engine);
        client.transportStart();
        QCOMPARE(client.render(5), -1);
        QCOMPARE(engine.frames.size(), size_t(2));
        QCOMPARE(ErrorLog::take(), QStringLiteral("7 < client->fProcess < PaCallback"));
        QVERIFY(client.hasStreamEnded()); // what the window stops on
        QCOMPARE(client.deactivate(), 0);
        QVERIFY(!client.hasStreamEnded());

        // On the render thread the stream stops too and the message reaches the log by itself.
        Engine threaded(&client, 3, -4);
        client.setProcessCallback(Engine::process, &threaded);
        QCOMPARE(client.activate(), 0);
        QTRY_COMPARE(ErrorLog::text(), QStringLiteral("-4 < client->fProcess < PaCallback"));
        const int64_t stoppedAt = client.frameClock();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        QCOMPARE(client.frameClock(), stoppedAt);
        QVERIFY(client.hasStreamEnded());
        QCOMPARE(client.deactivate(), 0);
        QVERIFY(!client.hasStreamEnded());
        QCOMPARE(threaded.frames.size(), size_t(3));
    }

    // An unplugged device ends the stream without a failure of the engine's own.
    void aLostDeviceEndsTheStreamUntilItIsOpenedAgain()
    {
        OfflineAudioClient client;
        Engine engine(&client);
        client.setProcessCallback(Engine::process, &engine);
        client.transportStart();
        QCOMPARE(client.render(2), 0);
        client.setDeviceLost(true);
        QCOMPARE(client.render(3), -1);
        QCOMPARE(engine.frames.size(), size_t(2)); // the engine is not called any more
        QCOMPARE(client.frameClock(), int64_t(2 * AudioClient::kBufferSize));
        QVERIFY(client.hasStreamEnded());
        QVERIFY(ErrorLog::isEmpty());

        // On the render thread: the stream stops by itself and stays stopped.
        QCOMPARE(client.deactivate(), 0);
        QCOMPARE(client.activate(), 0);
        QTRY_VERIFY(client.hasStreamEnded());
        QCOMPARE(client.deactivate(), 0);
        client.setDeviceLost(false);
        const int64_t pluggedInAt = client.frameClock();
        QCOMPARE(client.activate(), 0);
        QTRY_VERIFY(client.frameClock() > pluggedInAt + 2 * AudioClient::kBufferSize);
        QVERIFY(!client.hasStreamEnded());
        QCOMPARE(client.deactivate(), 0);
    }

    void schedulerAndMixerFollowTheFrameClock()
    {
        OfflineAudioClient client;
        Engine engine(&client);
        CapturedOutput output;
        FrameRecorder clock;
        ConstantMixer mixer;
        client.setProcessCallback(Engine::process, &engine);
        client.setOutput(&output);
        client.setFrameClockListener(&clock);
        OutputMixerSlot::shared().attach(&mixer);
        client.transportStart();
        QCOMPARE(client.render(3), 0);
        OutputMixerSlot::shared().detach(&mixer);
        QCOMPARE(client.render(1), 0);

        QCOMPARE(clock.endFrames, (std::vector<int64_t>{512, 1024, 1536, 2048}));
        QCOMPARE(mixer.firstFrames, (std::vector<int64_t>{0, 512, 1024}));
        QCOMPARE(output.left[0], 1.25f); // the engine's output plus the mixer's
        QCOMPARE(output.right[1535], 0.75f);
        QCOMPARE(output.left[1536], 0.25f); // detached
    }

    void pacedRenderingKeepsToRealTime()
    {
        OfflineAudioClient client;
        client.setPacedToRealTime(true);
        QElapsedTimer elapsed;
        elapsed.start();
        QCOMPARE(client.activate(), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        QCOMPARE(client.deactivate(), 0);
        const double seconds = elapsed.nsecsElapsed() / 1e9;
        QVERIFY(client.frameClock() > 0);
        QVERIFY2(client.frameClock() <= seconds * 44100 + 512,
                 qPrintable(QString::number(client.frameClock())));
    }
};

QTEST_GUILESS_MAIN(TestOfflineAudioClient)

#include "tst_offline_audio_client.moc"
