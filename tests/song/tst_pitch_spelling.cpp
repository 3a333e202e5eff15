#include "pitch_spelling.h"

#include <QTest>

class TestPitchSpelling : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void namesAndPitches_data()
    {
        QTest::addColumn<int>("tpc");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("pitch");
        QTest::newRow("C double flat") << 0 << "Cbb" << -2;
        QTest::newRow("C flat") << 7 << "Cb" << -1;
        QTest::newRow("B flat") << 12 << "Bb" << 10;
        QTest::newRow("C") << 14 << "C" << 0;
        QTest::newRow("F sharp") << 20 << "F#" << 6;
        QTest::newRow("B sharp") << 26 << "B#" << 12;
        QTest::newRow("B double sharp") << 33 << "B##" << 13;
    }

    void namesAndPitches()
    {
        QFETCH(int, tpc);
        QFETCH(QString, name);
        QFETCH(int, pitch);
        QCOMPARE(tpcToName(tpc), name);
        QCOMPARE(tpcPitch(tpc), pitch);
    }

    void outOfRangeSpellingsAreReportedWithoutCrashing()
    {
        QTest::ignoreMessage(QtDebugMsg, "tpc2name(-2): acc -3");
        QCOMPARE(tpcToName(kNoTpc), QStringLiteral("B??"));
        QTest::ignoreMessage(QtDebugMsg, "tpc 40 >= 34");
        QCOMPARE(tpcPitch(40), 11 + 3); // B with three sharps
    }

    void parseNote_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("tpc");
        QTest::newRow("natural") << "C" << 14;
        QTest::newRow("sharp") << "c#" << 21;
        QTest::newRow("flat") << "Bb" << 12;
        QTest::newRow("upper-case B is a flat") << "EB" << 11;
        QTest::newRow("rest is ignored") << "Ebmaj7" << 11;
        QTest::newRow("German H is no note") << "H" << kNoTpc;
        QTest::newRow("empty") << "" << kNoTpc;
        QTest::newRow("leading space") << " C" << kNoTpc;
    }

    void parseNote()
    {
        QFETCH(QString, text);
        QFETCH(int, tpc);
        QCOMPARE(::parseNote(text), tpc);
    }

    void namesWithOneAccidentalParseBack()
    {
        for (int tpc = 6; tpc <= 26; ++tpc)
            QCOMPARE(::parseNote(tpcToName(tpc)), tpc);
    }

    void spellTransposed_data()
    {
        QTest::addColumn<int>("tpc");
        QTest::addColumn<int>("semitones");
        QTest::addColumn<int>("result");
        QTest::newRow("no shift keeps C#") << 21 << 0 << 21;
        QTest::newRow("no note stays") << kNoTpc << 5 << kNoTpc;
        QTest::newRow("C up one is Db") << 14 << 1 << 9;
        QTest::newRow("C up six is F#") << 14 << 6 << 20;
        QTest::newRow("octave respells C# as Db") << 21 << 12 << 9;
        QTest::newRow("Bb down one is A") << 12 << -1 << 17;
        QTest::newRow("Cbb up one is B") << 0 << 1 << 19;
        QTest::newRow("C down 13 is B") << 14 << -13 << 19;
    }

    void spellTransposed()
    {
        QFETCH(int, tpc);
        QFETCH(int, semitones);
        QFETCH(int, result);
        QCOMPARE(::spellTransposed(tpc, semitones), result);
    }

    void spellTransposedKeepsThePitchAndTheUsualSpelling()
    {
        for (int tpc = kMinTpc; tpc <= kMaxTpc; ++tpc) {
            for (int semitones = -30; semitones <= 30; ++semitones) {
                if (semitones == 0)
                    continue;
                const int result = ::spellTransposed(tpc, semitones);
                QVERIFY2(result >= 9 && result <= 20, qPrintable(tpcToName(tpc)));
                QCOMPARE(pitchClass(tpcPitch(result)), pitchClass(tpcPitch(tpc) + semitones));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestPitchSpelling)
#include "tst_pitch_spelling.moc"
