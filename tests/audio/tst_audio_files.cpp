#include "audio_file.h"
#include "audio_format_registry.h"
#include "error_log.h"
#include "mp3_file.h"
#include "resampling_reader.h"
#include "snd_file.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>

#include <cmath>
#include <numbers>
#include <tuple>
#include <vector>

namespace {

/** Interleaved frames of a sine per channel (channel c at (c + 1) × frequency). */
std::vector<float> sines(int channels, int rate, double seconds, double frequency)
{
    const auto frames = static_cast<size_t>(seconds * rate);
    std::vector<float> samples(frames * channels);
    for (size_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c)
            samples[i * channels + c] = static_cast<float>(
                0.5 * std::sin(2 * std::numbers::pi * frequency * (c + 1) * i / rate));
    }
    return samples;
}

/** Writes a file with libsndfile itself, so reading is checked against an independent writer. */
bool writeFile(const QString& path, int format, int channels, int rate,
               const std::vector<float>& interleaved)
{
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = format;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file)
        return false;
    const sf_count_t frames = static_cast<sf_count_t>(interleaved.size()) / channels;
    const bool ok = sf_writef_float(file, interleaved.data(), frames) == frames;
    sf_close(file);
    return ok;
}

// Zero crossings upward per second: the frequency of a clean sine.
double frequencyOf(const std::vector<float>& samples, int rate)
{
    int crossings = 0;
    for (size_t i = 1; i < samples.size(); ++i)
        crossings += samples[i - 1] < 0.0f && samples[i] >= 0.0f;
    return crossings * static_cast<double>(rate) / samples.size();
}

} // namespace

/** The audio file family, its registry and reading at another rate. */
class TestAudioFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString path(const QString& name) const { return dir.filePath(name); }

private Q_SLOTS:
    void init() { ErrorLog::clear(); }

    void registryMapsSuffixes_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("kind"); // -1: no file object
        QTest::addColumn<QString>("extension");
        QTest::newRow("wav") << "a.wav" << 0 << "wav";
        QTest::newRow("capital FLAC") << "b.FLAC" << 0 << "flac";
        QTest::newRow("aif alias") << "c.aif" << 0 << "aiff";
        QTest::newRow("mp3") << "d.Mp3" << 3 << "mp3";
        QTest::newRow("unknown") << "e.xyz" << -1 << "";
        QTest::newRow("no suffix") << "readme" << -1 << "";
    }

    void registryMapsSuffixes()
    {
        QFETCH(QString, file);
        QFETCH(int, kind);
        QFETCH(QString, extension);
        auto& registry = AudioFormatRegistry::instance();
        const auto object = registry.create(file);
        QCOMPARE(object != nullptr, kind >= 0);
        if (kind < 0)
            return;
        const auto* entry = registry.entryFor(QFileInfo(file).suffix());
        QVERIFY(entry);
        QCOMPARE(int(entry->kind), kind);
        QCOMPARE(entry->extension, extension);
        QCOMPARE(object->mode(), int(AudioFile::Closed));
        QCOMPARE(dynamic_cast<Mp3File*>(object.get()) != nullptr, kind == 3);
    }

    void registryFiltersAndWriteFormat()
    {
        auto& registry = AudioFormatRegistry::instance();
        const QStringList& filters = registry.filterList();
        QVERIFY(filters.first().startsWith(QStringLiteral("Audio files (*.")));
        for (const char* pattern :
             {"*.wav", "*.aiff", "*.aif", "*.flac", "*.fla", "*.mp3", "*.w64"})
            QVERIFY2(filters.first().contains(QLatin1String(pattern)), pattern);
        QVERIFY(!filters.first().contains(QLatin1String("*.au")));
        QCOMPARE(filters.last(), QStringLiteral("All files (*.*)"));
        QVERIFY(filters.contains(QStringLiteral("AIFF Apple-SGI (*.aif *.aiff)")));
        QVERIFY(filters.contains(QStringLiteral("MP3 MPEG-1 Audio Layer 3 (*.mp3)")));
        QCOMPARE(registry.defaultWriteExtension(), QStringLiteral("wav"));

        QVERIFY(registry.chooseWriteFormat("wav", SF_FORMAT_WAV, 3, 4));
        QCOMPARE(registry.writeFormat(), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
        QVERIFY(registry.chooseWriteFormat("wav", SF_FORMAT_WAV, 0, 4));
        QCOMPARE(registry.writeFormat(), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        QVERIFY(!registry.chooseWriteFormat("wav", SF_FORMAT_FLAC, 1, 4));
    }

    // Stereo WAV: both channels come back apart and in full, in reads of any size.
    void readsSndFileChannels()
    {
        const std::vector<float> written = sines(2, 8000, 0.5, 250.0);
        QVERIFY(writeFile(path("s.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 8000, written));
        const auto file = AudioFormatRegistry::instance().create(path("s.wav"));
        QVERIFY(file->open(path("s.wav"), AudioFile::Reading));
        QCOMPARE(file->channels(), 2);
        QCOMPARE(file->sampleRate(), 8000);
        QCOMPARE(file->frames(), 4000LL);
        std::vector<float> left(4000), right(4000);
        long long at = 0;
        for (long long step : {1LL, 1000LL, 3000LL, 500LL}) {
            float* channels[] = {left.data() + at, right.data() + at};
            at += file->read(channels, std::min(step, 4000 - at));
        }
        QCOMPARE(at, 4000LL);
        for (int i = 0; i < 4000; i += 97) {
            QCOMPARE(left[i], written[2 * i]);
            QCOMPARE(right[i], written[2 * i + 1]);
        }
        float* channels[] = {left.data(), right.data()};
        QCOMPARE(file->read(channels, 10), 0LL);
        QVERIFY(file->seek(1234));
        QCOMPARE(file->read(channels, 1), 1LL);
        QCOMPARE(left[0], written[2 * 1234]);
        // A channel without a buffer is skipped, the first as well as any other.
        float* rightOnly[] = {nullptr, right.data()};
        QVERIFY(file->seek(2000));
        QCOMPARE(file->read(rightOnly, 3), 3LL);
        QCOMPARE(right[2], written[2 * 2002 + 1]);
        file->close();
        QCOMPARE(file->mode(), int(AudioFile::Closed));
        QCOMPARE(file->read(channels, 1), 0LL);
    }

    void refusesUnreadableFiles()
    {
        QFile garbage(path("garbage.wav"));
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write("RIFF\x10\0\0\0WAVEjunkjunkjunk", 24);
        garbage.close();
        SndFile snd;
        QVERIFY(!snd.open(path("garbage.wav"), AudioFile::Reading));
        QVERIFY(ErrorLog::text().startsWith(QStringLiteral("AudioSndFile::open: _open ")));
        QCOMPARE(snd.mode(), int(AudioFile::Closed));

        ErrorLog::clear();
        Mp3File mp3;
        QVERIFY(!mp3.open(path("missing.mp3"), AudioFile::Reading));
        QVERIFY(ErrorLog::text().startsWith(QStringLiteral("AudioMp3File::open: _open ")));
        ErrorLog::clear();
        QVERIFY(!mp3.open(path("out.mp3"), AudioFile::Writing));
        QVERIFY(!ErrorLog::isEmpty());
        const float* none[] = {nullptr};
        QCOMPARE(mp3.write(none, 1), 0LL);
    }

    // Written in the chosen format, read back: float WAV exactly, 16-bit FLAC to its step, and
    // samples beyond full scale clip instead of wrapping round.
    void writesInTheChosenFormat()
    {
        auto& registry = AudioFormatRegistry::instance();
        const std::vector<float> interleaved = sines(2, 44100, 0.25, 440.0);
        const auto frames = static_cast<long long>(interleaved.size() / 2);
        std::vector<float> left(frames), right(frames);
        for (long long i = 0; i < frames; ++i) {
            left[i] = interleaved[2 * i];
            right[i] = interleaved[2 * i + 1];
        }
        left[10] = 1.7f;
        right[10] = -3.0f;
        for (const auto& [name, major, quality, step] :
             {std::tuple{"w.wav", SF_FORMAT_WAV, 3, 0.0f},
              std::tuple{"f.flac", SF_FORMAT_FLAC, 0, 1.0f / 32768}}) {
            const QString extension = QFileInfo(QString::fromLatin1(name)).suffix();
            QVERIFY(registry.chooseWriteFormat(extension, major, quality, 4));
            const QString file = path(name);
            auto writer = registry.create(file, 2, 44100);
            QVERIFY(writer->open(file, AudioFile::Writing));
            const float* channels[] = {left.data(), right.data()};
            QCOMPARE(writer->write(channels, frames), frames);
            writer->close();

            auto reader = registry.create(file);
            QVERIFY(reader->open(file, AudioFile::Reading));
            QCOMPARE(reader->frames(), frames);
            std::vector<float> l(frames), r(frames);
            float* out[] = {l.data(), r.data()};
            QCOMPARE(reader->read(out, frames), frames);
            for (long long i = 0; i < frames; i += 37)
                QVERIFY(std::fabs(l[i] - left[i]) <= step && std::fabs(r[i] - right[i]) <= step);
            if (step > 0) {
                QVERIFY(l[10] > 0.99f);
                QVERIFY(r[10] < -0.99f);
            }
        }
        // A writer needs its channels and rate; an impossible format is refused with the log.
        SndFile shapeless;
        QVERIFY(!shapeless.open(path("x.wav"), AudioFile::Writing));
        QVERIFY(ErrorLog::take().contains(QStringLiteral("AudioSndFile::open: _format_check")));
        QVERIFY(registry.chooseWriteFormat("wav", SF_FORMAT_WAV, 0, 4));
    }

    // A WAV cut short after its header claims a long body: what is there reads, then 0.
    void readsTruncatedWav()
    {
        QVERIFY(writeFile(path("long.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 8000,
                          sines(1, 8000, 1.0, 300.0)));
        QFile file(path("long.wav"));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.resize(44 + 2 * 1000));
        file.close();
        SndFile snd;
        QVERIFY(snd.open(path("long.wav"), AudioFile::Reading));
        std::vector<float> samples(8000);
        float* channels[] = {samples.data()};
        long long total = 0;
        while (const long long got = snd.read(channels, 512))
            total += got;
        QCOMPARE(total, 1000LL);
    }

    // libsndfile writes the MP3; libmpg123 reads it back as float, with its exact length.
    void readsMp3()
    {
        QVERIFY(writeFile(path("tone.mp3"), SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 1, 22050,
                          sines(1, 22050, 1.0, 441.0)));
        const auto file = AudioFormatRegistry::instance().create(path("tone.mp3"));
        QVERIFY2(file->open(path("tone.mp3"), AudioFile::Reading), qPrintable(ErrorLog::text()));
        QCOMPARE(file->channels(), 1);
        QCOMPARE(file->sampleRate(), 22050);
        QVERIFY(std::abs(file->frames() - 22050) < 2000);
        std::vector<float> samples(static_cast<size_t>(file->frames()));
        float* channels[] = {samples.data()};
        long long total = 0;
        while (total < file->frames()) {
            channels[0] = samples.data() + total;
            const long long got = file->read(channels, std::min(4096LL, file->frames() - total));
            if (got <= 0)
                break;
            total += got;
        }
        QCOMPARE(total, file->frames());
        QVERIFY(std::abs(frequencyOf(samples, 22050) - 441.0) < 5.0);
        QVERIFY(file->seek(1000));
        QVERIFY(!file->seek(file->frames() + 100000));
    }

    // 44100 Hz to 11025 Hz: a quarter of the frames, the same pitch, all of it delivered.
    void resamplesToTheAnalysisRate()
    {
        QVERIFY(writeFile(path("hi.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100,
                          sines(2, 44100, 1.0, 500.0)));
        SndFile file;
        QVERIFY(file.open(path("hi.wav"), AudioFile::Reading));
        ResamplingReader reader;
        QVERIFY(reader.open(file, 11025.0, 1000));
        QCOMPARE(reader.expectedFrames(), 11025LL);
        std::vector<float> left(12000), right(12000);
        long long total = 0;
        for (;;) {
            float* channels[] = {left.data() + total, right.data() + total};
            const long long got = reader.read(channels, std::min(777LL, 12000 - total));
            if (got <= 0)
                break;
            total += got;
        }
        QVERIFY2(std::abs(total - 11025) <= 2, qPrintable(QString::number(total)));
        left.resize(static_cast<size_t>(total));
        right.resize(static_cast<size_t>(total));
        QVERIFY(std::abs(frequencyOf(left, 11025) - 500.0) < 3.0);
        QVERIFY(std::abs(frequencyOf(right, 11025) - 1000.0) < 3.0);
    }

    // A whole-number ratio goes through the decimator: after the file moves back to its start
    // and the reader forgets its state (as the audio buffer does on a seek), the same samples
    // come again; and they match the tone written at the lower rate, unshifted.
    void decimatesTheSameAfterASeek()
    {
        QVERIFY(writeFile(path("dec.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 22050,
                          sines(1, 22050, 0.5, 400.0)));
        SndFile file;
        QVERIFY(file.open(path("dec.wav"), AudioFile::Reading));
        ResamplingReader reader;
        QVERIFY(reader.open(file, 11025.0, 500));
        std::vector<float> first(6000), second(6000);
        float* one[] = {first.data()};
        QCOMPARE(reader.read(one, 6000), 11025LL / 2 + 1);
        QVERIFY(file.seek(0));
        reader.reset();
        float* two[] = {second.data()};
        QCOMPARE(reader.read(two, 6000), 11025LL / 2 + 1);
        QCOMPARE(second, first);
        const std::vector<float> direct = sines(1, 11025, 0.5, 400.0);
        for (size_t i = 200; i < direct.size() - 200; ++i)
            QVERIFY2(std::abs(first[i] - direct[i]) < 1e-3f, qPrintable(QString::number(i)));
    }

    void readsDirectlyAtTheFileRate()
    {
        const std::vector<float> written = sines(1, 11025, 0.2, 300.0);
        QVERIFY(writeFile(path("same.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 11025, written));
        SndFile file;
        QVERIFY(file.open(path("same.wav"), AudioFile::Reading));
        ResamplingReader reader;
        QVERIFY(reader.open(file, 11025.0));
        std::vector<float> samples(written.size() + 10);
        float* channels[] = {samples.data()};
        QCOMPARE(reader.read(channels, static_cast<long long>(samples.size())),
                 static_cast<long long>(written.size()));
        QCOMPARE(samples[100], written[100]);
    }

    void refusesRatesOutOfRange()
    {
        QVERIFY(writeFile(path("slow.au"), SF_FORMAT_AU | SF_FORMAT_FLOAT, 1, 10,
                          std::vector<float>(100, 0.1f)));
        SndFile file;
        QVERIFY(file.open(path("slow.au"), AudioFile::Reading));
        ResamplingReader reader;
        QVERIFY(!reader.open(file, 11025.0));
        QVERIFY(ErrorLog::text().contains(QStringLiteral("cannot convert 10 Hz")));
    }
};

QTEST_GUILESS_MAIN(TestAudioFiles)
#include "tst_audio_files.moc"
