// Peak files: their names and headers, the records of known signals, when a file is reused or
// built again, broken files, and reads through the cache window.
#include "audio_peak.h"
#include "audio_peak_manager.h"
#include "audio_test_files.h"
#include "error_log.h"
#include "session.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace {

/** Counts the events a finished build posts. */
class EventCounter : public QObject
{
public:
    int events = 0;

protected:
    void customEvent(QEvent* event) override
    {
        if (event->type() == QEvent::Type(AudioPeakManager::eventType()))
            ++events;
    }
};

/** A full-scale square of period 64 frames on channel 0, a −6 dB sine of 441 Hz on channel 1. */
float squareAndSine(int c, long long k)
{
    if (c == 0)
        return (k / 32) % 2 ? -1.0f : 1.0f;
    return float(std::pow(10.0, -6.0 / 20.0) * std::sin(2.0 * M_PI * 441.0 * double(k) / 44100.0));
}

} // namespace

class TestAudioPeak : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void buildsRecordsOfKnownSignals();
    void namesFilesPerStretchFactor();
    void aMissingTemporaryFolderFallsBackToTmp();
    void reusesOrRebuildsByAge();
    void brokenFileLeavesNoPeaks();
    void windowReadsMatchColdReads();

private:
    QString makeAudio(const QString& name, long long frames);
    std::vector<unsigned char> readAll(AudioPeak* peak, long long count);

    std::unique_ptr<QTemporaryDir> m_dir;
    AudioPeakManager m_manager;
    EventCounter m_counter;
    QStringList m_peakFiles;
};

void TestAudioPeak::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_manager.setNotifyObject(&m_counter);
    m_counter.events = 0;
}

void TestAudioPeak::cleanup()
{
    for (const QString& path : std::as_const(m_peakFiles))
        QFile::remove(path);
    m_peakFiles.clear();
}

QString TestAudioPeak::makeAudio(const QString& name, long long frames)
{
    // Names unique per run: peak files live in the shared temporary folder.
    const QString path = m_dir->filePath(QFileInfo(m_dir->path()).fileName() + name);
    if (!audiotest::writeFile(path, 2, 44100, frames, squareAndSine))
        return {};
    m_peakFiles << AudioPeak::peakPath(path, 1.0) << AudioPeak::peakPath(path, 0.5);
    return path;
}

std::vector<unsigned char> TestAudioPeak::readAll(AudioPeak* peak, long long count)
{
    std::vector<unsigned char> out(size_t(count) * 2 * size_t(peak->channels()));
    peak->read(0, count, out.data());
    return out;
}

void TestAudioPeak::buildsRecordsOfKnownSignals()
{
    // 40 full records and a partial one of 100 frames.
    const QString audio = makeAudio(QStringLiteral("tone.wav"), 40 * 1024 + 100);
    QVERIFY(!audio.isEmpty());
    AudioPeak* peak = m_manager.acquire(audio, 1.0);
    peak->channels();
    QTRY_COMPARE(m_counter.events, 1);
    QVERIFY(!peak->isBuilding());

    QFile file(AudioPeak::peakPath(audio, 1.0));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(bytes.size(), 4 + 41 * 4);
    QCOMPARE(quint8(bytes[0]) | quint8(bytes[1]) << 8, 1024);
    QCOMPARE(quint8(bytes[2]) | quint8(bytes[3]) << 8, 2);

    QCOMPARE(peak->channels(), 2);
    std::vector<unsigned char> records(44 * 4, 0xaa);
    QCOMPARE(peak->read(0, 44, records.data()), 41LL);
    for (int r = 0; r < 41; ++r) {
        const unsigned char* record = &records[size_t(r) * 4];
        QCOMPARE(record[0], 255); // square: peak 1
        QCOMPARE(record[1], 255); // and RMS 1
        QCOMPARE(record[2], 127); // sine at −6 dB: 255 × 0.501
        QVERIFY2(std::abs(record[3] - 90) <= 1, qPrintable(QString::number(record[3]))); // / √2
    }
    for (size_t k = 41 * 4; k < records.size(); ++k)
        QCOMPARE(records[k], 0); // past the end
    m_manager.release(peak);
    QCOMPARE(m_manager.count(), 0);
}

void TestAudioPeak::aMissingTemporaryFolderFallsBackToTmp()
{
    // Qt answers "" for a TMPDIR that does not exist; peak files and takes then went to the
    // working folder, wherever the program had been started.
    const QByteArray saved = qgetenv("TMPDIR");
    qputenv("TMPDIR", "/nonexistent/cantova-temp");
    const QString peak = AudioPeak::peakPath(QStringLiteral("/music/song.wav"), 1.0);
    const QString take = Session::audioRecordingPath();
    saved.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", saved);
    QCOMPARE(peak, QStringLiteral("/tmp/song.wav_1.pkf"));
    QCOMPARE(take, QStringLiteral("/tmp/orvantmp.wav"));
}

void TestAudioPeak::namesFilesPerStretchFactor()
{
    const QString audio = makeAudio(QStringLiteral("song.wav"), 4096);
    QVERIFY(AudioPeak::peakPath(audio, 1.0).endsWith(QStringLiteral("song.wav_1.pkf")));
    QVERIFY(AudioPeak::peakPath(audio, 0.5).endsWith(QStringLiteral("song.wav_0.5.pkf")));

    AudioPeak* whole = m_manager.acquire(audio, 1.0);
    AudioPeak* half = m_manager.acquire(audio, 0.5);
    QCOMPARE(m_manager.acquire(audio, 1.0), whole); // shared
    QCOMPARE(m_manager.count(), 2);
    whole->channels();
    half->channels();
    whole->waitForBuild();
    half->waitForBuild();
    QVERIFY(QFile::exists(AudioPeak::peakPath(audio, 1.0)));
    QVERIFY(QFile::exists(AudioPeak::peakPath(audio, 0.5)));
    m_manager.release(whole);
    QCOMPARE(m_manager.count(), 2);
    m_manager.release(whole);
    m_manager.release(half);
    QCOMPARE(m_manager.count(), 0);
}

void TestAudioPeak::reusesOrRebuildsByAge()
{
    const QString audio = makeAudio(QStringLiteral("age.wav"), 8 * 1024);
    const QString path = AudioPeak::peakPath(audio, 1.0);
    AudioPeak* peak = m_manager.acquire(audio, 1.0);
    peak->channels();
    peak->waitForBuild();
    m_manager.release(peak);

    // A newer peak file is read as it is: a marked record shows through.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    file.seek(4);
    file.write("\x07", 1);
    file.close();
    peak = m_manager.acquire(audio, 1.0);
    QCOMPARE(readAll(peak, 1)[0], 7);
    QVERIFY(!peak->isBuilding());
    m_manager.release(peak);

    // An older one is built again.
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QFileInfo(audio).lastModified().addSecs(-60),
                             QFileDevice::FileModificationTime));
    file.close();
    peak = m_manager.acquire(audio, 1.0);
    peak->channels();
    peak->waitForBuild();
    QCOMPARE(readAll(peak, 1)[0], 255);
    m_manager.release(peak);

    // A deleted one too.
    QVERIFY(QFile::remove(path));
    peak = m_manager.acquire(audio, 1.0);
    peak->channels();
    peak->waitForBuild();
    QCOMPARE(readAll(peak, 8)[7 * 4], 255);

    // Also while the object lives: the next request builds it again.
    QVERIFY(QFile::remove(path));
    peak->channels();
    peak->waitForBuild();
    QVERIFY(QFile::exists(path));
    QCOMPARE(readAll(peak, 8)[7 * 4], 255);
    m_manager.release(peak);
}

void TestAudioPeak::brokenFileLeavesNoPeaks()
{
    const QString audio = makeAudio(QStringLiteral("broken.wav"), 1024);
    const QString path = AudioPeak::peakPath(audio, 1.0);
    for (const QByteArray& content : {QByteArray("\x00\x04", 2), QByteArray("\x00\x02\x02\x00", 4),
                                      QByteArray("\x00\x04\x00\x00", 4)}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        AudioPeak* peak = m_manager.acquire(audio, 1.0);
        QCOMPARE(peak->channels(), 0);
        QVERIFY(!peak->isBuilding());
        unsigned char unused = 0;
        QCOMPARE(peak->read(0, 4, &unused), 0LL);
        m_manager.release(peak);
    }
    // A well-formed header of another channel count than the audio's is built again, said in
    // the log, rather than read with the wrong record size.
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray("\x00\x04\x01\x00\x10\x10", 6)); // mono, one record
        file.close();
        ErrorLog::clear();
        AudioPeak* peak = m_manager.acquire(audio, 1.0);
        peak->setAudioChannels(2);
        peak->channels();
        QVERIFY(ErrorLog::take().contains(QStringLiteral("holds 1 channels, its audio file 2")));
        peak->waitForBuild();
        QCOMPARE(peak->channels(), 2);
        m_manager.release(peak);
    }
    // A missing audio file gives a peak file without records, not a crash.
    AudioPeak* missing = m_manager.acquire(m_dir->filePath(QStringLiteral("none.wav")), 1.0);
    missing->channels();
    missing->waitForBuild();
    QCOMPARE(missing->channels(), 0);
    m_manager.release(missing);
}

void TestAudioPeak::windowReadsMatchColdReads()
{
    // Records differ from one another: a sine whose amplitude rises over the file.
    const QString path = m_dir->filePath(QFileInfo(m_dir->path()).fileName() + "ramp.wav");
    const long long frames = 300 * 1024;
    QVERIFY(audiotest::writeFile(path, 1, 44100, frames, [&](int, long long k) {
        return float(double(k) / double(frames) * std::sin(double(k) * 0.3));
    }));
    m_peakFiles << AudioPeak::peakPath(path, 1.0);
    AudioPeak* peak = m_manager.acquire(path, 1.0);
    peak->channels();
    peak->waitForBuild();
    const std::vector<unsigned char> cold = readAll(peak, 330);

    // Scroll right, then left, with small and large steps and past the end.
    const long long starts[] = {100, 120, 150, 60, 55, 0, 200, 280, 10, 250};
    for (long long first : starts) {
        std::vector<unsigned char> out(40 * 2, 0xaa);
        peak->read(first, 40, out.data());
        for (long long r = 0; r < 40; ++r)
            for (int b = 0; b < 2; ++b)
                QCOMPARE(out[size_t(r * 2 + b)], cold[size_t((first + r) * 2 + b)]);
    }
    QVERIFY(cold[299 * 2] > cold[10 * 2]);
    QCOMPARE(cold[300 * 2], 0);
    m_manager.release(peak);
}

QTEST_GUILESS_MAIN(TestAudioPeak)
#include "tst_audio_peak.moc"
