#include "chord_maker.h"
#include "lane_events.h"
#include "melody_builder.h"
#include "song_state.h"

#include <QTest>

enum { C4 = 60, D4 = 62, E4 = 64, F4 = 65, G4 = 67, A4 = 69, B4 = 71 };

// Make Chords over whole melodies: which chords land where, and what stays.
class TestChordMaker : public QObject
{
    Q_OBJECT

    static constexpr uint32_t kBar = MelodyBuilder::kBar;

    static QStringList chords(const MidiSequence& t)
    {
        QStringList out;
        for (const MidiEvent* e = t.first(); e; e = e->next())
            if (laneKind(e) == ChordLane)
                out << QStringLiteral("%1:%2%3").arg(e->time / 960).arg(laneText(e),
                                                                         isFixedChord(e) ? "!" : "");
        return out;
    }
    static int countOf(const MidiSequence& t, int kind)
    {
        int n = 0;
        for (const MidiEvent* e = t.first(); e; e = e->next())
            n += laneKind(e) == kind;
        return n;
    }

private Q_SLOTS:
    void oneChordPerBarInTheSuggestedKey()
    {
        MelodyBuilder m;
        m.quarters(0, {C4, E4, G4, E4})
            .quarters(kBar, {F4, A4, C4, A4})
            .quarters(2 * kBar, {G4, B4, D4, F4})
            .quarters(3 * kBar, {C4, E4, G4, C4});
        m.sequence.setLength(4 * kBar);
        SongState song;
        song.key = QStringLiteral("Dmaj"); // not fixed: replaced by the suggestion
        ChordMaker(song, m.sequence, kBar, ChordFinderKind::Classic).run();
        QCOMPARE(song.key, QStringLiteral("Cmaj"));
        QCOMPARE(song.suggestedKey, QStringLiteral("Cmaj"));
        QCOMPARE(chords(m.sequence), (QStringList{"0:C", "4:F", "8:G7", "12:C"}));
        // Bar 4 (holding the length) has no notes: no chord and no suggestions there.
        QCOMPARE(countOf(m.sequence, SuggestedChordsLane), 4);
        QVERIFY(laneText(findLaneEvent(m.sequence, 0, SuggestedChordsLane))
                    .startsWith(QStringLiteral("C = ")));
    }

    void aFlatKeysChordsAreSpelledWithFlats()
    {
        // The first test's melody a major third lower: A flat major.
        MelodyBuilder m;
        m.quarters(0, {C4 - 4, E4 - 4, G4 - 4, E4 - 4})
            .quarters(kBar, {F4 - 4, A4 - 4, C4 - 4, A4 - 4})
            .quarters(2 * kBar, {G4 - 4, B4 - 4, D4 - 4, F4 - 4})
            .quarters(3 * kBar, {C4 - 4, E4 - 4, G4 - 4, C4 - 4});
        m.sequence.setLength(4 * kBar);
        SongState song;
        ChordMaker(song, m.sequence, kBar, ChordFinderKind::Classic).run();
        QCOMPARE(song.key, QStringLiteral("Abmaj"));
        QCOMPARE(chords(m.sequence), (QStringList{"0:Ab", "4:Db", "8:Eb7", "12:Ab"}));
        QVERIFY(laneText(findLaneEvent(m.sequence, 0, SuggestedChordsLane))
                    .startsWith(QStringLiteral("Ab = ")));
    }

    void fixedChordsAndKeysStayAndLeadTheNextBar()
    {
        MelodyBuilder m;
        m.wholeNotes({A4, C4});
        m.sequence.setLength(2 * kBar - 1);
        setLaneEvent(m.sequence, 0, ChordLane, QStringLiteral("Dm"), true); // fixed
        setLaneEvent(m.sequence, 960, ChordLane, QStringLiteral("E7"), true); // fixed, mid-bar
        setLaneEvent(m.sequence, 1920, ChordLane, QStringLiteral("G")); // found earlier
        setLaneEvent(m.sequence, 2880, SuggestedChordsLane, QStringLiteral("old"));
        SongState song;
        song.key = QStringLiteral("Cmaj");
        song.keyFixed = true;
        ChordMaker(song, m.sequence, kBar, ChordFinderKind::Classic).run();
        QCOMPARE(song.key, QStringLiteral("Cmaj"));
        // A whole C after Dm: Dm gives G7 its bonus, not C; C's tie goes to the first of
        // C, F, Am, F#dim, Caug in candidate order.
        QCOMPARE(chords(m.sequence), (QStringList{"0:Dm!", "1:E7!", "4:C"}));
        QCOMPARE(countOf(m.sequence, SuggestedChordsLane), 2);
        QVERIFY(!findLaneEvent(m.sequence, 2880, SuggestedChordsLane));
    }

    void aFixedChordIsWhatTheNextBarFollows()
    {
        MelodyBuilder m;
        m.wholeNotes({A4, C4});
        m.sequence.setLength(2 * kBar - 1);
        SongState song;
        ChordMaker(song, m.sequence, kBar, ChordFinderKind::Classic).run();
        // Found alone, bar 0 is F and F leads C (+4) in bar 1.
        QCOMPARE(chords(m.sequence), (QStringList{"0:F", "4:C"}));
        setLaneEvent(m.sequence, 0, ChordLane, QStringLiteral("C"), true);
        ChordMaker(song, m.sequence, kBar, ChordFinderKind::Classic).run();
        // After the fixed C, F (+2) takes bar 1 instead.
        QCOMPARE(chords(m.sequence), (QStringList{"0:C!", "4:F"}));
    }

    void odeToJoyGetsItsChords()
    {
        // The theme in C major: quarter notes, each phrase ending dotted quarter, eighth, half.
        MelodyBuilder m;
        const int phrase[] = {E4, E4, F4, G4, G4, F4, E4, D4, C4, C4, D4, E4};
        for (int half = 0; half < 2; ++half) {
            const uint32_t start = uint32_t(half) * 4 * kBar;
            uint32_t t = start;
            for (int key : phrase) {
                m.note(t, key, 960);
                t += 960;
            }
            const int last[3] = {half ? D4 : E4, half ? C4 : D4, half ? C4 : D4};
            m.note(t, last[0], 1440).note(t + 1440, last[1], 480).note(t + 1920, last[2], 1920);
        }
        m.sequence.setLength(8 * kBar - 1);
        SongState song;
        ChordMaker(song, m.sequence, kBar, ChordFinderKind::Classic).run();
        QCOMPARE(song.key, QStringLiteral("Cmaj"));
        // Bar 3 (a long E, then D) scores E7, which holds both notes, above G7 even with G7's
        // bonus after C; bar 7 (D, then C) gives G7 with that bonus.
        QCOMPARE(chords(m.sequence),
                 (QStringList{"0:C", "4:G7", "8:C", "12:E7", "16:C", "20:G7", "24:C", "28:G7"}));
        // Every suggestion line names a candidate with a positive fit, the chosen one among them.
        const QString bar1 = laneText(findLaneEvent(m.sequence, kBar, SuggestedChordsLane));
        QVERIFY(bar1.contains(QStringLiteral("G7 = ")));
        for (const QString& line : bar1.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            QVERIFY2(line.section(QStringLiteral(" = "), 1).toDouble() > 0, qPrintable(line));
    }

    void chordsFollowTheKeyInEffect()
    {
        MelodyBuilder m;
        m.wholeNotes({F4, A4, C4, F4});
        m.sequence.setLength(4 * kBar - 1);
        SongState song;
        ChordMaker(song, m.sequence, kBar, ChordFinderKind::Classic).run();
        QCOMPARE(song.key, QStringLiteral("Fmaj"));
        // Found in C major after moving the melody down a fourth, named back in F.
        QCOMPARE(chords(m.sequence), (QStringList{"0:F", "4:F", "8:C7", "12:F"}));
    }

    void anEmptyMelodyClearsTheFoundChords()
    {
        MidiSequence melody;
        setLaneEvent(melody, 0, ChordLane, QStringLiteral("C"));
        setLaneEvent(melody, 0, SuggestedChordsLane, QStringLiteral("C = 1.0\n"));
        SongState song;
        ChordMaker(song, melody, kBar, ChordFinderKind::Classic).run();
        QCOMPARE(melody.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestChordMaker)
#include "tst_chord_maker.moc"
