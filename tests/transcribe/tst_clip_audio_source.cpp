#include "audio_buffer.h"
#include "audio_file_transcriber.h"
#include "clip.h"
#include "clip_audio_source.h"
#include "error_log.h"
#include "transcription_engine.h"
#include "transcription_region.h"
#include "transcription_run.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>

#include <cmath>
#include <functional>
#include <vector>

namespace {

const QString kFlute = QStringLiteral(CANTOVA_TEST_DATA "/transcribe/flute_melody.flac");

struct Samples
{
    int rate = 0;
    std::vector<float> mono;
};

Samples readMono(const QString& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    Samples s;
    if (!file || info.channels != 1)
        return s;
    s.rate = info.samplerate;
    s.mono.resize(size_t(info.frames));
    s.mono.resize(size_t(sf_readf_float(file, s.mono.data(), info.frames)));
    sf_close(file);
    return s;
}

/** Writes a float WAV whose channel c at frame i is sample(c, i). */
bool writeWav(const QString& path, int rate, int channels, long long frames,
              const std::function<float(int, long long)>& sample)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file)
        return false;
    std::vector<float> interleaved(size_t(frames * channels));
    for (long long i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            interleaved[size_t(i * channels + c)] = sample(c, i);
    const bool ok = sf_writef_float(file, interleaved.data(), frames) == frames;
    sf_close(file);
    return ok;
}

struct Found
{
    double onset;
    double duration;
    int key;
};

std::vector<Found> noteOns(const TranscriptionEngine& engine)
{
    std::vector<Found> notes;
    for (const TranscribedEvent& e : engine.result().events)
        if (e.isNoteOn())
            notes.push_back({e.time, e.duration, e.note});
    return notes;
}

std::vector<Found> transcribeRegion(const TranscriptionRegion& region)
{
    TranscriptionEngine engine;
    ClipAudioSource source(region);
    if (!source.open())
        return {};
    TranscriptionRun::run(engine, source, source.length());
    return noteOns(engine);
}

/** A source that counts what it hands on. */
class CountingSource : public TranscriptionSource
{
public:
    explicit CountingSource(TranscriptionSource& inner) : m_inner(inner) {}
    int channelCount() const override { return m_inner.channelCount(); }
    int blockSize() const override { return m_inner.blockSize(); }
    long long read(float* const* channels, int frames) override
    {
        const long long got = m_inner.read(channels, frames);
        m_frames += std::max(got, 0LL);
        return got;
    }
    long long frames() const { return m_frames; }

private:
    TranscriptionSource& m_inner;
    long long m_frames = 0;
};

} // namespace

/**
 * The audio Audio to MIDI reads: the clip's region through an audio buffer of its own at
 * 11025 Hz, with the clip's stretch, its first channel analysed.
 */
class TestClipAudioSource : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_flute = readMono(kFlute);
        QVERIFY(m_flute.rate > 0 && !m_flute.mono.empty());
    }

    void cleanup() { ErrorLog::take(); }

    // Offset plus shift and the length go to the analysis rate in 64 bits, truncated.
    void aSelectionIsTheRegionAndConvertsTruncating()
    {
        Clip clip;
        clip.setFilePath(kFlute);
        clip.setStart(44100);
        clip.setOffset(22050);
        clip.setLength(441000);
        TranscriptionRegion whole = TranscriptionRegion::ofClip(clip, 44100);
        QCOMPARE(whole.timelineStart, 44100u);
        QCOMPARE(whole.fileStart, 22050ull);
        QCOMPARE(whole.length, 441000ull);

        clip.setSelection(88201, 132301);
        const TranscriptionRegion part = TranscriptionRegion::ofClip(clip, 44100);
        QCOMPARE(part.timelineStart, 88201u);
        QCOMPARE(part.fileStart, 22050ull + 44101);
        QCOMPARE(part.length, 44100ull);
        const ClipAudioSource source(part);
        QCOMPARE(source.start(), 16537LL); // 66151 × 11025 ÷ 44100 = 16537.75
        QCOMPARE(source.length(), 11025LL);
        // A clip longer than 32 bits of frames at 11025 Hz cannot overflow on the way.
        QCOMPARE(TranscriptionRegion::toAnalysis(4000000000ull, 44100, 11025), 1000000000ull);
    }

    void tenSecondsAt44100FeedTheEngine110250Frames()
    {
        const QString path = m_dir.filePath(QStringLiteral("ten.wav"));
        QVERIFY(writeWav(path, 44100, 1, 441000, [](int, long long i) {
            return 0.3f * float(std::sin(2 * M_PI * 440.0 * double(i) / 44100.0));
        }));
        TranscriptionRegion region;
        QVERIFY(TranscriptionRegion::ofFile(path, 44100, &region));
        QCOMPARE(region.length, 441000ull);
        ClipAudioSource source(region);
        QVERIFY(source.open());
        QCOMPARE(source.length(), 110250LL);
        CountingSource counting(source);
        TranscriptionEngine engine;
        QVERIFY(TranscriptionRun::run(engine, counting, source.length()));
        QCOMPARE(counting.frames(), 110250LL);
    }

    // The second channel is read along and never heard.
    void aStereoFileIsAnalysedFromItsFirstChannel()
    {
        const QString first = m_dir.filePath(QStringLiteral("first.wav"));
        const QString second = m_dir.filePath(QStringLiteral("second.wav"));
        const auto frames = (long long)m_flute.mono.size();
        const auto& flute = m_flute.mono;
        QVERIFY(writeWav(first, m_flute.rate, 2, frames, [&](int c, long long i) {
            return c == 0 ? flute[size_t(i)] : 0.5f * float(std::sin(0.07 * double(i)));
        }));
        QVERIFY(writeWav(second, m_flute.rate, 2, frames,
                         [&](int c, long long i) { return c == 1 ? flute[size_t(i)] : 0.0f; }));
        TranscriptionEngine mono;
        QVERIFY(AudioFileTranscriber::transcribe(mono, kFlute));
        const std::vector<Found> expected = noteOns(mono);
        QCOMPARE(expected.size(), size_t(6));

        TranscriptionEngine stereo;
        QVERIFY(AudioFileTranscriber::transcribe(stereo, first));
        const std::vector<Found> found = noteOns(stereo);
        QCOMPARE(found.size(), expected.size());
        for (size_t i = 0; i < found.size(); ++i) {
            QCOMPARE(found[i].key, expected[i].key);
            QCOMPARE(found[i].onset, expected[i].onset);
        }
        TranscriptionEngine silent;
        QVERIFY(AudioFileTranscriber::transcribe(silent, second));
        QCOMPARE(silent.result().noteCount, 0);
    }

    // Stretched by 1.25 the clip plays the same tune slower: the same notes, 1.25 × later and
    // longer. Each run times its notes on its own grid of analysis hops, which alone puts an
    // onset up to 1.125 hops from 1.25 × the other; the stretcher smears an onset a little more.
    void aStretchedClipGivesTheSameNotesStretched()
    {
        TranscriptionRegion plain;
        QVERIFY(TranscriptionRegion::ofFile(kFlute, 44100, &plain));
        TranscriptionRegion stretched = plain;
        stretched.stretch = 1.25f;
        stretched.length =
            AudioBuffer::wholeLength((long long)m_flute.mono.size(), 44100.0 / m_flute.rate, 1.25f);
        const std::vector<Found> expected = transcribeRegion(plain);
        const std::vector<Found> found = transcribeRegion(stretched);
        QCOMPARE(expected.size(), size_t(6));
        QCOMPARE(found.size(), expected.size());
        const double hop = 256.0 / 11025.0;
        for (size_t i = 0; i < found.size(); ++i) {
            QCOMPARE(found[i].key, expected[i].key);
            QVERIFY2(std::abs(found[i].onset - 1.25 * expected[i].onset) <= 1.5 * hop,
                     qPrintable(QStringLiteral("note %1 at %2 s, unstretched %3 s")
                                    .arg(i)
                                    .arg(found[i].onset)
                                    .arg(expected[i].onset)));
            QVERIFY2(std::abs(found[i].duration - 1.25 * expected[i].duration) <= hop,
                     qPrintable(QStringLiteral("note %1 lasts %2 s, unstretched %3 s")
                                    .arg(i)
                                    .arg(found[i].duration)
                                    .arg(expected[i].duration)));
        }
    }

    void aFileThatIsNoAudioIsRefused()
    {
        const QString path = m_dir.filePath(QStringLiteral("notes.wav"));
        QFile text(path);
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("these are not the samples you are looking for\n");
        text.close();
        TranscriptionRegion region;
        QVERIFY(!TranscriptionRegion::ofFile(path, 44100, &region));
        QVERIFY(!ErrorLog::take().isEmpty());
        region.path = path;
        region.length = 44100;
        ClipAudioSource source(region);
        QVERIFY(!source.open());
        float buffer[16];
        float* channels[] = {buffer};
        QCOMPARE(source.read(channels, 16), 0LL);
    }

private:
    QTemporaryDir m_dir;
    Samples m_flute;
};

QTEST_GUILESS_MAIN(TestClipAudioSource)
#include "tst_clip_audio_source.moc"
