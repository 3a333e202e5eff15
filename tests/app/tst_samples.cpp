#include "audio_file_transcriber.h"
#include "bar_finder.h"
#include "error_log.h"
#include "transcription_engine.h"

#include <QDir>
#include <QList>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// 1 - edit distance / the longer length: how much of one pitch sequence the other keeps.
double similarity(const QList<int>& a, const QList<int>& b)
{
    std::vector<qsizetype> previous(size_t(b.size()) + 1);
    for (qsizetype j = 0; j <= b.size(); ++j)
        previous[size_t(j)] = j;
    for (qsizetype i = 1; i <= a.size(); ++i) {
        std::vector<qsizetype> row(size_t(b.size()) + 1);
        row[0] = i;
        for (qsizetype j = 1; j <= b.size(); ++j)
            row[size_t(j)] = std::min({previous[size_t(j)] + 1, row[size_t(j) - 1] + 1,
                                       previous[size_t(j) - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
        previous = std::move(row);
    }
    return 1.0 - double(previous.back()) / double(std::max<qsizetype>({a.size(), b.size(), 1}));
}

} // namespace

/** The sample melodies the program ships transcribe into their tunes. */
class TestSamples : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everySampleTranscribesIntoItsTune_data()
    {
        // The tunes as tools/make-samples writes them out, MIDI notes in order.
        QTest::addColumn<QString>("name");
        QTest::addColumn<QList<int>>("tune");
        QTest::newRow("Ode to Joy")
            << "ode-to-joy"
            << QList<int>{66, 66, 67, 69, 69, 67, 66, 64, 62, 62, 64, 66, 66, 64, 64,
                          66, 66, 67, 69, 69, 67, 66, 64, 62, 62, 64, 66, 64, 62, 62};
        QTest::newRow("Twinkle") << "twinkle-twinkle"
                                 << QList<int>{65, 65, 72, 72, 74, 74, 72, 70, 70, 69,
                                               69, 67, 67, 65, 72, 72, 70, 70, 69, 69,
                                               67, 72, 72, 70, 70, 69, 69, 67};
        QTest::newRow("Frere Jacques")
            << "frere-jacques"
            << QList<int>{67, 69, 71, 67, 67, 69, 71, 67, 71, 72, 74, 71, 72, 74, 74, 76,
                          74, 72, 71, 67, 74, 76, 74, 72, 71, 67, 67, 62, 67, 67, 62, 67};
        QTest::newRow("Amazing Grace")
            << "amazing-grace"
            << QList<int>{62, 67, 71, 67, 71, 69, 67, 64, 62, 62, 67, 71, 67, 71, 69, 74};
        QTest::newRow("Greensleeves")
            << "greensleeves"
            << QList<int>{69, 72, 74, 76, 77, 76, 74, 71, 67, 69, 71, 72, 71, 69, 68, 66, 68, 69};
    }

    void everySampleTranscribesIntoItsTune()
    {
        QFETCH(QString, name);
        QFETCH(QList<int>, tune);
        const QString path = QDir(QStringLiteral(CANTOVA_SAMPLES_DIR)).filePath(name + ".flac");
        TranscriptionEngine engine;
        QVERIFY2(AudioFileTranscriber::transcribe(engine, path), qPrintable(ErrorLog::take()));
        std::vector<std::pair<double, int>> onsets;
        for (const TranscribedEvent& e : engine.result().events) {
            if (e.isNoteOn())
                onsets.emplace_back(e.time, e.note);
        }
        std::sort(onsets.begin(), onsets.end());
        QList<int> found;
        for (const auto& onset : onsets)
            found.push_back(onset.second);
        // Recognisable: at least three quarters of the tune in order, whatever the transcriber
        // misses of short or repeated notes.
        const double kept = similarity(tune, found);
        QVERIFY2(kept >= 0.75, qPrintable(QStringLiteral("%1 of the tune, %2 of %3 notes")
                                              .arg(kept)
                                              .arg(found.size())
                                              .arg(tune.size())));
    }

    void everySampleFindsItsOwnBars_data()
    {
        // Tempo, meter and first downbeat as tools/make-samples sings them: half a second of
        // silence, then the tune (Amazing Grace and Greensleeves open with a one-beat pickup).
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("tempo");
        QTest::addColumn<int>("beats");
        QTest::addColumn<double>("downbeat");
        QTest::newRow("Ode to Joy") << "ode-to-joy" << 126.0 << 4 << 0.5;
        QTest::newRow("Twinkle") << "twinkle-twinkle" << 120.0 << 4 << 0.5;
        QTest::newRow("Frere Jacques") << "frere-jacques" << 120.0 << 4 << 0.5;
        QTest::newRow("Amazing Grace") << "amazing-grace" << 84.0 << 3 << 0.5 + 60.0 / 84;
        QTest::newRow("Greensleeves") << "greensleeves" << 112.0 << 3 << 0.5 + 60.0 / 112;
    }

    void everySampleFindsItsOwnBars()
    {
        QFETCH(QString, name);
        QFETCH(double, tempo);
        QFETCH(int, beats);
        QFETCH(double, downbeat);
        const QString path = QDir(QStringLiteral(CANTOVA_SAMPLES_DIR)).filePath(name + ".flac");
        TranscriptionEngine engine;
        QVERIFY2(AudioFileTranscriber::transcribe(engine, path), qPrintable(ErrorLog::take()));
        std::vector<BarFinder::Note> notes;
        for (const TranscribedEvent& e : engine.result().events)
            if (e.isNoteOn())
                notes.push_back({e.time, e.duration, e.note});
        const BarGrid grid = BarFinder::find(notes);
        QVERIFY(grid.valid);
        QVERIFY2(std::abs(grid.tempo / tempo - 1.0) <= 0.04,
                 qPrintable(QString::number(grid.tempo)));
        QCOMPARE(grid.beatsPerBar, beats);
        QCOMPARE(grid.beatUnit, 4);
        QVERIFY2(std::abs(grid.firstDownbeat - downbeat) <= 0.06,
                 qPrintable(QString::number(grid.firstDownbeat)));
    }
};

QTEST_GUILESS_MAIN(TestSamples)
#include "tst_samples.moc"
