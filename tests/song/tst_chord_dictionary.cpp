#include "chord_dictionary.h"

#include <QTest>

#include <bit>
#include <initializer_list>

namespace {

uint16_t maskOf(std::initializer_list<int> pitchClasses)
{
    uint16_t mask = 0;
    for (int pc : pitchClasses)
        mask |= uint16_t(1u << pc);
    return mask;
}

} // namespace

class TestChordDictionary : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void findComparesNamesWithoutCase_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::newRow("upper-case M is minor") << "M"
                                               << "m"
                                               << "minor";
        QTest::newRow("maj7") << "maj7"
                              << "Maj7"
                              << "major-seventh";
        QTest::newRow("first of three sevenths") << "7"
                                                 << "7"
                                                 << "dominant-seventh";
        QTest::newRow("first of two mMaj7") << "MMAJ7"
                                            << "mMaj7"
                                            << "major-minor";
        QTest::newRow("name with a space") << "maj9(NO 3)"
                                           << "Maj9(no 3)"
                                           << "major-ninth";
    }

    void findComparesNamesWithoutCase()
    {
        QFETCH(QString, extension);
        QFETCH(QString, name);
        QFETCH(QString, kind);
        const ChordType* type = ChordDictionary::find(extension);
        QVERIFY(type);
        QCOMPARE(QString(type->name), name);
        QCOMPARE(QString(type->kind), kind);
    }

    void unknownExtensionsAreNotFound()
    {
        QVERIFY(!ChordDictionary::find(u"maj8"));
        QVERIFY(!ChordDictionary::find(u" m"));
        QVERIFY(!ChordDictionary::find(u"m7/"));
    }

    void toneMasks_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("mask");
        QTest::newRow("major") << "" << int(maskOf({0, 4, 7}));
        QTest::newRow("minor seventh") << "m7" << int(maskOf({0, 3, 7, 10}));
        QTest::newRow("diminished seventh") << "dim7" << int(maskOf({0, 3, 6, 9}));
        QTest::newRow("sus seventh") << "7sus" << int(maskOf({0, 5, 7, 10}));
        QTest::newRow("power") << "5" << int(maskOf({0, 7}));
        QTest::newRow("Tristan") << "Tristan" << int(maskOf({0, 6, 10, 2}));
        QTest::newRow("altered") << "7#5b9#11" << int(maskOf({0, 4, 8, 10, 1, 6}));
    }

    void toneMasks()
    {
        QFETCH(QString, name);
        QFETCH(int, mask);
        const ChordType* type = ChordDictionary::find(name);
        QVERIFY(type);
        QCOMPARE(int(type->toneMask), mask);
        QVERIFY(type->hasTone(12)); // the root, an octave up
    }

    // Every tone of every row is a readable note and no two tones share a pitch class.
    void everyToneCountsInTheMask()
    {
        for (const ChordType& type : ChordDictionary::rows()) {
            const int tones = QString(type.tones).split(QLatin1Char(' ')).size();
            QVERIFY2(std::popcount(type.toneMask) == tones, type.name.data());
            QVERIFY2(type.hasTone(0), type.name.data());
        }
    }

    void rowsOfEqualNameShareTheirIdentifier()
    {
        const auto rows = ChordDictionary::rows();
        QCOMPARE(rows.size(), std::size_t(166));
        for (const ChordType& a : rows) {
            QVERIFY(a.identifier > 0);
            for (const ChordType& b : rows)
                QCOMPARE(a.identifier == b.identifier, a.name == b.name);
        }
    }

    // Only major, sixth, minor and seventh rows bend a pattern written over C major seventh.
    void voicingShifts()
    {
        const VoicingShift none{};
        const VoicingShift major{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
        const VoicingShift sixth{0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 1};
        const VoicingShift minor{0, 0, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1};
        const VoicingShift seventh{0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, -1};
        int sevenths = 0;
        for (const ChordType& type : ChordDictionary::rows()) {
            const QString name(type.name);
            VoicingShift expected = none;
            if (name.isEmpty() || name == QLatin1String("Maj"))
                expected = major;
            else if (name == QLatin1String("6"))
                expected = sixth;
            else if (name == QLatin1String("m"))
                expected = minor;
            else if (name == QLatin1String("7"))
                expected = seventh, ++sevenths;
            QVERIFY2(type.voicingShift == expected, qPrintable(name));
        }
        QCOMPARE(sevenths, 3);
    }
};

QTEST_GUILESS_MAIN(TestChordDictionary)
#include "tst_chord_dictionary.moc"
