#include "error_log.h"
#include "midi_event.h"
#include "midi_file.h"
#include "midi_sequence.h"
#include "transcribe_command.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>

#include <vector>

namespace {

struct Note
{
    double onset;
    int key;
};

std::vector<Note> truth()
{
    std::vector<Note> notes;
    QFile file(QStringLiteral(CANTOVA_TEST_DATA "/transcribe/flute_melody.truth"));
    if (!file.open(QIODevice::ReadOnly))
        return notes;
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().simplified().split(' ');
        if (fields.size() == 2)
            notes.push_back({fields[0].toDouble(), fields[1].toInt()});
    }
    return notes;
}

/** Copies an audio file into another format with libsndfile (MP3 through its LAME encoder). */
bool convert(const QString& from, const QString& to, int format)
{
    SF_INFO in{};
    SNDFILE* source = sf_open(QFile::encodeName(from).constData(), SFM_READ, &in);
    if (!source)
        return false;
    std::vector<float> samples(static_cast<size_t>(in.frames * in.channels));
    const sf_count_t frames = sf_readf_float(source, samples.data(), in.frames);
    sf_close(source);
    SF_INFO out{};
    out.channels = in.channels;
    out.samplerate = in.samplerate;
    out.format = format;
    SNDFILE* target = sf_open(QFile::encodeName(to).constData(), SFM_WRITE, &out);
    if (!target)
        return false;
    const bool ok = sf_writef_float(target, samples.data(), frames) == frames;
    sf_close(target);
    return ok;
}

/** The notes of the melody (the second track) of the MIDI file, as (seconds at 120 bpm, key). */
std::vector<Note> readMidi(const QString& path)
{
    std::vector<Note> notes;
    MidiFile file;
    MidiSequence sequence;
    if (!file.open(path, MidiFile::Read) || file.format() != 1 || !file.readTrack(sequence, 1))
        return notes;
    for (const MidiEvent* e = sequence.first(); e; e = e->next()) {
        if (e->isNote())
            notes.push_back({e->time / 1920.0, e->data1});
    }
    return notes;
}

} // namespace

/**
 * "cantova transcribe" on a melody rendered by a flute SoundFont voice: the same notes from the
 * FLAC, from a WAV copy and from an MP3 copy, at their times.
 */
class TestTranscribeCommand : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    const QString flac = QStringLiteral(CANTOVA_TEST_DATA "/transcribe/flute_melody.flac");

    int transcribe(const QString& input, const QString& output, QString* printed,
                   QString* errors = nullptr)
    {
        QString text, error;
        QTextStream out(&text), err(&error);
        const int code = TranscribeCommand::run({input, output}, out, err);
        out.flush();
        err.flush();
        *printed = text;
        if (errors)
            *errors = error;
        return code;
    }

private Q_SLOTS:
    void init() { ErrorLog::clear(); }

    void formats_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<double>("tolerance"); // seconds an onset may lie off its true time
        QVERIFY(convert(flac, dir.filePath("melody.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16));
        QVERIFY(
            convert(flac, dir.filePath("melody.mp3"), SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III));
        QTest::newRow("flac") << flac << 0.05;
        QTest::newRow("wav") << dir.filePath("melody.wav") << 0.05;
        // The encoder's delay shifts an MP3 a little later.
        QTest::newRow("mp3") << dir.filePath("melody.mp3") << 0.08;
    }

    void formats()
    {
        QFETCH(QString, input);
        QFETCH(double, tolerance);
        const QString output = dir.filePath(QFileInfo(input).fileName() + ".mid");
        QString printed, errors;
        QCOMPARE(transcribe(input, output, &printed, &errors), 0);
        QVERIFY2(errors.isEmpty(), qPrintable(errors));
        // E D C D G A in C major, ending on A: A minor.
        QCOMPARE(printed, QStringLiteral("6 notes, key Amin\n"));
        const std::vector<Note> expected = truth();
        const std::vector<Note> found = readMidi(output);
        QCOMPARE(found.size(), expected.size());
        for (size_t i = 0; i < found.size(); ++i) {
            QCOMPARE(found[i].key, expected[i].key);
            QVERIFY2(std::abs(found[i].onset - expected[i].onset) <= tolerance,
                     qPrintable(QStringLiteral("note %1 at %2 s").arg(i).arg(found[i].onset)));
        }
    }

    // A lossless copy gives the very same MIDI file (the melody track is named after the input,
    // the tempo track after the output).
    void losslessCopiesGiveTheSameFile()
    {
        QString printed;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("copy")));
        const QString copy = dir.filePath(QStringLiteral("copy/flute_melody.wav"));
        QVERIFY(convert(flac, copy, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
        QCOMPARE(transcribe(flac, dir.filePath("song.mid"), &printed), 0);
        QCOMPARE(transcribe(copy, dir.filePath("copy/song.mid"), &printed), 0);
        QFile a(dir.filePath("song.mid")), b(dir.filePath("copy/song.mid"));
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(a.readAll(), b.readAll());
    }

    void failures()
    {
        QString printed, errors;
        QCOMPARE(transcribe(dir.filePath("missing.wav"), dir.filePath("x.mid"), &printed, &errors),
                 1);
        QVERIFY(errors.contains(QStringLiteral("Cannot read the audio data from file.")));
        QVERIFY(!QFile::exists(dir.filePath("x.mid")));
        QCOMPARE(transcribe(dir.filePath("notes.txt"), dir.filePath("x.mid"), &printed, &errors),
                 1);
        QVERIFY(errors.contains(QStringLiteral("not an audio file type")));

        QTextStream out(&printed), err(&errors);
        QCOMPARE(TranscribeCommand::run({flac}, out, err), 2);
        err.flush();
        QVERIFY(errors.contains(QStringLiteral("Usage: cantova transcribe")));
    }

    // Both tunings give the flute its notes; an unknown tuning is refused before anything is
    // read or written.
    void tuningOption()
    {
        QString printed, errors;
        QTextStream out(&printed), err(&errors);
        auto withTuning = [&](const char* tuning, const QString& output) {
            return TranscribeCommand::run(
                {QStringLiteral("--tuning"), QLatin1String(tuning), flac, output}, out, err);
        };
        const QString classic = dir.filePath(QStringLiteral("classic.mid"));
        QCOMPARE(withTuning("classic", classic), 0);
        out.flush();
        QCOMPARE(printed, QStringLiteral("6 notes, key Amin\n"));
        const std::vector<Note> expected = truth();
        const std::vector<Note> found = readMidi(classic);
        QCOMPARE(found.size(), expected.size());
        for (size_t i = 0; i < found.size(); ++i)
            QCOMPARE(found[i].key, expected[i].key);

        const QString refused = dir.filePath(QStringLiteral("refused.mid"));
        QCOMPARE(withTuning("sharp", refused), 2);
        err.flush();
        QVERIFY(errors.contains(QStringLiteral("unknown tuning sharp")));
        QVERIFY(!QFile::exists(refused));
    }

    // Silence transcribes to an empty melody, with the program's warning.
    void silenceWritesAnEmptyMelody()
    {
        const std::vector<float> zeros(22050, 0.0f);
        SF_INFO info{};
        info.channels = 1;
        info.samplerate = 22050;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* file =
            sf_open(QFile::encodeName(dir.filePath("quiet.wav")).constData(), SFM_WRITE, &info);
        QVERIFY(file);
        sf_writef_float(file, zeros.data(), 22050);
        sf_close(file);
        QString printed, errors;
        QCOMPARE(
            transcribe(dir.filePath("quiet.wav"), dir.filePath("quiet.mid"), &printed, &errors), 0);
        QCOMPARE(printed, QStringLiteral("0 notes, key Cmaj\n"));
        QVERIFY(
            errors.contains(QStringLiteral("Cannot transcribe any MIDI notes from this audio.")));
        QVERIFY(readMidi(dir.filePath("quiet.mid")).empty());
    }
};

QTEST_GUILESS_MAIN(TestTranscribeCommand)
#include "tst_transcribe_command.moc"
