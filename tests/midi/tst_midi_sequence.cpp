#include "midi_sequence.h"
#include "midi_sequence_cursor.h"

#include <QTest>
#include <array>
#include <vector>

using Pairs = std::vector<std::pair<uint32_t, uint32_t>>; // (time, duration or data1)
using Input = std::vector<std::array<int, 3>>;            // time, status, key

class TestMidiSequence : public QObject
{
    Q_OBJECT

    static Pairs timesAndDurations(const MidiSequence& s)
    {
        Pairs out;
        for (const MidiEvent* e = s.first(); e; e = e->next())
            out.push_back({e->time, e->duration});
        return out;
    }
    static Pairs timesAndData(const MidiSequence& s)
    {
        Pairs out;
        for (const MidiEvent* e = s.first(); e; e = e->next())
            out.push_back({e->time, e->data1});
        return out;
    }

private Q_SLOTS:
    void insertKeepsTimeOrderAndInsertionOrderAtEqualTimes()
    {
        MidiSequence s;
        const uint32_t times[] = {10, 5, 10, 0, 5, 10};
        for (uint8_t i = 0; i < 6; ++i)
            s.insert(MidiEvent::channel(times[i], 0xB0, i, 0));
        QCOMPARE(timesAndData(s), (Pairs{{0, 3}, {5, 1}, {5, 4}, {10, 0}, {10, 2}, {10, 5}}));
        QCOMPARE(s.count(), 6);
        // The backward links agree with the forward ones.
        QCOMPARE(s.last()->data1, 5);
        QCOMPARE(s.last()->prev()->data1, 2);
        QCOMPARE(s.first()->prev(), nullptr);
    }

    // A place searched from any event of the sequence is the one searched from the tail:
    // behind every event of the same time, whether the hint lies before or after it.
    void insertNearAnyEventFindsTheSamePlace()
    {
        const uint32_t times[] = {0, 5, 5, 10, 10, 10, 20};
        for (uint32_t t : {0u, 3u, 5u, 10u, 15u, 20u, 30u}) {
            for (int hint = -1; hint < 7; ++hint) {
                MidiSequence plain, hinted;
                for (uint8_t i = 0; i < 7; ++i) {
                    plain.insert(MidiEvent::channel(times[i], 0xB0, i, 0));
                    hinted.insert(MidiEvent::channel(times[i], 0xB0, i, 0));
                }
                const MidiEvent* near = nullptr;
                for (const MidiEvent* e = hinted.first(); e && near == nullptr; e = e->next())
                    if (e->data1 == hint)
                        near = e;
                plain.insert(MidiEvent::channel(t, 0xB0, 99, 0));
                hinted.insert(MidiEvent::channel(t, 0xB0, 99, 0), near);
                QCOMPARE(timesAndData(hinted), timesAndData(plain));
                QCOMPARE(hinted.last()->prev()->next(), hinted.last());
            }
        }
    }

    void insertTracksKeyRangeAndEnd()
    {
        MidiSequence s;
        s.insert(MidiEvent::note(100, 64, 90, 50));
        s.insert(MidiEvent::note(0, 40, 90, 400));
        s.insert(MidiEvent::channel(300, 0xB0, 7, 100));
        QCOMPARE(s.lowestKey(), 40);
        QCOMPARE(s.highestKey(), 64);
        QCOMPARE(s.end(), 400u);
    }

    void addReadPairsNoteOnsWithNoteOffs_data()
    {
        QTest::addColumn<Input>("input");
        QTest::addColumn<Pairs>("expected"); // time, duration
        QTest::newRow("repeated key")
            << Input{{0, 0x90, 60}, {100, 0x90, 60}, {150, 0x80, 60}} << Pairs{{0, 100}, {100, 50}};
        QTest::newRow("other key stays open")
            << Input{{0, 0x90, 60}, {10, 0x90, 62}, {20, 0x80, 60}, {40, 0x80, 62}}
            << Pairs{{0, 20}, {10, 30}};
        QTest::newRow("stray note off")
            << Input{{5, 0x80, 70}, {10, 0x90, 70}, {30, 0x80, 70}} << Pairs{{10, 20}};
        QTest::newRow("never switched off lasts until the end")
            << Input{{0, 0x90, 60}, {50, 0x90, 61}, {80, 0x80, 60}, {200, 0xB0, 7}}
            << Pairs{{0, 80}, {50, 150}, {200, 0}};
    }
    void addReadPairsNoteOnsWithNoteOffs()
    {
        QFETCH(Input, input);
        QFETCH(Pairs, expected);
        MidiSequence s;
        for (const auto& [time, status, key] : input) {
            auto e = MidiEvent::channel(uint32_t(time), status, uint8_t(key), 100);
            s.addRead(std::move(e));
        }
        s.finish();
        QCOMPARE(timesAndDurations(s), expected);
        QCOMPARE(s.length(), s.end());
    }

    void addReadMakesTimesRelativeToBegin()
    {
        MidiSequence s;
        s.setBegin(1000);
        s.addRead(MidiEvent::channel(400, 0xB0, 1, 1)); // before begin: at 0
        s.addRead(MidiEvent::note(1200, 60, 100, 0));
        s.addReadNoteOff(1500, 60);
        s.finish();
        QCOMPARE(timesAndDurations(s), (Pairs{{0, 0}, {200, 300}}));
        QCOMPARE(s.end(), 500u);
    }

    void finishExtendsToTheGivenLength()
    {
        MidiSequence s;
        s.setLength(1000);
        s.addRead(MidiEvent::note(100, 60, 100, 0));
        s.finish();
        QCOMPARE(s.end(), 1000u);
        QCOMPARE(s.first()->duration, 900u);
        QCOMPARE(s.length(), 1000u);
    }

    void replaceConvertsBetweenResolutions()
    {
        MidiSequence source(QString(), 0, 480);
        source.insert(MidiEvent::note(1, 60, 100, 3));     // 2 and 6 at 960 (0.5 rounds up)
        source.insert(MidiEvent::note(240, 62, 100, 120)); // 480, 240
        source.insert(MidiEvent::note(2000, 64, 100, 10)); // 4000: outside [0, 1000)
        MidiSequence target(QString(), 0, 960);
        target.insert(MidiEvent::note(500, 50, 100, 1));  // inside: replaced
        target.insert(MidiEvent::note(3000, 51, 100, 1)); // outside: kept
        target.replace(0, 1000, source);
        QCOMPARE(timesAndDurations(target), (Pairs{{2, 6}, {480, 240}, {3000, 1}}));
        QCOMPARE(MidiSequence::convert(1, 480, 960), 1u); // half away from zero
        QCOMPARE(MidiSequence::convert(3, 480, 960), 2u);
    }

    void cursorSeeksBothWaysAndSurvivesRemoval()
    {
        MidiSequence s;
        for (uint32_t t : {0u, 100u, 100u, 200u, 300u})
            s.insert(MidiEvent::channel(t, 0xB0, uint8_t(t / 100), 0));
        MidiSequenceCursor c(&s);
        c.seek(150);
        QCOMPARE(c.event()->time, 200u);
        c.seek(100); // backward lands on the first event at 100
        QCOMPARE(c.event(), s.first()->next());
        c.seek(301);
        QCOMPARE(c.event(), nullptr);
        c.seek(0);
        QCOMPARE(c.event(), s.first());
        c.advance();
        MidiEvent* removed = c.event();
        s.take(removed); // deleted here; the cursor must not walk from it
        QCOMPARE(c.event(), s.first());
        c.seek(250);
        QCOMPARE(c.event()->time, 300u);
    }
};

Q_DECLARE_METATYPE(Input)
Q_DECLARE_METATYPE(Pairs)

QTEST_GUILESS_MAIN(TestMidiSequence)
#include "tst_midi_sequence.moc"
