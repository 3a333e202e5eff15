#include "error_log.h"
#include "portaudio_client.h"

#include <QFile>
#include <QTest>

#include <portaudio.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

// Runs against the ALSA configuration that CTest names in ALSA_CONFIG_PATH; CANTOVA_ALSA_CASE
// says which one it is, so this one executable is registered once per configuration.

namespace {

constexpr float kStep = 1.0f / (1 << 20);

/** A process callback that renders a ramp: left = n × kStep, right = -left, n = 1, 2, ... */
struct RampEngine
{
    PortAudioClient* client = nullptr;
    std::atomic<int> cycles{0};
    std::atomic<bool> otherSizes{false};
    std::atomic<bool> inputSilent{true};
    uint32_t next = 1;
    int result = 0;

    static int process(uint32_t frames, void* argument)
    {
        auto* engine = static_cast<RampEngine*>(argument);
        if (frames != 512)
            engine->otherSizes = true;
        const float* input = engine->client->inputBuffer(0);
        if (!input || input[0] != 0.0f || input[frames - 1] != 0.0f)
            engine->inputSilent = false;
        float* left = engine->client->outputBuffer(0);
        float* right = engine->client->outputBuffer(1);
        for (uint32_t k = 0; k < frames; ++k, ++engine->next) {
            left[k] = float(engine->next) * kStep;
            right[k] = -left[k];
        }
        ++engine->cycles;
        // The file device runs far faster than real time; keep the file small.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return engine->result;
    }
};

std::vector<float> readPlayback()
{
    QFile file(QString::fromLocal8Bit(qgetenv("ALSA_TEST_PLAYBACK")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    std::vector<float> samples(bytes.size() / sizeof(float));
    std::memcpy(samples.data(), bytes.constData(), samples.size() * sizeof(float));
    return samples;
}

/** Runs the ramp through an activated client until `cycles` callbacks have run. */
bool runRamp(PortAudioClient* client, RampEngine* engine, int cycles)
{
    client->setProcessCallback(RampEngine::process, engine);
    client->transportStart();
    if (client->activate() != 0)
        return false;
    const bool ran = QTest::qWaitFor([&] { return engine->cycles >= cycles; }, 10000);
    return client->deactivate() == 0 && ran;
}

} // namespace

/** The default device is a file: the stream opens duplex and its output lands in the file. */
class TestFileDevice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { ErrorLog::clear(); }

    void latenciesComeFromTheDefaultOutputDevice()
    {
        const auto client = PortAudioClient::open();
        QVERIFY(client);
        const PaDeviceInfo* info = Pa_GetDeviceInfo(Pa_GetDefaultOutputDevice());
        QVERIFY(info && info->defaultHighOutputLatency > 0);
        QCOMPARE(client->recommendedPlaybackLatency(), info->defaultHighOutputLatency);
        QCOMPARE(client->recommendedRecordingLatency(),
                 info->defaultLowInputLatency + info->defaultHighInputLatency);
        QCOMPARE(client->close(), 0);
    }

    void renderedBlocksReachTheDevice()
    {
        QFile::remove(QString::fromLocal8Bit(qgetenv("ALSA_TEST_PLAYBACK")));
        const auto client = PortAudioClient::open();
        QVERIFY(client);
        RampEngine engine;
        engine.client = client.get();
        QVERIFY(runRamp(client.get(), &engine, 40));
        QVERIFY(client->hasInput());
        QVERIFY(!engine.otherSizes);
        QVERIFY(engine.inputSilent); // capture reads /dev/zero
        TransportPosition position;
        QCOMPARE(client->transportQuery(&position), 1);
        QCOMPARE(position.frame, uint32_t(engine.cycles) * 512);
        QCOMPARE(client->close(), 0);

        // Interleaved float frames; skip the silence the device was primed with.
        const std::vector<float> samples = readPlayback();
        size_t first = 0;
        while (first < samples.size() && samples[first] == 0.0f)
            first += 2;
        const size_t frames = 20 * 512;
        QVERIFY2(samples.size() >= first + 2 * frames, qPrintable(QString::number(samples.size())));
        for (size_t i = 0; i < frames; ++i) {
            QCOMPARE(samples[first + 2 * i], float(i + 1) * kStep);
            QCOMPARE(samples[first + 2 * i + 1], -float(i + 1) * kStep);
        }
        QVERIFY(ErrorLog::isEmpty());
    }

    void failingProcessCallbackStopsTheStream()
    {
        const auto client = PortAudioClient::open();
        QVERIFY(client);
        RampEngine engine;
        engine.client = client.get();
        engine.result = 5;
        client->setProcessCallback(RampEngine::process, &engine);
        client->transportStart();
        QCOMPARE(client->activate(), 0);
        QTRY_COMPARE(ErrorLog::text(), QStringLiteral("5 < client->fProcess < PaCallback"));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        QCOMPARE(engine.cycles.load(), 1);
        QCOMPARE(client->deactivate(), 0);
        QCOMPARE(client->close(), 0);
    }
};

/** The default device cannot record: the stream opens for output only and still plays. */
class TestOutputOnlyDevice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void streamPlaysWithoutInput()
    {
        ErrorLog::clear();
        const auto client = PortAudioClient::open();
        QVERIFY(client);
        RampEngine engine;
        engine.client = client.get();
        QVERIFY(runRamp(client.get(), &engine, 10));
        QVERIFY(!client->hasInput());
        QVERIFY(!client->inputUnavailableReason().isEmpty());
        QVERIFY(engine.inputSilent); // the input channels read silence, never a null pointer
        QVERIFY(!engine.otherSizes);
        QVERIFY(ErrorLog::isEmpty());
        QCOMPARE(client->close(), 0);
        QVERIFY(readPlayback().size() >= 2 * 10 * 512);
    }
};

/** No device at all: activation fails with the library's text. */
class TestNoDevice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void activationReportsTheFailure()
    {
        ErrorLog::clear();
        const auto client = PortAudioClient::open();
        QVERIFY(client);
        QCOMPARE(client->recommendedPlaybackLatency(), 0.0);
        QCOMPARE(client->activate(), -1);
        QVERIFY(!client->isActive());
        QCOMPARE(ErrorLog::take(),
                 QStringLiteral("Device unavailable < _OpenDefaultStream < _activate"));
        QCOMPARE(client->deactivate(), 0);
        QCOMPARE(client->close(), 0);
    }
};

int main(int argc, char** argv)
{
    const QByteArray deviceCase = qgetenv("CANTOVA_ALSA_CASE");
    if (deviceCase == "output-only") {
        TestOutputOnlyDevice test;
        return QTest::qExec(&test, argc, argv);
    }
    if (deviceCase == "no-device") {
        TestNoDevice test;
        return QTest::qExec(&test, argc, argv);
    }
    TestFileDevice test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_portaudio_client.moc"
