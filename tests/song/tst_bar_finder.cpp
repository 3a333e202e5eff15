// Tempo, meter and bar lines of melodies sung without a click: steady takes in each meter, with
// and without a pickup, a take that slows down, placing a take on bar lines, and too little to go
// on. The takes are written here as rhythms and sung with a fixed-seed timing jitter.
#include "bar_finder.h"

#include <QTest>
#include <cmath>
#include <random>

namespace {

struct Take
{
    std::vector<BarFinder::Note> notes;
    std::vector<double> barLines; // the true bar lines
};

/**
 * A take of bars of note lengths (quarter notes) after a pickup (quarter notes, may be empty),
 * at a tempo that moves linearly by drift (0.05 = 5 % faster at the end), after leadIn seconds,
 * each onset moved by up to 30 ms.
 */
Take sing(const std::vector<double>& pickup, const std::vector<std::vector<double>>& bars,
          double tempo, double leadIn, double drift = 0.0, unsigned seed = 1)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> jitter(-0.03, 0.03);
    double pickupLength = 0.0;
    for (double l : pickup)
        pickupLength += l;
    double total = pickupLength;
    for (const auto& bar : bars)
        for (double l : bar)
            total += l;
    // Seconds of quarter q from the start of the pickup: the period shrinks by drift over the take.
    auto time = [&](double q) {
        const double x = q / total;
        return leadIn + 60.0 / tempo * total * (x - drift * x * x / 2);
    };
    Take take;
    double q = 0.0;
    int pitch = 60;
    auto add = [&](double length) {
        const double onset = time(q) + jitter(random);
        take.notes.push_back({onset, time(q + length) - 0.08 - onset, pitch});
        pitch = pitch == 67 ? 60 : pitch + 1;
        q += length;
    };
    for (double l : pickup)
        add(l);
    for (const auto& bar : bars) {
        take.barLines.push_back(time(q));
        for (double l : bar)
            add(l);
    }
    take.barLines.push_back(time(q));
    return take;
}

std::vector<std::vector<double>> repeat(const std::vector<std::vector<double>>& phrase, int times)
{
    std::vector<std::vector<double>> bars;
    for (int i = 0; i < times; ++i)
        bars.insert(bars.end(), phrase.begin(), phrase.end());
    return bars;
}

} // namespace

class TestBarFinder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void steadyTakes_data()
    {
        QTest::addColumn<double>("tempo");
        QTest::addColumn<int>("beats");
        QTest::addColumn<int>("unit");
        QTest::addColumn<bool>("pickup");
        QTest::newRow("4/4 at 96") << 96.0 << 4 << 4 << false;
        QTest::newRow("4/4 at 140 with a pickup") << 140.0 << 4 << 4 << true;
        QTest::newRow("3/4 at 84 with a pickup") << 84.0 << 3 << 4 << true;
        QTest::newRow("3/4 at 150") << 150.0 << 3 << 4 << false;
        QTest::newRow("6/8 at 70 dotted quarters") << 105.0 << 6 << 8 << false;
        QTest::newRow("2/4 at 110 in eighths") << 110.0 << 2 << 4 << false;
        QTest::newRow("2/4 at 90 with a pickup") << 90.0 << 2 << 4 << true;
        // Slow 2/4 in eighths and quarters has the notes of 4/4 in quarters and halves at twice
        // the tempo, which never divides its beat: too plain for that tempo.
        QTest::newRow("2/4 at 66, not 4/4 at 132") << 66.0 << 2 << 4 << false;
        QTest::newRow("2/4 at 62 with a pickup") << 62.0 << 2 << 4 << true;
        // Fast 6/8's dotted quarters as quarters would make its eighths triplet sixteenths.
        QTest::newRow("6/8 at 100 dotted quarters, not 4/4 at 100") << 150.0 << 6 << 8 << false;
    }

    void steadyTakes()
    {
        QFETCH(double, tempo);
        QFETCH(int, beats);
        QFETCH(int, unit);
        QFETCH(bool, pickup);
        std::vector<std::vector<double>> phrase;
        if (unit == 8)
            phrase = {{1.5, 1.5}, {1, 0.5, 1, 0.5}, {0.5, 0.5, 0.5, 1.5}, {3}};
        else if (beats == 3)
            phrase = {{2, 1}, {1.5, 0.5, 1}, {1, 1, 1}, {3}};
        else if (beats == 2)
            phrase = {{0.5, 0.5, 1}, {1, 0.5, 0.5}, {0.5, 0.5, 0.5, 0.5}, {2}};
        else
            phrase = {{1, 1, 1, 1}, {2, 1, 1}, {1.5, 0.5, 1, 1}, {4}};
        const Take take = sing(pickup ? std::vector<double>{1.0} : std::vector<double>{},
                               repeat(phrase, 4), tempo, 0.7);
        const BarGrid grid = BarFinder::find(take.notes);
        QVERIFY(grid.valid);
        QVERIFY2(std::abs(grid.tempo / tempo - 1) <= 0.04, qPrintable(QString::number(grid.tempo)));
        QCOMPARE(grid.beatsPerBar, beats);
        QCOMPARE(grid.beatUnit, unit);
        // The 4/4 tune's third beats carry notes as long as its downbeats: only a pickup-free
        // start tells where its bars begin.
        QVERIFY2(std::abs(grid.firstDownbeat - take.barLines.front()) <= 0.06,
                 qPrintable(QString::number(grid.firstDownbeat)));
        QVERIFY(!grid.drifts);
        QVERIFY(grid.confidence > 0.0 && grid.confidence <= 1.0);
        // Bar lines run from the first downbeat to a bar past the last note.
        QVERIFY(grid.barLines.back() > take.notes.back().onset);
    }

    void songsInQuartersAndHalvesStayInFourFour()
    {
        // Two beats per bar would fit these as well, but a melody of quarters and halves is
        // far more often in 4/4; its long notes on third beats must not move the bar lines.
        const Take take =
            sing({}, repeat({{1, 1, 1, 1}, {1, 1, 2}, {1, 1, 1, 1}, {1, 1, 2}}, 2), 120.0, 0.5);
        const BarGrid grid = BarFinder::find(take.notes);
        QCOMPARE(grid.beatsPerBar, 4);
        QVERIFY2(std::abs(grid.firstDownbeat - take.barLines.front()) <= 0.06,
                 qPrintable(QString::number(grid.firstDownbeat)));
    }

    void barLinesFollowASingerWhoSpeedsUp()
    {
        const Take take =
            sing({}, repeat({{1, 1, 1, 1}, {2, 1, 1}, {1, 1, 2}, {4}}, 5), 100.0, 0.3, 0.08);
        const BarGrid grid = BarFinder::find(take.notes);
        QVERIFY(grid.valid);
        QCOMPARE(grid.beatsPerBar, 4);
        QVERIFY(grid.drifts);
        QVERIFY(grid.barTempo(int(grid.barLines.size()) - 3) > grid.barTempo(0) * 1.04);
        int near = 0;
        for (size_t b = 0; b + 1 < take.barLines.size(); ++b)
            for (double line : grid.barLines)
                if (std::abs(line - take.barLines[b]) <= 0.08) {
                    ++near;
                    break;
                }
        QVERIFY2(near >= int(take.barLines.size() - 1) * 8 / 10, qPrintable(QString::number(near)));
    }

    void aTakeIsMovedOntoBarLines()
    {
        BarGrid grid;
        grid.tempo = 120.0; // 2 s bars of 4/4
        grid.firstDownbeat = 1.5;
        // Lead-in silence is cut: the downbeat becomes bar 1.
        QCOMPARE(grid.shiftToBarLine(1.5), -1.5);
        // A note sung a little early is the downbeat, not a pickup.
        QCOMPARE(grid.shiftToBarLine(1.45), -1.5);
        // A one-beat pickup gets a bar of its own before the first downbeat.
        QCOMPARE(grid.shiftToBarLine(1.0), 0.5);
        // A pickup longer than a bar gets two.
        QCOMPARE(grid.shiftToBarLine(-1.0), 2.5);
        grid.beatsPerBar = 6;
        grid.beatUnit = 8; // 1.5 s bars
        QCOMPARE(grid.barSeconds(), 1.5);
        QCOMPARE(grid.shiftToBarLine(1.0), 0.0);
    }

    void tooLittleToGoOn()
    {
        QVERIFY(!BarFinder::find({}).valid);
        const Take take = sing({}, {{1, 1, 1, 1}, {4}}, 100.0, 0.0);
        QVERIFY(!BarFinder::find({take.notes.begin(), take.notes.begin() + 5}).valid);
        // Notes in any order give the same grid.
        const Take longer = sing({}, repeat({{1, 1, 1, 1}, {2, 2}}, 4), 100.0, 0.2);
        std::vector<BarFinder::Note> reversed(longer.notes.rbegin(), longer.notes.rend());
        QCOMPARE(BarFinder::find(reversed).barLines, BarFinder::find(longer.notes).barLines);
        // All notes at one instant have no tempo, but must not hang or crash.
        std::vector<BarFinder::Note> chord(8, BarFinder::Note{1.0, 0.5, 60});
        (void)BarFinder::find(chord);
    }
};

QTEST_GUILESS_MAIN(TestBarFinder)
#include "tst_bar_finder.moc"
