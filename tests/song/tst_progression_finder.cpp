#include "chord_finder_setting.h"
#include "chord_maker.h"
#include "lane_events.h"
#include "melody_builder.h"
#include "song_state.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

enum
{
    C4 = 60,
    D4 = 62,
    E4 = 64,
    F4 = 65,
    G4 = 67,
    Bb4 = 70,
    A4 = 69,
    B4 = 71,
    C5 = 72,
    D5 = 74,
    E5 = 76
};

// The progression finder through Make Chords: the rules a musician's chords follow.
class TestProgressionFinder : public QObject
{
    Q_OBJECT

    static constexpr uint32_t kBar = MelodyBuilder::kBar;
    static constexpr uint32_t kHalf = kBar / 2;

    // "bar:chord" per chord of the lane, with ".5" for one starting in the middle of a bar and
    // "!" for a fixed one.
    static QStringList chords(const MidiSequence& t, uint32_t bar = kBar)
    {
        QStringList out;
        for (const MidiEvent* e = t.first(); e; e = e->next())
            if (laneKind(e) == ChordLane)
                out << QStringLiteral("%1%2:%3%4")
                           .arg(e->time / bar)
                           .arg(e->time % bar == bar / 2 ? ".5" : "")
                           .arg(laneText(e), isFixedChord(e) ? "!" : "");
        return out;
    }

    static QStringList make(MelodyBuilder& m, const char* key, uint32_t bars,
                            ChordEvidence::Meter meter = {4, 2}, uint32_t bar = kBar)
    {
        m.sequence.setLength(bars * bar);
        SongState song;
        if (key) {
            song.key = QString::fromLatin1(key);
            song.keyFixed = true;
        }
        ChordMaker(song, m.sequence, bar, ChordFinderKind::Progression, meter).run();
        return chords(m.sequence, bar);
    }

private Q_SLOTS:
    void relativeMinorTrap()
    {
        // A tune in G: its first three bars outline G, the fourth A minor. The classic finder
        // reads such bars through the relative minor's lists when the key comes out as E minor;
        // here the tonic triad and ii are what a musician plays, and the melody closes on G.
        MelodyBuilder m;
        m.quarters(0, {G4, B4, D5, B4})
            .quarters(kBar, {B4, G4, D4, G4})
            .quarters(2 * kBar, {D5, B4, G4, B4})
            .note(3 * kBar, A4, 2 * MelodyBuilder::kBeat)
            .note(3 * kBar + 2 * 960, C5, 960)
            .note(3 * kBar + 3 * 960, E5, 960)
            .quarters(4 * kBar, {D5, A4, F4 + 1, A4})
            .note(5 * kBar, G4, kBar);
        QCOMPARE(make(m, nullptr, 6), (QStringList{"0:G", "1:G", "2:G", "3:Am", "4:D", "5:G"}));
    }

    void plainTriadUnlessTheSeventhIsSung()
    {
        MelodyBuilder m;
        m.quarters(0, {C4, E4, G4, E4})
            .quarters(kBar, {G4, B4, D5, B4}) // no F: a plain G
            .quarters(2 * kBar, {C4, E4, G4, C5})
            .quarters(3 * kBar, {G4, B4, D5, F4}) // F sung: G7
            .note(4 * kBar, C4, kBar);
        QCOMPARE(make(m, "Cmaj", 5), (QStringList{"0:C", "1:G", "2:C", "3:G7", "4:C"}));
    }

    void theLastBarClosesOnTheTonic()
    {
        // The last note is G, the root of the dominant; the final cadence still ends on C,
        // after the dominant of the bar before.
        MelodyBuilder m;
        m.quarters(0, {C4, E4, G4, E4})
            .quarters(kBar, {F4, A4, C5, A4})
            .quarters(2 * kBar, {D5, B4, G4, B4})
            .note(3 * kBar, G4, kBar);
        QCOMPARE(make(m, "Cmaj", 4), (QStringList{"0:C", "1:F", "2:G", "3:C"}));
    }

    void aSecondChordInTheMiddleOfABar()
    {
        // Twinkle's "A A G -": F under the two As, C under the G.
        MelodyBuilder m;
        m.quarters(0, {C4, C4, G4, G4}).quarters(kBar, {A4, A4}).note(kBar + kHalf, G4, kHalf);
        m.quarters(2 * kBar, {F4, F4, E4, E4})
            .quarters(3 * kBar, {D4, D4})
            .note(3 * kBar + kHalf, C4, kHalf);
        QCOMPARE(make(m, "Cmaj", 4),
                 (QStringList{"0:C", "1:F", "1.5:C", "2:F", "2.5:C", "3:G", "3.5:C"}));
    }

    void aRepeatedPhraseGetsTheSameChords()
    {
        // Bars 0-1 come back as bars 4-5; bar 1's notes alone (E and G) fit C and Em alike.
        MelodyBuilder m;
        const auto phrase = [&m](uint32_t at) {
            m.quarters(at, {C4, E4, G4, C5}).quarters(at + kBar, {E4, G4, E4, G4});
        };
        phrase(0);
        m.quarters(2 * kBar, {F4, A4, C5, A4}).quarters(3 * kBar, {D4, G4, B4, D5});
        phrase(4 * kBar);
        m.quarters(6 * kBar, {D4, F4, B4, D5}).note(7 * kBar, C4, kBar);
        const QStringList found = make(m, "Cmaj", 8);
        const auto chordOf = [&found](const QString& bar) {
            for (const QString& c : found)
                if (c.section(':', 0, 0) == bar)
                    return c.section(':', 1);
            return QString();
        };
        QCOMPARE(chordOf("4"), chordOf("0"));
        QCOMPARE(chordOf("5"), chordOf("1"));
        QCOMPARE(chordOf("7"), QStringLiteral("C"));
    }

    void fixedChordsStayAndLeadTheNextBar()
    {
        // Bar 1 fixed to E7 (the scorer would hear C): it stays, and bar 2's C and E, which fit C
        // as well as A minor, resolve it to Am. A fixed chord in the middle of bar 3 stays too.
        MelodyBuilder m;
        m.quarters(0, {C4, E4, G4, E4})
            .quarters(kBar, {C4, E4, G4, E4})
            .quarters(2 * kBar, {C5, E4, C5, E4})
            .quarters(3 * kBar, {C4, E4, G4, E4})
            .note(4 * kBar, C4, kBar);
        setLaneEvent(m.sequence, kBar, ChordLane, QStringLiteral("E7"), true);
        setLaneEvent(m.sequence, 3 * kBar + kHalf, ChordLane, QStringLiteral("Dm"), true);
        const QStringList found = make(m, "Cmaj", 5);
        QVERIFY2(found.contains("1:E7!"), qPrintable(found.join(' ')));
        QVERIFY2(found.contains("2:Am"), qPrintable(found.join(' ')));
        QVERIFY2(found.contains("3.5:Dm!"), qPrintable(found.join(' ')));
        QVERIFY2(found.contains("4:C"), qPrintable(found.join(' ')));
    }

    void threeFourHasOneChordPerBarAndEmptyEnds()
    {
        // 3/4 at 960 per quarter: 2880-tick bars, no half bars. The empty bar after the melody
        // (holding its length) gets no chord.
        const uint32_t bar = 2880;
        MelodyBuilder m;
        m.quarters(0, {C4, E4, G4}).quarters(bar, {F4, A4, C5}).quarters(2 * bar, {G4, B4, D5});
        m.note(3 * bar, C5, bar);
        QCOMPARE(make(m, "Cmaj", 5, {3, 2}, bar), (QStringList{"0:C", "1:F", "2:G", "3:C"}));
    }

    void aTuneStoppingOnItsHalfCloseKeepsItsKey_data()
    {
        // Sung fragments that stop on the dominant: the first half of Twinkle (F major, its last
        // note G over C) and the first line of Amazing Grace (G major, 3/4, a pickup D, its last
        // note D). Counting notes, the last one makes them G minor and D major.
        QTest::addColumn<QList<int>>("notes"); // note, beats, ...; 0 is a rest
        QTest::addColumn<int>("beats");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        const QList<int> twinkle{F4,  1, F4,  1, C5,  1, C5,  1, D5, 1, D5, 1, C5, 2,
                                 Bb4, 1, Bb4, 1, A4,  1, A4,  1, G4, 1, G4, 1, F4, 2,
                                 C5,  1, C5,  1, Bb4, 1, Bb4, 1, A4, 1, A4, 1, G4, 2,
                                 C5,  1, C5,  1, Bb4, 1, Bb4, 1, A4, 1, A4, 1, G4, 2};
        QTest::newRow("Twinkle") << twinkle << 4 << "Fmaj"
                                 << "F"
                                 << "C";
        QTest::newRow("Amazing Grace")
            << QList<int>{0, 2,  D4, 1,  G4, 2,  B4, 0,  G4, 0,  B4, 2,  A4, 1,  G4, 2,  E4,
                          1, D4, 2,  D4, 1,  G4, 2,  B4, 0,  G4, 0,  B4, 2,  A4, 1,  D5, 3}
            << 3 << "Gmaj"
            << "G"
            << ""; // the held D is the fifth of G as well as D's root: either closes
    }

    void aTuneStoppingOnItsHalfCloseKeepsItsKey()
    {
        QFETCH(QList<int>, notes);
        QFETCH(int, beats);
        QFETCH(QString, key);
        QFETCH(QString, first);
        QFETCH(QString, last);
        // Lengths in beats; 0 stands for an eighth.
        MelodyBuilder m;
        uint32_t at = 0;
        for (qsizetype i = 0; i + 1 < notes.size(); i += 2) {
            const uint32_t length = notes[i + 1] == 0 ? 480 : uint32_t(notes[i + 1]) * 960;
            if (notes[i] != 0)
                m.note(at, notes[i], length);
            at += length;
        }
        const uint32_t bar = uint32_t(beats) * 960;
        m.sequence.setLength(at);
        SongState song;
        ChordMaker(song, m.sequence, bar, ChordFinderKind::Progression, {beats, 2}).run();
        QCOMPARE(song.key, key);
        const QStringList found = chords(m.sequence, bar);
        QVERIFY2(found.first().endsWith(":" + first), qPrintable(found.join(' ')));
        QVERIFY2(found.last().endsWith(":" + last) || last.isEmpty(), qPrintable(found.join(' ')));
    }

    void theSettingReadsAndWritesItsText()
    {
        QCOMPARE(ChordFinderSetting::fromText(QStringLiteral("Classic")), ChordFinderKind::Classic);
        QCOMPARE(ChordFinderSetting::fromText(QStringLiteral("progression")),
                 ChordFinderKind::Progression);
        QVERIFY(!ChordFinderSetting::fromText(QStringLiteral("jazz")));
        QTemporaryDir dir;
        QSettings store(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
        QCOMPARE(ChordFinderSetting::read(store), ChordFinderKind::Progression);
        ChordFinderSetting::write(store, ChordFinderKind::Classic);
        QCOMPARE(store.value(QStringLiteral("/chords/finder")).toString(),
                 QStringLiteral("classic"));
        QCOMPARE(ChordFinderSetting::read(store), ChordFinderKind::Classic);
        store.setValue(ChordFinderSetting::key(), QStringLiteral("garbage"));
        QCOMPARE(ChordFinderSetting::read(store), ChordFinderKind::Progression);
    }
};

QTEST_GUILESS_MAIN(TestProgressionFinder)
#include "tst_progression_finder.moc"
