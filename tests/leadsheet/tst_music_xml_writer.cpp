#include "file_size_limit.h"
#include "lead_sheet_quantizer.h"
#include "lead_sheet_songs.h"
#include "music_xml_model.h"
#include "music_xml_writer.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace leadsheet_test;

namespace {

XmlScore exported(const LeadSheetSong& s)
{
    return XmlScore::read(MusicXmlWriter::toXml(LeadSheetQuantizer::quantize(s)));
}

QStringList types(const XmlMeasure& m)
{
    QStringList list;
    for (const XmlNote& n : m.notes)
        list << (n.isRest ? QStringLiteral("r") : QString()) + n.type +
                    QString(n.dots, QLatin1Char('.'));
    return list;
}

QList<int> durations(const XmlMeasure& m)
{
    QList<int> list;
    for (const XmlNote& n : m.notes)
        list << n.duration;
    return list;
}

QString spelled(const XmlNote& n)
{
    return n.step +
           (n.alter < 0 ? QString(-n.alter, QLatin1Char('b')) : QString(n.alter, QLatin1Char('#')));
}

} // namespace

/** Lead sheets of small songs come out as the MusicXML elements a notation program expects. */
class TestMusicXmlWriter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void headerNamesTheScoreAndLeavesTheComposerEmpty()
    {
        LeadSheetSong s = song({{0, 4, 60}});
        s.title = QStringLiteral("ode-to-joy");
        const QByteArray bytes = MusicXmlWriter::toXml(LeadSheetQuantizer::quantize(s));
        const XmlScore score = XmlScore::read(bytes);
        QVERIFY2(score.error.isEmpty(), qPrintable(score.error));
        QCOMPARE(score.version, QStringLiteral("4.0"));
        QCOMPARE(score.title, QStringLiteral("ode-to-joy"));
        QVERIFY(score.hasComposer);
        QCOMPARE(score.composer, QString());
        QCOMPARE(score.divisions, 12);
        QCOMPARE(score.fifths, 0);
        QCOMPARE(score.mode, QStringLiteral("major"));
        QCOMPARE(score.clefSign, QStringLiteral("G"));
        QCOMPARE(score.measures.size(), 1);
        QVERIFY(score.measures[0].hasFinalBarline);
        QCOMPARE(score.measures[0].perMinute, 120.0);
        // The partwise document type, so programs that check it take the file.
        QXmlStreamReader xml(bytes);
        while (!xml.atEnd() && xml.readNext() != QXmlStreamReader::DTD) {
        }
        QVERIFY(xml.text().contains(QLatin1String("MusicXML 4.0 Partwise")));
    }

    void dottedRhythmIsWrittenWithDots()
    {
        // Sung a little late and released early: still a dotted quarter, an eighth, a half.
        LeadSheetSong s = song({{0.03, 1.4, 60}, {1.52, 0.42, 62}, {2.0, 1.9, 64}});
        const XmlScore score = exported(s);
        QCOMPARE(score.measures.size(), 1);
        QCOMPARE(types(score.measures[0]), (QStringList{"quarter.", "eighth", "half"}));
        QCOMPARE(durations(score.measures[0]), (QList<int>{18, 6, 24}));
        QCOMPARE(score.measures[0].notes[1].key(), 62);
    }

    void noteAcrossTheBarLineIsTied()
    {
        const XmlScore score = exported(song({{0, 3, 60}, {3, 2, 62}, {5, 3, 64}}));
        QCOMPARE(score.measures.size(), 2);
        const XmlMeasure& one = score.measures[0];
        const XmlMeasure& two = score.measures[1];
        QCOMPARE(types(one), (QStringList{"half.", "quarter"}));
        QVERIFY(one.notes[1].tieStart && !one.notes[1].tieStop);
        QCOMPARE(types(two), (QStringList{"quarter", "half."}));
        QVERIFY(two.notes[0].tieStop && !two.notes[0].tieStart);
        QCOMPARE(two.notes[0].key(), 62);
        QVERIFY(!two.notes[1].tieStart && !two.notes[1].tieStop);
    }

    void firstBarWithLeadingSilenceIsAPickup()
    {
        const XmlScore score = exported(song({{2, 1, 67}, {3, 3, 72}, {6, 3, 71}}, 3));
        QCOMPARE(score.measures.size(), 3);
        const XmlMeasure& pickup = score.measures[0];
        QCOMPARE(pickup.number, QStringLiteral("0"));
        QVERIFY(pickup.isImplicit);
        QCOMPARE(pickup.beats, 3);
        QCOMPARE(types(pickup), (QStringList{"quarter"}));
        QCOMPARE(pickup.notes[0].key(), 67);
        QCOMPARE(score.measures[1].number, QStringLiteral("1"));
        QVERIFY(!score.measures[1].isImplicit);
        QCOMPARE(types(score.measures[1]), (QStringList{"half."}));

        // The first bar's chord and section, at its start, move to the pickup note.
        LeadSheetSong withChord = song({{2, 1, 67}, {3, 3, 72}}, 3);
        chord(withChord, 0, "C");
        withChord.sections.push_back({0, QStringLiteral("Main A")});
        const XmlScore marked = exported(withChord);
        QVERIFY(marked.measures[0].isImplicit);
        QCOMPARE(marked.measures[0].harmonies.size(), 1);
        QCOMPARE(marked.measures[0].harmonies[0].rootStep, QStringLiteral("C"));
        QCOMPARE(marked.measures[0].harmonies[0].position, 0);
        QCOMPARE(marked.measures[0].rehearsals, QStringList{"Main A"});

        // Less than a beat of silence is a rest in a full bar.
        const XmlScore late = exported(song({{0.5, 3.5, 67}}));
        QVERIFY(!late.measures[0].isImplicit);
        QCOMPARE(late.measures[0].number, QStringLiteral("1"));
        QCOMPARE(types(late.measures[0]).first(), QStringLiteral("reighth"));
    }

    void tripletBeatGetsABracket()
    {
        const double third = 1.0 / 3;
        const XmlScore score =
            exported(song({{0.02, third, 60},
                           {third - 0.03, third, 62},
                           {2 * third + 0.02, third, 64},
                           {1, 3, 65},
                           // The next bar is straight: two sixteenths, an eighth, a dotted half.
                           {4, 0.25, 67},
                           {4.25, 0.25, 65},
                           {4.5, 0.5, 64},
                           {5, 3, 62}}));
        QCOMPARE(score.measures.size(), 2);
        const XmlMeasure& one = score.measures[0];
        QCOMPARE(types(one), (QStringList{"eighth", "eighth", "eighth", "half."}));
        QCOMPARE(durations(one), (QList<int>{4, 4, 4, 36}));
        QVERIFY(one.notes[0].isTriplet && one.notes[1].isTriplet && one.notes[2].isTriplet);
        QVERIFY(one.notes[0].tupletStart && !one.notes[0].tupletStop);
        QVERIFY(one.notes[2].tupletStop && !one.notes[2].tupletStart);
        QVERIFY(!one.notes[3].isTriplet);
        const XmlMeasure& two = score.measures[1];
        QCOMPARE(types(two), (QStringList{"16th", "16th", "eighth", "half."}));
        for (const XmlNote& n : two.notes)
            QVERIFY(!n.isTriplet);
    }

    void breathsBetweenNotesAreNoRests()
    {
        // Repeated notes sung with a short gap: quarters, not dotted eighths and sixteenth rests.
        const XmlScore score = exported(song({{0, 0.7, 66}, {1, 0.72, 66}, {2, 1.9, 67}}));
        QCOMPARE(types(score.measures[0]), (QStringList{"quarter", "quarter", "half"}));
        // A longer silence stays a rest.
        const XmlScore apart = exported(song({{0, 0.5, 66}, {1, 3, 66}}));
        QCOMPARE(types(apart.measures[0]), (QStringList{"eighth", "reighth", "half."}));
    }

    void nearlyStraightTimingStaysStraight()
    {
        // A dotted quarter sung a little short lies almost as near a triplet: it stays dotted.
        const XmlScore score = exported(song({{0, 1.39, 72}, {1.43, 0.57, 71}, {2, 1, 69}}, 3));
        QCOMPARE(types(score.measures[0]), (QStringList{"quarter.", "eighth", "quarter"}));
    }

    void barWithoutNotesIsOneMeasureRest()
    {
        const XmlScore score = exported(song({{0, 4, 60}, {8, 4, 62}}));
        QCOMPARE(score.measures.size(), 3);
        const XmlMeasure& empty = score.measures[1];
        QCOMPARE(empty.notes.size(), 1);
        QVERIFY(empty.notes[0].isRest && empty.notes[0].isMeasureRest);
        QCOMPARE(empty.notes[0].duration, 48);
        QCOMPARE(empty.notes[0].type, QString()); // a whole-bar rest has no note value
    }

    void sixEightCountsDottedQuarters()
    {
        LeadSheetSong s = song({{0, 1.5, 60}, {1.5, 1, 62}, {2.5, 0.5, 64}, {3, 3, 65}}, 6, 3);
        s.meters[0].quartersPerMinute = 90; // 60 dotted quarters
        const XmlScore score = exported(s);
        QCOMPARE(score.measures.size(), 2);
        const XmlMeasure& one = score.measures[0];
        QCOMPARE(one.beats, 6);
        QCOMPARE(one.beatType, 8);
        QCOMPARE(types(one), (QStringList{"quarter.", "quarter", "eighth"}));
        QCOMPARE(types(score.measures[1]), (QStringList{"half."}));
        QCOMPARE(one.beatUnit, QStringLiteral("quarter"));
        QVERIFY(one.beatUnitDot);
        QCOMPARE(one.perMinute, 60.0);
        QCOMPARE(one.soundTempo, 90.0);
        // No triplets in compound time: eighths stay eighths.
        for (const XmlNote& n : one.notes)
            QVERIFY(!n.isTriplet);
    }

    void flatKeySpellsNotesAndChordsWithFlats()
    {
        // E flat major: the song's chord names use sharps, the sheet the key's flats.
        LeadSheetSong s = song({{0, 1, 63}, {1, 1, 68}, {2, 1, 70}, {3, 1, 61}}, 4, 2, -3);
        chord(s, 0, "D#m7");
        chord(s, 2, "G#");
        const XmlScore score = exported(s);
        QCOMPARE(score.fifths, -3);
        QCOMPARE(score.mode, QStringLiteral("major"));
        QStringList names;
        for (const XmlNote& n : score.measures[0].notes)
            names << spelled(n);
        QCOMPARE(names, (QStringList{"Eb", "Ab", "Bb", "Db"}));
        QCOMPARE(score.measures[0].notes[0].octave, 4);
        const QList<XmlHarmony>& h = score.measures[0].harmonies;
        QCOMPARE(h.size(), 2);
        QCOMPARE(h[0].rootStep, QStringLiteral("E"));
        QCOMPARE(h[0].rootAlter, -1);
        QCOMPARE(h[0].kind, QStringLiteral("minor-seventh"));
        QCOMPARE(h[0].kindText, QStringLiteral("m7"));
        QCOMPARE(h[1].rootStep, QStringLiteral("A"));
        QCOMPARE(h[1].rootAlter, -1);
        QCOMPARE(h[1].kind, QStringLiteral("major"));
        QCOMPARE(h[1].position, 24);

        const XmlScore minor = exported(song({{0, 4, 61}}, 4, 2, -1, true));
        QCOMPARE(minor.mode, QStringLiteral("minor"));
        QCOMPARE(spelled(minor.measures[0].notes[0]),
                 QStringLiteral("C#")); // D minor's leading tone
    }

    void slashChordsAndNoChords()
    {
        LeadSheetSong s = song({{0, 16, 72}});
        chord(s, 0, "C/E");
        chord(s, 2, "F#m7/C#");
        chord(s, 4, "Drums");
        chord(s, 8, "Empty");
        chord(s, 12, "G7b9");
        chord(s, 14, "Hm"); // no chord name: left out
        const XmlScore score = exported(s);
        QCOMPARE(score.measures.size(), 4);
        const XmlHarmony& slash = score.measures[0].harmonies.at(0);
        QCOMPARE(slash.rootStep, QStringLiteral("C"));
        QCOMPARE(slash.kind, QStringLiteral("major"));
        QCOMPARE(slash.bassStep, QStringLiteral("E"));
        QCOMPARE(slash.bassAlter, 0);
        const XmlHarmony& minorSlash = score.measures[0].harmonies.at(1);
        QCOMPARE(minorSlash.position, 24); // inside the tied whole note: an offset
        QCOMPARE(minorSlash.rootStep + QString::number(minorSlash.rootAlter), QStringLiteral("F1"));
        QCOMPARE(minorSlash.bassStep + QString::number(minorSlash.bassAlter), QStringLiteral("C1"));
        for (int bar : {1, 2}) {
            QCOMPARE(score.measures[bar].harmonies.size(), 1);
            QCOMPARE(score.measures[bar].harmonies[0].kind, QStringLiteral("none"));
            QCOMPARE(score.measures[bar].harmonies[0].kindText, QStringLiteral("N.C."));
        }
        QCOMPARE(score.measures[3].harmonies.size(), 1);
        const XmlHarmony& altered = score.measures[3].harmonies[0];
        QCOMPARE(altered.kind, QStringLiteral("dominant"));
        QCOMPARE(altered.degrees, QStringList{"add-1 9"});
    }

    void clefFollowsTheRangeOfTheVoice()
    {
        QCOMPARE(exported(song({{0, 2, 48}, {2, 2, 62}})).clefOctaveChange, -1);
        QCOMPARE(exported(song({{0, 2, 55}, {2, 2, 67}})).clefOctaveChange, 0);
        // The low voice's notes keep their pitch: the clef carries the octave.
        QCOMPARE(exported(song({{0, 4, 48}})).measures[0].notes[0].key(), 48);
    }

    void melodyIsOneVoice()
    {
        // Two notes start together (the higher stays); a held note ends where the next begins.
        const XmlScore score = exported(song({{0, 2, 60}, {0, 1, 67}, {1, 2, 64}}));
        const XmlMeasure& m = score.measures[0];
        QCOMPARE(types(m), (QStringList{"quarter", "half", "rquarter"}));
        QCOMPARE(m.notes[0].key(), 67);
        QCOMPARE(m.notes[1].key(), 64);
    }

    void meterTempoAndSectionChanges()
    {
        LeadSheetSong s = song({{0, 4, 60}, {4, 4, 62}, {8, 3, 64}, {11, 3, 65}});
        s.meters.push_back({ticks(8), 3, 2, 100.0});
        s.sections.push_back({0, QStringLiteral("Intro A")});
        s.sections.push_back({ticks(4), QStringLiteral("Main A")});
        s.sections.push_back({ticks(11), QStringLiteral("Ending A")});
        const XmlScore score = exported(s);
        QCOMPARE(score.measures.size(), 4);
        QCOMPARE(score.measures[0].beats, 4);
        QCOMPARE(score.measures[0].rehearsals, QStringList{"Intro A"});
        QCOMPARE(score.measures[1].beats, 0); // unchanged meter: no time signature
        QCOMPARE(score.measures[1].rehearsals, QStringList{"Main A"});
        QCOMPARE(score.measures[2].beats, 3);
        QCOMPARE(score.measures[2].beatType, 4);
        QCOMPARE(score.measures[2].soundTempo, 100.0);
        QCOMPARE(score.measures[2].length(), 36);
        QCOMPARE(score.measures[3].rehearsals, QStringList{"Ending A"});
        QVERIFY(score.measures[3].hasFinalBarline && !score.measures[2].hasFinalBarline);
    }

    void writesUncompressedAndCompressedFiles()
    {
        QTemporaryDir dir;
        const LeadSheet sheet = LeadSheetQuantizer::quantize(song({{0, 4, 60}}));
        QString error;
        const QString plain = dir.filePath(QStringLiteral("a.musicxml"));
        QVERIFY2(MusicXmlWriter::writeFile(sheet, plain, error), qPrintable(error));
        QFile file(plain);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(XmlScore::read(file.readAll()).measures.size(), 1);
        const QString packed = dir.filePath(QStringLiteral("a.mxl"));
        QVERIFY2(MusicXmlWriter::writeFile(sheet, packed, error), qPrintable(error));
        QFile zip(packed);
        QVERIFY(zip.open(QIODevice::ReadOnly));
        QVERIFY(zip.read(4) == QByteArray("PK\x03\x04", 4));

        QVERIFY(!MusicXmlWriter::writeFile(sheet, dir.filePath(QStringLiteral("a.pdf")), error));
        QVERIFY(error.contains(QLatin1String(".musicxml")));
        QVERIFY(!MusicXmlWriter::writeFile(sheet, dir.filePath(QStringLiteral("no/such/a.mxl")),
                                           error));
        QVERIFY(error.contains(QLatin1String("Cannot write the lead sheet")));

        // A disk that fills while the file is written keeps the file that was there.
        QFile before(plain);
        QVERIFY(before.open(QIODevice::ReadOnly));
        const QByteArray kept = before.readAll();
        before.close();
        {
            FileSizeLimit full(rlim_t(kept.size() / 2));
            QVERIFY(full.isActive());
            QVERIFY(!MusicXmlWriter::writeFile(sheet, plain, error));
        }
        QVERIFY(error.contains(QLatin1String("Cannot write the lead sheet")));
        QVERIFY(before.open(QIODevice::ReadOnly));
        QCOMPARE(before.readAll(), kept);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestMusicXmlWriter)
#include "tst_music_xml_writer.moc"
