#include "midi_tempo_map.h"
#include "time_scale.h"

#include <QTest>
#include <vector>

// (time, bar, tempo, numerator, exponent) of every node.
using Row = std::tuple<uint32_t, int, float, int, int>;
using Rows = std::vector<Row>;

class TestTempoMap : public QObject
{
    Q_OBJECT

    static Rows rows(const MidiTempoMap& map)
    {
        Rows out;
        for (const auto& n : map.nodes())
            out.push_back({n.time, n.bar, n.tempo, n.numerator, n.exponent});
        return out;
    }

private Q_SLOTS:
    void newNodesMoveBackToTheirBar()
    {
        MidiTempoMap map(480); // a 4/4 bar is 1920 ticks
        map.set(2000, 100, 4, 2);
        map.set(1919 + 3840, 100, 3, 2); // inside bar 3
        QCOMPARE(rows(map), (Rows{{0, 0, 120, 4, 2}, {1920, 1, 100, 4, 2}, {3840, 2, 100, 3, 2}}));
        // A node in the 3/4 part moves by 3/4 bars: 3840 + 2 * 1440.
        map.set(3840 + 1440 * 2 + 1000, 90, 3, 2);
        QCOMPARE(std::get<0>(rows(map).back()), 3840u + 2880u);
        QCOMPARE(std::get<1>(rows(map).back()), 4);
    }

    void equalValuesAreNotRepeatedAndMoveTheNextNode()
    {
        MidiTempoMap map(480);
        map.set(3840, 100, 4, 2);
        map.set(1920, 120, 4, 2); // same as the governing node: nothing
        QCOMPARE(map.nodes().size(), size_t(2));
        map.set(1920, 100, 4, 2); // same as the next node: that node moves to bar 1
        QCOMPARE(rows(map), (Rows{{0, 0, 120, 4, 2}, {1920, 1, 100, 4, 2}}));
        map.set(0, 90, 4, 2); // a node at that exact time is overwritten
        QCOMPARE(std::get<2>(rows(map).front()), 90.0f);
        QCOMPARE(map.nodes().size(), size_t(2));
    }

    void laterNodesKeepTheirBarWhenTheMeterChanges()
    {
        MidiTempoMap map(480);
        map.set(3840, 100, 4, 2); // bar 2
        map.set(0, 120, 3, 2);    // bars of 1440 ticks from the start
        QCOMPARE(rows(map), (Rows{{0, 0, 120, 3, 2}, {2880, 2, 100, 4, 2}}));
    }

    void meterBeatsFollowTheDenominator_data()
    {
        QTest::addColumn<int>("exponent");
        QTest::addColumn<int>("ticks");
        QTest::newRow("6/8") << 3 << 240;
        QTest::newRow("4/4") << 2 << 480;
        QTest::newRow("2/2") << 1 << 960;
        QTest::newRow("x/65536 is no beat at all") << 18 << 0;
    }
    void meterBeatsFollowTheDenominator()
    {
        QFETCH(int, exponent);
        QFETCH(int, ticks);
        MidiTempoMap map(480);
        map.set(0, 120, 6, uint16_t(exponent));
        QCOMPARE(int(map.nodes().front().ticksPerMeterBeat), ticks);
        map.set(100000, 90, 4, 2); // with no bar length the node stays where it was put
        QCOMPARE(map.nodes().back().time,
                 ticks ? uint32_t(100000 / (6 * ticks) * 6 * ticks) : 100000u);
    }

    void findGivesTheGoverningNode()
    {
        MidiTempoMap map(480);
        map.set(1920, 100, 4, 2);
        QCOMPARE(map.find(1919)->tempo, 120.0f);
        QCOMPARE(map.find(1920)->tempo, 100.0f);
        map.clear();
        QCOMPARE(map.find(5), nullptr);
    }

    void scaleRoundTripKeepsBarsTemposAndMeters()
    {
        TimeScale scale;                                        // 960 ticks per beat, 44100 Hz
        scale.setNode(scale.tickToFrame(7680), 90.0f, 2, 3, 2); // bar 2: 90, 3/4
        scale.setNode(scale.tickToFrame(7680 + 5760), 90.0f, 2, 6, 3); // bar 4: 6/8
        MidiTempoMap map(480);
        map.fromScale(scale, 0);
        QCOMPARE(rows(map), (Rows{{0, 0, 120, 4, 2}, {3840, 2, 90, 3, 2}, {6720, 4, 90, 6, 3}}));

        TimeScale back;
        map.toScale(back, 0);
        QCOMPARE(back.nodeCount(), 3);
        for (TempoNode *a = scale.firstNode(), *b = back.firstNode(); a; a = a->next, b = b->next) {
            QCOMPARE(b->frame, a->frame);
            QCOMPARE(b->bar, a->bar);
            QCOMPARE(b->tempo, a->tempo);
            QCOMPARE(b->beatsPerBar, a->beatsPerBar);
            QCOMPARE(b->beatUnit, a->beatUnit);
        }
    }

    void fromScaleStartsAtTheGivenTick()
    {
        TimeScale scale;
        scale.setNode(scale.tickToFrame(7680), 100.0f, 2, 4, 2); // bar 2
        scale.setNode(scale.tickToFrame(15360), 80.0f, 3, 4, 2); // bar 4, eighth-note tempo
        MidiTempoMap map(960);
        map.fromScale(scale, 11520); // bar 3, governed by bar 2's node
        // The node governing the start moves to 0; an eighth-note tempo of 80 is 40 quarters.
        QCOMPARE(rows(map), (Rows{{0, 0, 100, 4, 2}, {3840, 1, 40, 4, 2}}));
    }
};

Q_DECLARE_METATYPE(Rows)

QTEST_GUILESS_MAIN(TestTempoMap)
#include "tst_tempo_map.moc"
