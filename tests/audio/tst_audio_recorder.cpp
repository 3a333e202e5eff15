// The recorder of takes: punch windows, folding the input onto the file's channels, the drain
// to the file with the take's peaks, a drain too slow for the input and a disk that fills up.
#include "audio_test_files.h"

#include "audio_engine.h"
#include "audio_file.h"
#include "audio_format_registry.h"
#include "audio_peak.h"
#include "audio_recorder.h"

#include "error_log.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sndfile.h>
#include <vector>

namespace {

constexpr uint32_t kCycle = 512;

/** A distinct value for every frame of channel c, so a shift or a swap shows. */
float sample(int c, uint64_t k)
{
    return float(c + 1) * 0.01f + float(k % 4096) * 0.0002f;
}

/** Hands `cycles` cycles of sample() to the recorder, `channels` input channels. */
void feed(AudioRecorder& recorder, int channels, uint32_t cycles, uint64_t from = 0)
{
    std::vector<std::vector<float>> input(static_cast<size_t>(channels),
                                          std::vector<float>(kCycle));
    std::vector<const float*> pointers;
    for (auto& channel : input)
        pointers.push_back(channel.data());
    for (uint32_t n = 0; n < cycles; ++n) {
        for (int c = 0; c < channels; ++c)
            for (uint32_t k = 0; k < kCycle; ++k)
                input[size_t(c)][k] = sample(c, from + n * kCycle + k);
        recorder.write(pointers.data(), channels, kCycle, 0);
    }
}

/** Every channel of a file, planar. */
std::vector<std::vector<float>> readAll(const QString& path)
{
    auto file = AudioFormatRegistry::instance().create(path);
    if (!file || !file->open(path, AudioFile::Reading))
        return {};
    std::vector<std::vector<float>> data(size_t(file->channels()),
                                         std::vector<float>(size_t(file->frames())));
    std::vector<float*> pointers;
    for (auto& channel : data)
        pointers.push_back(channel.data());
    file->read(pointers.data(), file->frames());
    return data;
}

/** Takes `capacity` frames, then fewer and fewer, as a disk filling up does. */
class FillingFile : public AudioFile
{
public:
    FillingFile(int channels, long long capacity) : m_channels(channels), m_capacity(capacity) {}
    bool open(const QString&, int mode) override { return (m_mode = mode) == Writing; }
    long long read(float* const*, long long) override { return 0; }
    long long write(const float* const*, long long frames) override
    {
        const long long n = std::min(frames, m_capacity - m_frames);
        m_frames += n;
        return n;
    }
    bool seek(long long) override { return false; }
    void close() override { m_mode = Closed; }
    int mode() const override { return m_mode; }
    int channels() const override { return m_channels; }
    long long frames() const override { return m_frames; }
    int sampleRate() const override { return 44100; }

private:
    int m_channels;
    long long m_capacity;
    long long m_frames = 0;
    int m_mode = Closed;
};

} // namespace

class TestAudioRecorder : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

private Q_SLOTS:
    void initTestCase()
    {
        // Float files keep every sample exactly.
        QVERIFY(AudioFormatRegistry::instance().chooseWriteFormat(QStringLiteral("wav"),
                                                                  SF_FORMAT_WAV, 3, 4));
    }
    void cleanupTestCase()
    {
        AudioFormatRegistry::instance().chooseWriteFormat(QStringLiteral("wav"), SF_FORMAT_WAV, 0,
                                                          4);
    }

    void thePunchRangeClipsTheCyclesWindow()
    {
        // Punch-in at 1000 inside the cycle [700, 1212): 212 frames from input offset 300.
        AudioRecorder::Window w = AudioRecorder::window(700, 1212, true, 1000, 5000);
        QCOMPARE(w.frames, 212u);
        QCOMPARE(w.inputOffset, 300u);
        w = AudioRecorder::window(4800, 5312, true, 1000, 5000); // punch-out inside
        QCOMPARE(w.frames, 200u);
        QCOMPARE(w.inputOffset, 0u);
        QCOMPARE(AudioRecorder::window(5000, 5512, true, 1000, 5000).frames, 0u);
        QCOMPARE(AudioRecorder::window(0, 512, true, 1000, 5000).frames, 0u);
        w = AudioRecorder::window(700, 1212, false, 1000, 5000);
        QCOMPARE(w.frames, 512u);
        QCOMPARE(w.inputOffset, 0u);
    }

    void inputChannelsFoldOntoTheFilesChannels()
    {
        struct Case
        {
            const char* name;
            int inputs, fileChannels;
        };
        for (const Case& c :
             {Case{"mono.wav", 2, 1}, Case{"three.wav", 3, 2}, Case{"reused.wav", 1, 2}}) {
            AudioRecorder recorder(c.fileChannels, 44100, 65536);
            QVERIFY(recorder.open(path(c.name)));
            feed(recorder, c.inputs, 40);
            recorder.close();
            const auto data = readAll(path(c.name));
            QCOMPARE(int(data.size()), c.fileChannels);
            QCOMPARE(data[0].size(), size_t(40 * kCycle));
            for (uint64_t k = 0; k < 40 * kCycle; ++k)
                for (int f = 0; f < c.fileChannels; ++f) {
                    // File channel f: input f (reused in turn), plus every further input
                    // channel that falls on it.
                    float expected = sample(f % c.inputs, k);
                    for (int i = c.fileChannels + f; i < c.inputs; i += c.fileChannels)
                        expected += sample(i, k);
                    if (data[size_t(f)][k] != expected)
                        QFAIL(qPrintable(QStringLiteral("%1, channel %2, frame %3: %4 not %5")
                                             .arg(QLatin1String(c.name))
                                             .arg(f)
                                             .arg(k)
                                             .arg(data[size_t(f)][k])
                                             .arg(expected)));
                }
            QCOMPARE(recorder.framesLost(), uint64_t(0));
        }
    }

    void theTakesPeaksAreWrittenWhileItIsRecorded()
    {
        AudioRecorder recorder(1, 44100, 4096);
        QVERIFY(recorder.open(path("peaks.wav")));
        feed(recorder, 1, 5); // 2560 frames: two full records and a shorter one
        recorder.close();
        QFile peaks(AudioPeak::peakPath(path("peaks.wav"), 1.0));
        QVERIFY(peaks.open(QIODevice::ReadOnly));
        const QByteArray bytes = peaks.readAll();
        QCOMPARE(bytes.size(), 4 + 3 * 2);
        QCOMPARE(quint8(bytes[0]) | quint8(bytes[1]) << 8, 1024);
        QCOMPARE(quint8(bytes[2]) | quint8(bytes[3]) << 8, 1);
        // The largest sample of the first 1024 frames: 0.01 + 1023 × 0.0002.
        QCOMPARE(quint8(bytes[4]), quint8(255.0 * (0.01 + 1023 * 0.0002)));
    }

    void aDrainTooSlowLosesCountedFramesAndKeepsTheRestInPlace()
    {
        AudioRecorder recorder(1, 44100, 4096);
        QVERIFY(recorder.open(path("slow.wav")));
        recorder.setDrainDelay(20000); // 20 ms per 256-frame chunk: far behind the input
        constexpr uint32_t kCycles = 200;
        feed(recorder, 1, kCycles);
        recorder.close();
        QVERIFY(recorder.framesLost() > 0);
        QCOMPARE(recorder.framesRecorded(), uint64_t(kCycles) * kCycle);
        uint64_t reported = 0;
        std::vector<bool> lost(kCycles * kCycle, false);
        for (const AudioRecorder::LostSpan& span : recorder.lostSpans()) {
            reported += span.frames;
            for (uint64_t k = span.position; k < span.position + span.frames; ++k)
                lost[k] = true;
        }
        QCOMPARE(reported, recorder.framesLost());
        // The file is as long as the take: silence where frames were lost, the input elsewhere.
        const auto data = readAll(path("slow.wav"));
        QCOMPARE(data[0].size(), size_t(kCycles * kCycle));
        for (uint64_t k = 0; k < kCycles * kCycle; ++k) {
            const float expected = lost[k] ? 0.0f : sample(0, k);
            if (data[0][k] != expected)
                QFAIL(qPrintable(
                    QStringLiteral("frame %1: %2 not %3").arg(k).arg(data[0][k]).arg(expected)));
        }
    }

    void aFullDiskEndsTheTakeWhereTheFileEnds()
    {
        AudioRecorder::setFileFactory([](const QString&, int channels, int) {
            return std::make_unique<FillingFile>(channels, 10000);
        });
        AudioRecorder recorder(1, 44100, 65536);
        const bool opened = recorder.open(path("full.wav"));
        AudioRecorder::setFileFactory({});
        QVERIFY(opened);
        feed(recorder, 1, 40);
        QTRY_VERIFY(recorder.isDiskFull());
        feed(recorder, 1, 10); // ignored once the disk is full
        recorder.close();
        QCOMPARE(recorder.framesWritten(), uint64_t(10000));
    }

    void aFileThatCannotBeMadeIsReportedAndNothingRecords()
    {
        ErrorLog::clear();
        AudioRecorder recorder(1, 44100, 4096);
        QVERIFY(!recorder.open(path("no-such-folder/take.wav")));
        QVERIFY(!ErrorLog::isEmpty());
        QVERIFY(!recorder.isOpen());
        feed(recorder, 1, 2); // nothing to write into: ignored
        QCOMPARE(recorder.framesRecorded(), uint64_t(0));
        ErrorLog::clear();
    }

    void aTakeIsPlacedEarlierByTheRecordingLatency()
    {
        AudioEngine::Placement p = AudioEngine::placeTake(44100, 50000, 44100, 0.1);
        QCOMPARE(p.start, 39690u);
        QCOMPARE(p.offset, 0u);
        QCOMPARE(p.length, 50000u);
        p = AudioEngine::placeTake(1000, 50000, 44100, 0.1);
        QCOMPARE(p.start, 0u);
        QCOMPARE(p.offset, 3410u);
        QCOMPARE(p.length, 50000u - 3410u);
        p = AudioEngine::placeTake(1000, 2000, 44100, 0.1); // all of it before frame 0
        QCOMPARE(p.length, 0u);
        p = AudioEngine::placeTake(1000, 2000, 44100, 0.0);
        QCOMPARE(p.start, 1000u);
    }
};

QTEST_GUILESS_MAIN(TestAudioRecorder)
#include "tst_audio_recorder.moc"
