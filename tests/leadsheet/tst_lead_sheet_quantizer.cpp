#include "harmony_kind.h"
#include "key_spelling.h"
#include "lead_sheet_quantizer.h"
#include "lead_sheet_songs.h"
#include "note_values.h"

#include "chord_dictionary.h"

#include <QRandomGenerator>
#include <QTest>

using namespace leadsheet_test;

namespace {

QString pieces(const std::vector<NoteValues::Piece>& list)
{
    static const char* const names[] = {"w", "h", "q", "8", "16", "32", "64"};
    QStringList out;
    for (const NoteValues::Piece& p : list)
        out << QString::fromLatin1(names[p.type]) + QString(p.dots, QLatin1Char('.')) +
                   (p.isTriplet ? QStringLiteral("t") : QString());
    return out.join(QLatin1Char(' '));
}

// The written value of an item in divisions of a quarter (12).
int valueOf(const LeadSheetItem& item)
{
    int value = 48 >> item.type;
    if (item.dots)
        value += value / 2;
    return item.isTriplet ? value * 2 / 3 : value;
}

} // namespace

/** The quantizer's measures, note values and spellings, by hand-made tables and at random. */
class TestLeadSheetQuantizer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void noteValuesSplitIntoReadableValues_data()
    {
        QTest::addColumn<int>("beats");
        QTest::addColumn<int>("unit");
        QTest::addColumn<bool>("triplets");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("expected");
        // 4/4, 12 divisions per quarter.
        QTest::newRow("whole bar") << 4 << 2 << false << 0 << 48 << "w";
        QTest::newRow("beat 2 to the end") << 4 << 2 << false << 12 << 48 << "h.";
        QTest::newRow("dotted quarter on a beat") << 4 << 2 << false << 12 << 30 << "q.";
        QTest::newRow("off-beat quarter is tied eighths") << 4 << 2 << false << 6 << 18 << "8 8";
        QTest::newRow("dotted eighth ending the beat") << 4 << 2 << false << 3 << 12 << "8.";
        QTest::newRow("five sixteenths") << 4 << 2 << false << 0 << 15 << "q 16";
        QTest::newRow("syncopated half") << 4 << 2 << false << 6 << 30 << "8 q.";
        // 6/8: beats are dotted quarters.
        QTest::newRow("6/8 bar") << 6 << 3 << false << 0 << 36 << "h.";
        QTest::newRow("6/8 four eighths") << 6 << 3 << false << 0 << 24 << "q. 8";
        QTest::newRow("6/8 second and third eighth") << 6 << 3 << false << 6 << 18 << "q";
        // Triplet bars.
        QTest::newRow("whole beat in a triplet bar") << 4 << 2 << true << 0 << 12 << "q";
        QTest::newRow("triplet quarter ending the beat") << 4 << 2 << true << 4 << 12 << "qt";
        QTest::newRow("triplets around a beat") << 4 << 2 << true << 8 << 28 << "8t q 8t";
        QTest::newRow("triplet beat and a half") << 4 << 2 << true << 12 << 32 << "q qt";
    }

    void noteValuesSplitIntoReadableValues()
    {
        QFETCH(int, beats);
        QFETCH(int, unit);
        QFETCH(bool, triplets);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, expected);
        const NoteValues values(12, NoteValues::beatOf(beats, unit, 12), triplets);
        QCOMPARE(pieces(values.split(from, to)), expected);
    }

    void keySpellingFollowsTheKey_data()
    {
        QTest::addColumn<int>("signature");
        QTest::addColumn<bool>("minor");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("step");
        QTest::addColumn<int>("alter");
        QTest::addColumn<int>("octave");
        QTest::newRow("C major C#") << 0 << false << 61 << "C" << 1 << 4;
        QTest::newRow("C major Eb") << 0 << false << 63 << "E" << -1 << 4;
        QTest::newRow("C major Bb") << 0 << false << 70 << "B" << -1 << 4;
        QTest::newRow("A minor G#") << 0 << true << 68 << "G" << 1 << 4;
        QTest::newRow("F major Db") << -1 << false << 61 << "D" << -1 << 4;
        QTest::newRow("D minor C#") << -1 << true << 61 << "C" << 1 << 4;
        QTest::newRow("E major D#") << 4 << false << 63 << "D" << 1 << 4;
        QTest::newRow("F# major E#") << 6 << false << 65 << "E" << 1 << 4;
        QTest::newRow("Gb major Cb") << -6 << false << 71 << "C" << -1 << 5;
        QTest::newRow("C# major B#") << 7 << false << 72 << "B" << 1 << 4;
    }

    void keySpellingFollowsTheKey()
    {
        QFETCH(int, signature);
        QFETCH(bool, minor);
        QFETCH(int, key);
        QFETCH(QString, step);
        const KeySpelling::Pitch pitch = KeySpelling(signature, minor).pitchOf(key);
        QCOMPARE(QString(QLatin1Char(pitch.step)), step);
        QTEST(pitch.alter, "alter");
        QTEST(pitch.octave, "octave");
    }

    void everyDictionaryRowHasAHarmonyKind()
    {
        for (const ChordType& row : ChordDictionary::rows()) {
            const HarmonyKind harmony = HarmonyKind::of(row);
            QVERIFY2(HarmonyKind::isKnownKind(harmony.kind) && harmony.kind != "other",
                     qPrintable(QString(row.name)));
            // Every degree word of the dictionary is read.
            const qsizetype words =
                QString(row.degrees).split(QLatin1Char(' '), Qt::SkipEmptyParts).size();
            QVERIFY2(qsizetype(harmony.degrees.size()) >= words, qPrintable(QString(row.name)));
        }
        const HarmonyKind minorSharpFive = HarmonyKind::of(*ChordDictionary::find(u"m#5"));
        QCOMPARE(minorSharpFive.kind, QStringLiteral("minor"));
        QCOMPARE(minorSharpFive.degrees.size(), size_t(1));
        QCOMPARE(minorSharpFive.degrees[0].type, QStringLiteral("alter"));
        QCOMPARE(minorSharpFive.degrees[0].alter, 1);
        QCOMPARE(HarmonyKind::of(*ChordDictionary::find(u"69")).kind,
                 QStringLiteral("major-sixth"));
        QCOMPARE(HarmonyKind::of(*ChordDictionary::find(u"mMaj7")).kind,
                 QStringLiteral("major-minor"));
        QCOMPARE(HarmonyKind::of(*ChordDictionary::find(u"7")).kind, QStringLiteral("dominant"));
        const HarmonyKind augmentedNinth = HarmonyKind::of(*ChordDictionary::find(u"9+"));
        QCOMPARE(augmentedNinth.kind, QStringLiteral("augmented-seventh"));
        QCOMPARE(augmentedNinth.degrees.size(), size_t(1));
        QCOMPARE(augmentedNinth.degrees[0].value, 9);
    }

    void randomSongsFillEveryMeasureExactly()
    {
        QRandomGenerator random(34);
        const int meters[][2] = {{4, 2}, {3, 2}, {6, 3}, {2, 1}, {5, 3}, {7, 4}};
        for (int round = 0; round < 200; ++round) {
            const auto& meter = meters[random.bounded(int(std::size(meters)))];
            LeadSheetSong s = song({}, meter[0], meter[1]);
            if (random.bounded(3) == 0) // a meter change somewhere
                s.meters.push_back({ticks(4 * (1 + random.bounded(4))), 3, 2, 90.0});
            double at = random.bounded(8.0);
            for (int n = random.bounded(40); n > 0; --n) {
                const double length = random.bounded(3.0);
                s.notes.push_back({ticks(at), ticks(at + length), 40 + random.bounded(50)});
                at += random.bounded(2.5); // overlapping, touching and apart
                if (random.bounded(4) == 0)
                    chord(s, random.bounded(at), "Am7");
            }
            checkMeasures(LeadSheetQuantizer::quantize(s), round);
        }
    }

    void unreasonableSongsStayBounded()
    {
        // A meter of one 64th and a note near the end of time: the measures stop at the limit.
        LeadSheetSong s = song({{0, 1, 60}}, 1, 6);
        s.notes.push_back({UINT32_MAX - 10, UINT32_MAX, 61});
        const LeadSheet sheet = LeadSheetQuantizer::quantize(s);
        QVERIFY(sheet.isCut);
        QCOMPARE(int(sheet.measures.size()), LeadSheet::kMaxMeasures);
        // No notes at all: one empty measure.
        const LeadSheet empty = LeadSheetQuantizer::quantize(song({}));
        QCOMPARE(empty.measures.size(), size_t(1));
        QVERIFY(empty.measures[0].items[0].isMeasureRest);
    }

private:
    void checkMeasures(const LeadSheet& sheet, int round)
    {
        const QByteArray where = QByteArray::number(round);
        int openTie = -1; // key of a note tied into the next item
        for (const LeadSheetMeasure& m : sheet.measures) {
            int at = m.firstPosition;
            for (const LeadSheetItem& item : m.items) {
                QVERIFY2(item.position == at, where);
                if (!item.isMeasureRest)
                    QVERIFY2(valueOf(item) == item.duration, where);
                QVERIFY2(item.tieFromPrevious == (openTie >= 0), where);
                if (openTie >= 0)
                    QVERIFY2(item.key == openTie && !item.isRest, where);
                openTie = item.tieToNext ? item.key : -1;
                at += item.duration;
            }
            QVERIFY2(at == m.length, where);
        }
        QVERIFY2(openTie < 0, where);
    }
};

QTEST_GUILESS_MAIN(TestLeadSheetQuantizer)
#include "tst_lead_sheet_quantizer.moc"
