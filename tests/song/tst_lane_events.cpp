#include "lane_events.h"
#include "melody_builder.h"

#include <QTest>

class TestLaneEvents : public QObject
{
    Q_OBJECT

    static QStringList dump(const MidiSequence& track)
    {
        QStringList out;
        for (const MidiEvent* e = track.first(); e; e = e->next())
            out << QStringLiteral("%1:%2:%3").arg(e->time).arg(laneKind(e)).arg(
                       e->isNote() ? QString::number(e->data1) : laneText(e));
        return out;
    }

private Q_SLOTS:
    void kindsComeFromMetaTypeAndPrefix_data()
    {
        QTest::addColumn<int>("metaType");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("fixed");
        QTest::newRow("fixed chord") << 1 << QByteArray("[Am") << 1 << "Am" << true;
        QTest::newRow("found chord") << 1 << QByteArray("{Am") << 1 << "Am" << false;
        QTest::newRow("suggestions") << 1 << QByteArray("(Am = 2.0\n") << 3 << "Am = 2.0\n"
                                     << false;
        QTest::newRow("plain text") << 1 << QByteArray("hello") << 0 << "" << false;
        QTest::newRow("empty text") << 1 << QByteArray() << 0 << "" << false;
        QTest::newRow("section") << 6 << QByteArray("Intro A") << 2 << "Intro A" << false;
        QTest::newRow("lyric") << 5 << QByteArray("la") << 4 << "la" << false;
        QTest::newRow("track name") << 3 << QByteArray("[x") << 0 << "" << false;
    }
    void kindsComeFromMetaTypeAndPrefix()
    {
        QFETCH(int, metaType);
        QFETCH(QByteArray, data);
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(bool, fixed);
        auto event = MidiEvent::meta(0, metaType, data);
        QCOMPARE(laneKind(event.get()), kind);
        QCOMPARE(laneText(event.get()), text);
        QCOMPARE(isFixedChord(event.get()), fixed);
        auto note = MidiEvent::note(0, 60, 100, 10);
        QCOMPARE(laneKind(note.get()), 0);
    }

    void setLaneEventKeepsOneEventPerKindAndTick()
    {
        MelodyBuilder m;
        m.note(0, 60, 960);
        MidiSequence& t = m.sequence;
        MidiEvent* section = setLaneEvent(t, 0, SectionLane, QStringLiteral("Intro A"));
        MidiEvent* chord = setLaneEvent(t, 0, ChordLane, QStringLiteral("C"), true);
        QVERIFY(section != chord);
        QCOMPARE(t.count(), 3);
        QCOMPARE(setLaneEvent(t, 0, ChordLane, QStringLiteral("Am")), chord); // reused
        QCOMPARE(chord->data(), QByteArray("{Am"));
        QCOMPARE(t.count(), 3);
        QCOMPARE(findLaneEvent(t, 0, SectionLane), section);
        QCOMPARE(section->metaType, 6);

        QCOMPARE(setLaneEvent(t, 0, ChordLane, QString()), nullptr); // deletes
        QCOMPARE(findLaneEvent(t, 0, ChordLane), nullptr);
        QCOMPARE(setLaneEvent(t, 960, ChordLane, QString()), nullptr); // nothing there
        QCOMPARE(t.count(), 2);

        setLaneEvent(t, 100, LyricLane, QStringLiteral("la"));
        QCOMPARE(findLaneEvent(t, 100, LyricLane)->metaType, 5);
        setLaneEvent(t, 200, SuggestedChordsLane, QStringLiteral("C = 3.0\n"));
        QCOMPARE(findLaneEvent(t, 200, SuggestedChordsLane)->data(), QByteArray("(C = 3.0\n"));
    }

    void lookupsWalkByKind()
    {
        MidiSequence t;
        MidiEvent* a = setLaneEvent(t, 0, ChordLane, QStringLiteral("C"));
        setLaneEvent(t, 100, SectionLane, QStringLiteral("Main A"));
        MidiEvent* b = setLaneEvent(t, 200, ChordLane, QStringLiteral("F"));
        QCOMPARE(lastLaneEventAtOrBefore(t, 199, ChordLane), a);
        QCOMPARE(lastLaneEventAtOrBefore(t, 200, ChordLane), b);
        QCOMPARE(lastLaneEventAtOrBefore(t, 99, SectionLane), nullptr);
        QCOMPARE(nextLaneEvent(a, t, 0, 0), b);
        QCOMPARE(nextLaneEvent(b, t, 0, 0), nullptr);
        QCOMPARE(nextLaneEvent(nullptr, t, 0, ChordLane), b);
        QCOMPARE(nextLaneEvent(nullptr, t, 200, ChordLane), nullptr);
    }

    void shiftingMovesTheSongAndKeepsTies()
    {
        MelodyBuilder m;
        m.note(0, 60, 960).note(3840, 62, 960).note(3840, 64, 960).note(7680, 65, 960);
        setLaneEvent(m.sequence, 3840, ChordLane, QStringLiteral("C"));
        m.sequence.setLength(8640);

        shiftEvents(m.sequence, 3840, 7680); // make room for a bar of intro
        QCOMPARE(dump(m.sequence), (QStringList{"0:0:60", "7680:0:62", "7680:0:64", "7680:1:C",
                                                "11520:0:65"}));
        QCOMPARE(m.sequence.length(), 12480u);

        shiftEvents(m.sequence, 7680, 0); // remove everything before it
        QCOMPARE(dump(m.sequence), (QStringList{"0:0:62", "0:0:64", "0:1:C", "3840:0:65"}));
        QCOMPARE(m.sequence.length(), 4800u);

        shiftEvents(m.sequence, 10000, 0); // more than the length: clamped at 0
        QCOMPARE(m.sequence.length(), 0u);
        QCOMPARE(m.sequence.count(), 0);
    }

    void erasingAndTruncating()
    {
        MelodyBuilder m;
        m.quarters(0, {60, 62, 64, 65, 67});
        eraseEventsInRange(m.sequence, 960, 2880);
        QCOMPARE(dump(m.sequence), (QStringList{"0:0:60", "2880:0:65", "3840:0:67"}));
        truncateTrack(m.sequence, 2880);
        QCOMPARE(dump(m.sequence), (QStringList{"0:0:60"}));
        QCOMPARE(m.sequence.length(), 2880u);
    }

    void styleSectionLengths()
    {
        MidiSequence style(QString(), 0, 480);
        auto marker = [&](uint32_t t, const char* name) {
            style.insert(MidiEvent::meta(t, MidiEvent::MetaMarker, QByteArray(name)));
        };
        marker(0, "Main A");   // at tick 0: not a section start
        marker(480, "Intro A");
        marker(960, "Intro A"); // the last of repeated markers starts the section
        marker(2880, "Main A");
        marker(6720, "Ending A");
        style.setLength(8640);
        QCOMPARE(styleSectionLength(style, QStringLiteral("Intro A")), 4u);
        QCOMPARE(styleSectionLength(style, QStringLiteral("Main A")), 8u);
        QCOMPARE(styleSectionLength(style, QStringLiteral("Ending A")), 4u);
        QCOMPARE(styleSectionLength(style, QStringLiteral("Main B")), 0u);
    }

    void aSectionMayOpenAtTickZeroBesideSetUpMarkers()
    {
        // As style editors write them: set-up markers share tick 0 with the first section.
        MidiSequence style(QString(), 0, 480);
        auto marker = [&](uint32_t t, const char* name) {
            style.insert(MidiEvent::meta(t, MidiEvent::MetaMarker, QByteArray(name)));
        };
        marker(0, "SFF1");
        marker(0, "Main A");
        marker(0, "SInt");
        marker(3840, "Fill In AA");
        marker(5760, "Ending A");
        style.setLength(7680);
        const StyleSectionSpan main = styleSectionSpan(style, QStringLiteral("Main A"));
        QVERIFY(main.found);
        QCOMPARE(main.start, 0u);
        QCOMPARE(main.end, 3840u);
        QCOMPARE(styleSectionLength(style, QStringLiteral("Main A")), 8u);
        QCOMPARE(styleSectionLength(style, QStringLiteral("Fill In AA")), 4u);
        QVERIFY(!styleSectionSpan(style, QStringLiteral("Intro A")).found);
    }
};

QTEST_GUILESS_MAIN(TestLaneEvents)
#include "tst_lane_events.moc"
