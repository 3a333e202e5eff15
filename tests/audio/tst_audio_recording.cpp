// Recording on the audio engine's offline client: the input of each cycle goes into the take,
// clipped by the punch range and folded to mono; stopping makes the take a clip placed by the
// recording latency through an undoable "record clip"; a device without input and a file that
// cannot be made record nothing and say why.
#include "audio_buffer.h"
#include "audio_clip.h"
#include "audio_engine.h"
#include "audio_file.h"
#include "audio_format_registry.h"
#include "audio_recorder.h"
#include "offline_audio_engine.h"

#include "error_log.h"
#include "record_clip_command.h"
#include "session.h"
#include "track.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sndfile.h>

namespace {

constexpr uint32_t kBlock = AudioClient::kBufferSize;

/** Input frame k of channel c: distinct per frame and channel. */
float inputSample(int c, uint64_t k)
{
    return (c == 0 ? 0.01f : -0.003f) + float(k % 8192) * 0.0001f;
}

/** The device's input: inputSample() from the first cycle on. */
struct CountingInput : OfflineAudioClient::Input
{
    uint64_t frames = 0;
    void read(float* const* channels, uint32_t n) override
    {
        for (uint32_t k = 0; k < n; ++k) {
            channels[0][k] = inputSample(0, frames + k);
            channels[1][k] = inputSample(1, frames + k);
        }
        frames += n;
    }
};

/** A session with the audio engine on an offline client the test drives, one armed track. */
struct Rig
{
    Session session;
    AudioEngine* audio = nullptr;
    OfflineAudioClient* client = nullptr;
    CountingInput input;
    Track* track = nullptr;

    Rig()
    {
        audio = openOfflineSession(session, &client);
        client->setInput(&input);
        track = new Track(&session, Track::AudioTrack);
        session.addTrack(track);
        session.ensureMasterBuses(); // attaches the track to the "Master" bus
        session.record(track, true);
    }
    ~Rig() { audio->clean(); }

    /** Records `cycles` cycles from the play head, then stops: the "record clip" command. */
    std::unique_ptr<RecordClipCommand> record(uint32_t cycles)
    {
        session.startRecording(true);
        session.setPlaying(true);
        audio->discardFadeRequest();
        for (uint32_t i = 0; i < cycles; ++i)
            client->render(1);
        session.setPlaying(false);
        auto command = RecordClipCommand::finish(&session, {track});
        session.startRecording(false);
        return command;
    }
};

/** A real file that takes `capacity` frames and then no more, as a disk filling up does. */
class FillingFile : public AudioFile
{
public:
    FillingFile(std::unique_ptr<AudioFile> file, long long capacity)
        : m_file(std::move(file)), m_capacity(capacity)
    {
    }
    bool open(const QString& path, int mode) override { return m_file->open(path, mode); }
    long long read(float* const* c, long long n) override { return m_file->read(c, n); }
    long long write(const float* const* c, long long n) override
    {
        const long long written = m_file->write(c, std::min(n, m_capacity - m_written));
        m_written += written;
        return written;
    }
    bool seek(long long frame) override { return m_file->seek(frame); }
    void close() override { m_file->close(); }
    int mode() const override { return m_file->mode(); }
    int channels() const override { return m_file->channels(); }
    long long frames() const override { return m_file->frames(); }
    int sampleRate() const override { return m_file->sampleRate(); }

private:
    std::unique_ptr<AudioFile> m_file;
    long long m_capacity;
    long long m_written = 0;
};

/** The first channel of a file. */
std::vector<float> readMono(const QString& path)
{
    auto file = AudioFormatRegistry::instance().create(path);
    if (!file || !file->open(path, AudioFile::Reading) || file->channels() != 1)
        return {};
    std::vector<float> data(size_t(file->frames()));
    float* pointer = data.data();
    file->read(&pointer, file->frames());
    return data;
}

} // namespace

class TestAudioRecording : public QObject
{
    Q_OBJECT

    // Takes go to the temporary folder: one of this run's own, away from other programs' takes.
    QTemporaryDir m_temp;

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("TMPDIR", QFile::encodeName(m_temp.path()));
        QVERIFY(AudioFormatRegistry::instance().chooseWriteFormat(QStringLiteral("wav"),
                                                                  SF_FORMAT_WAV, 3, 4));
    }
    void cleanupTestCase()
    {
        AudioFormatRegistry::instance().chooseWriteFormat(QStringLiteral("wav"), SF_FORMAT_WAV, 0,
                                                          4);
    }
    void init() { ErrorLog::clear(); }

    void aStereoTakeIsTheMonoSumPlacedEarlierByTheLatencyAndUndoable()
    {
        Rig rig;
        rig.audio->setRecordingLatency(0.1);
        rig.session.locate(44100);
        auto command = rig.record(100);
        QVERIFY(command);
        QCOMPARE(command->name(), QStringLiteral("record clip"));
        QVERIFY(!rig.track->recordingClip());
        QVERIFY(rig.session.push(std::move(command)));
        auto* clip = dynamic_cast<AudioClip*>(rig.track->firstClip());
        QVERIFY(clip);
        QCOMPARE(clip->start(), 39690u); // 44100 − ⌊44100 × 0.1⌋
        QCOMPARE(clip->offset(), 0u);
        QCOMPARE(clip->length(), 100 * kBlock);
        QVERIFY(clip->needsTranscription());
        const QString path = clip->filePath();
        const std::vector<float> take = readMono(path);
        QCOMPARE(take.size(), size_t(100 * kBlock));
        for (uint64_t k = 0; k < take.size(); ++k)
            if (take[k] != inputSample(0, k) + inputSample(1, k))
                QFAIL(qPrintable(QStringLiteral("frame %1: %2").arg(k).arg(take[k])));

        // Undo takes the clip off its track and keeps its file for redo.
        QVERIFY(rig.session.commands().revert());
        QCOMPARE(rig.track->clipCount(), 0);
        QVERIFY(QFile::exists(path));
        QVERIFY(rig.session.commands().redo());
        QCOMPARE(rig.track->firstClip()->filePath(), path);
        QCOMPARE(rig.track->firstClip()->start(), 39690u);
    }

    void aPunchedTakeHoldsOnlyThePunchRange()
    {
        Rig rig;
        rig.session.setPunch(1000, 3000);
        rig.session.locate(700);
        auto command = rig.record(8); // [700, 4796): the punch range and more
        QVERIFY(command);
        QVERIFY(rig.session.push(std::move(command)));
        Clip* clip = rig.track->firstClip();
        QCOMPARE(clip->start(), 1000u);
        QCOMPARE(clip->length(), 2000u);
        const std::vector<float> take = readMono(clip->filePath());
        QCOMPARE(take.size(), size_t(2000));
        // The first cycle starts at 700: its input from offset 300 on is frame 1000.
        for (uint64_t k = 0; k < take.size(); ++k)
            if (take[k] != inputSample(0, 300 + k) + inputSample(1, 300 + k))
                QFAIL(qPrintable(QStringLiteral("frame %1: %2").arg(k).arg(take[k])));
    }

    void aSecondTakeGetsAFileOfItsOwn()
    {
        Rig rig;
        auto first = rig.record(4);
        auto second = rig.record(4);
        QVERIFY(first && second);
        QVERIFY(rig.session.push(std::move(first)));
        const QString firstPath = rig.track->firstClip()->filePath();
        QVERIFY(rig.session.push(std::move(second)));
        QCOMPARE(rig.track->clipCount(), 2);
        QVERIFY(rig.track->lastClip()->filePath() != firstPath);
    }

    void aDeviceWithoutInputRecordsNothingAndSaysSo()
    {
        Rig rig;
        rig.client->setInputAvailable(false);
        QVERIFY(!rig.record(4));
        QCOMPARE(rig.track->clipCount(), 0);
        QCOMPARE(ErrorLog::text(), QStringLiteral("No audio input device is available"));
    }

    void aTakeWhoseFileCannotBeMadeRecordsNothingAndSaysWhy()
    {
        Rig rig;
        // A folder where the take's file should be: it cannot be written.
        QTemporaryDir temp;
        QVERIFY(QDir(temp.path()).mkdir(QStringLiteral("orvantmp.wav")));
        const QByteArray tmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        auto command = rig.record(4);
        qputenv("TMPDIR", tmp);
        QVERIFY(!command);
        QCOMPARE(rig.track->clipCount(), 0);
        QVERIFY(ErrorLog::text().contains(QStringLiteral("AudioSndFile::open")));
    }

    void aTakeTheDiskCouldNotKeepUpWithTellsWhatWasLostAndWhere()
    {
        Rig rig;
        rig.session.startRecording(true);
        auto* take = dynamic_cast<AudioClip*>(rig.track->recordingClip());
        QVERIFY(take && take->recorder());
        take->recorder()->setDrainDelay(100000); // far slower than the cycles come
        auto command = rig.record(600);
        QVERIFY(command);
        QVERIFY(rig.session.push(std::move(command)));
        // Nothing was lost silently: the log says how much and from where.
        const QString text = ErrorLog::text();
        QVERIFY2(text.startsWith(QStringLiteral("The disk could not keep up with the recording: ")),
                 qPrintable(text));
        QVERIFY(text.contains(QStringLiteral(" ms at ")));
        // The lost frames keep their place as silence: the clip is as long as the take, and
        // what the ring held first is there.
        QCOMPARE(rig.track->firstClip()->length(), 600 * kBlock);
        const std::vector<float> data = readMono(rig.track->firstClip()->filePath());
        QCOMPARE(data.size(), size_t(600 * kBlock));
        QCOMPARE(data.front(), inputSample(0, 0) + inputSample(1, 0));
    }

    void aFullDiskKeepsWhatWasRecordedAsAClipAndSaysSo()
    {
        Rig rig;
        AudioRecorder::setFileFactory([](const QString& path, int channels, int rate) {
            return std::make_unique<FillingFile>(
                AudioFormatRegistry::instance().create(path, channels, rate), 3000);
        });
        rig.session.startRecording(true);
        AudioRecorder::setFileFactory({});
        auto* take = dynamic_cast<AudioClip*>(rig.track->recordingClip());
        QVERIFY(take && take->recorder());
        rig.session.setPlaying(true);
        rig.audio->discardFadeRequest();
        rig.client->render(80); // beyond the first drain chunk
        QTRY_VERIFY(take->recorder()->isDiskFull());
        rig.session.setPlaying(false);
        auto command = RecordClipCommand::finish(&rig.session, {rig.track});
        rig.session.startRecording(false);
        QVERIFY(command);
        QVERIFY(rig.session.push(std::move(command)));
        QCOMPARE(rig.track->firstClip()->length(), 3000u);
        QCOMPARE(readMono(rig.track->firstClip()->filePath()).size(), size_t(3000));
        QVERIFY(ErrorLog::text().contains(QStringLiteral("The disk is full")));
    }

    void aTakeThatEndsBeforeItStartsIsDropped()
    {
        Rig rig;
        rig.session.setPunch(100000, 200000); // never reached
        QVERIFY(!rig.record(4));
        QCOMPARE(rig.track->clipCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestAudioRecording)
#include "tst_audio_recording.moc"
