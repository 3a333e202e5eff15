// Tests of the TimeScale time scale. Expected values are derived by hand from the
// default scale: 44100 Hz, 960 ticks per beat, 120 bpm, 4/4, 32 pixels per beat at 100 % zoom.
// So F = framesPerMinute = 2 646 000, ticksPerMinute = 115 200, one beat = 22 050 frames =
// 960 ticks = 32 pixels, one bar = 88 200 frames = 3840 ticks, one tick = 22.96875 frames.
#include "time_scale.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr uint32_t kBeat = 22050;
constexpr uint32_t kBar = 88200;

std::vector<TempoNode*> nodesOf(const TimeScale& scale)
{
    std::vector<TempoNode*> nodes;
    for (TempoNode* n = scale.firstNode(); n; n = n->next)
        nodes.push_back(n);
    return nodes;
}

/** Brute force: the last node whose field is <= value (the first node when none is). */
template <typename T> TempoNode* governing(const TimeScale& scale, T TempoNode::*field, T value)
{
    TempoNode* found = scale.firstNode();
    for (TempoNode* n = scale.firstNode(); n; n = n->next) {
        if (n->*field <= value)
            found = n;
    }
    return found;
}

/** Checks the list links, the count and first/last. */
void checkList(const TimeScale& scale)
{
    const std::vector<TempoNode*> nodes = nodesOf(scale);
    QCOMPARE(int(nodes.size()), scale.nodeCount());
    QVERIFY(!nodes.empty());
    QCOMPARE(nodes.front(), scale.firstNode());
    QCOMPARE(nodes.back(), scale.lastNode());
    QVERIFY(nodes.front()->prev == nullptr);
    for (size_t i = 1; i < nodes.size(); ++i) {
        QCOMPARE(nodes[i]->prev, nodes[i - 1]);
        QVERIFY(nodes[i]->frame > nodes[i - 1]->frame);
        QVERIFY(nodes[i]->bar > nodes[i - 1]->bar);
        QVERIFY(nodes[i]->tick > nodes[i - 1]->tick);
    }
}

/** A scale with `count` nodes, one every two bars, alternating tempos and meters. */
void buildMap(TimeScale& scale, int count)
{
    scale.reset();
    for (int i = 1; i < count; ++i) {
        const float tempo = 80.0f + float((i * 37) % 90);
        const uint16_t beats = (i % 3 == 0) ? 3 : 4;
        TempoNode* last = scale.lastNode();
        // Two bars of the last node's meter after it (setNode snaps to the bar line anyway).
        const uint32_t frame =
            last->frame +
            uint32_t(2.0 * last->beatsPerBar * scale.framesPerMinute() / last->meterBeatsPerMinute);
        scale.setNode(frame, tempo, 2, beats, 2);
    }
}

} // namespace

class TestTimeScale : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaults();
    void snapTable();
    void clockTexts();
    void barsBeatsTicksTexts();
    void frameTexts();
    void textsAfterTempoNode();
    void parseTicks();
    void conversionsDefault();
    void snap44();
    void snap68();
    void snapRestartsAtNode();
    void snapGuards();
    void setNodeMovesToBarLine();
    void setNodeInsideLaterMeter();
    void setNodeSameValuesIsNoOp();
    void setNodeMovesNextNode();
    void tempoChangeKeepsLaterNodesOnBars();
    void settingsChangeKeepsBars();
    void removeNode();
    void removeNodeRecyclesStorage();
    void cursorWalksBothWays();
    void cursorSurvivesNodeChanges();
    void copyFrom();
    void roundTrips_data();
    void roundTrips();
    void guards();
};

void TestTimeScale::defaults()
{
    TimeScale scale;
    QCOMPARE(scale.nodeCount(), 1);
    const TempoNode* n = scale.firstNode();
    QVERIFY(n);
    QCOMPARE(scale.lastNode(), n);
    QCOMPARE(n->frame, 0u);
    QCOMPARE(n->bar, uint16_t(0));
    QCOMPARE(n->tick, 0u);
    QCOMPARE(n->tempo, 120.0f);
    QCOMPARE(n->tempoUnit, uint16_t(2));
    QCOMPARE(n->beatsPerBar, uint16_t(4));
    QCOMPARE(n->beatUnit, uint16_t(2));
    QCOMPARE(n->ticksPerMeterBeat, uint16_t(960));
    QCOMPARE(n->ticksPerMinute, 115200.0f);
    QCOMPARE(n->meterBeatsPerMinute, 120.0f);
    QCOMPARE(n->scale, &scale);
    QVERIFY(n->hasValues(120.0f, 2, 4, 2));
    QVERIFY(!n->hasValues(120.5f, 2, 4, 2));
    QVERIFY(!n->hasValues(120.0f, 2, 3, 2));
    QCOMPARE(scale.snapPerBeat(), uint16_t(4));
    QCOMPARE(scale.timeZoom(), uint16_t(100));
    QCOMPARE(scale.heightZoom(), uint16_t(100));
    QCOMPARE(scale.sampleRate(), 44100u);
    QCOMPARE(scale.ticksPerBeat(), uint16_t(960));
    QCOMPARE(scale.pixelsPerBeat(), uint16_t(32));
    QCOMPARE(scale.framesPerMinute(), 2646000.0f);
    QCOMPARE(scale.pixelsPerMinute(), 3840.0f);
}

void TestTimeScale::snapTable()
{
    QCOMPARE(TimeScale::snapCount(), 14);
    const uint16_t values[] = {0, 1, 2, 3, 4, 6, 8, 12, 16, 24, 32, 48, 64, 96};
    for (int i = 0; i < 14; ++i) {
        QCOMPARE(TimeScale::snapValue(i), values[i]);
        QCOMPARE(TimeScale::snapIndex(values[i]), i);
    }
    QCOMPARE(TimeScale::snapValue(-1), uint16_t(0));
    QCOMPARE(TimeScale::snapValue(14), uint16_t(0));
    QCOMPARE(TimeScale::snapIndex(5), 0);
    QCOMPARE(TimeScale::snapIndex(128), 0);
    const QStringList names = TimeScale::snapNames();
    QCOMPARE(names.size(), 14);
    QCOMPARE(names.at(0), QStringLiteral("None"));
    QCOMPARE(names.at(1), QStringLiteral("Beat"));
    QCOMPARE(names.at(2), QStringLiteral("Beat/2"));
    QCOMPARE(names.at(5), QStringLiteral("Beat/6"));
    QCOMPARE(names.at(13), QStringLiteral("Beat/96"));
}

void TestTimeScale::clockTexts()
{
    TimeScale scale;
    scale.setTimeFormat(TimeScale::Clock);
    QCOMPARE(scale.format(0), QStringLiteral("00:00:00.000"));
    QCOMPARE(scale.format(3723300), QStringLiteral("00:01:24.428")); // 84.42857 s, truncated
    QCOMPARE(scale.format(44099), QStringLiteral("00:00:00.999"));   // 0.99998 s, not rounded up
    QCOMPARE(scale.format(441), QStringLiteral("00:00:00.010"));
    QCOMPARE(scale.format(3661u * 44100u + 22050u), QStringLiteral("01:01:01.500"));
    QCOMPARE(scale.format(36000u * 44100u), QStringLiteral("10:00:00.000"));
    // Lengths show the length, not the position.
    QCOMPARE(scale.format(1000, true, 44100), QStringLiteral("00:00:01.000"));
    QCOMPARE(scale.format(3723300, true, 0), QStringLiteral("00:00:00.000"));

    // Parsing: hours:minutes:seconds.fraction.
    QCOMPARE(scale.parse(QStringLiteral("1:30:00.5")), 238162050u); // round(5400.5 * 44100)
    QCOMPARE(scale.parse(QStringLiteral("00:00:01")), 44100u);
    QCOMPARE(scale.parse(QStringLiteral("00:01:24.428")), 3723275u); // round(84.428 * 44100)
    QCOMPARE(scale.parse(QStringLiteral("0:0:0.00001")), 0u);        // 0.441 frames
    QCOMPARE(scale.parse(QStringLiteral("0:0:0.0000114")), 1u);      // 0.50274 frames
    QCOMPARE(scale.parse(QStringLiteral("0:2")), 5292000u);          // no seconds section
    QCOMPARE(scale.parse(QStringLiteral("x:y:z")), 0u);
    QCOMPARE(scale.parse(QString()), 0u);
    QCOMPARE(scale.parse(QStringLiteral("0:1:x")), 2646000u);
    // Round trip of whole milliseconds that are whole frames at 48 kHz.
    scale.setSampleRate(48000);
    QCOMPARE(scale.format(48000u * 125u + 24u), QStringLiteral("00:02:05.000"));
    QCOMPARE(scale.format(48000u * 125u + 48u), QStringLiteral("00:02:05.001"));
    QCOMPARE(scale.parse(QStringLiteral("00:02:05.001")), 48000u * 125u + 48u);
}

void TestTimeScale::barsBeatsTicksTexts()
{
    TimeScale scale;
    scale.setTimeFormat(TimeScale::BarsBeatsTicks);
    // Positions: bars and beats 1-based.
    QCOMPARE(scale.format(0), QStringLiteral("1.01.000"));
    QCOMPARE(scale.format(44100), QStringLiteral("1.03.000"));
    QCOMPARE(scale.format(kBar), QStringLiteral("2.01.000"));
    QCOMPARE(scale.format(23), QStringLiteral("1.01.001")); // 1.0014 ticks
    QCOMPARE(scale.format(11), QStringLiteral("1.01.000")); // 0.479 ticks
    QCOMPARE(scale.format(12), QStringLiteral("1.01.001")); // 0.522 ticks
    QCOMPARE(scale.format(kBeat - 23), QStringLiteral("1.01.959"));
    QCOMPARE(scale.format(10 * kBar + 3 * kBeat + 5512), QStringLiteral("11.04.240"));
    // Lengths: 0-based, measured from the position.
    QCOMPARE(scale.format(0, true, 22050), QStringLiteral("0.01.000"));
    QCOMPARE(scale.format(0, true, 0), QStringLiteral("0.00.000"));
    QCOMPARE(scale.format(22050, true, 66150), QStringLiteral("0.03.000"));
    QCOMPARE(scale.format(0, true, kBar + 44100 + 23), QStringLiteral("1.02.001"));
    QCOMPARE(scale.format(12, true, 11),
             QStringLiteral("0.00.000")); // 23 frames -> 1 tick - 1 tick

    // Parsing positions: 1-based, 0 counts as 1.
    QCOMPARE(scale.parse(QStringLiteral("2.1.0")), kBar);
    QCOMPARE(scale.parse(QStringLiteral("0.0.0")), 0u);
    QCOMPARE(scale.parse(QStringLiteral("1.1.0")), 0u);
    QCOMPARE(scale.parse(QStringLiteral("1.3.0")), 44100u);
    QCOMPARE(scale.parse(QStringLiteral("1.03.000")), 44100u);
    QCOMPARE(scale.parse(QStringLiteral("1.1.960")), kBeat);
    QCOMPARE(scale.parse(QStringLiteral("1.1.1")), 23u); // 22.96875 frames
    QCOMPARE(scale.parse(QStringLiteral("1.1.2")), 46u); // 45.9375
    QCOMPARE(scale.parse(QStringLiteral("1.1.3")), 69u); // 68.90625
    QCOMPARE(scale.parse(QStringLiteral("11.4.240")),
             10 * kBar + 3 * kBeat + 5513u);              // 5512.5 -> up
    QCOMPARE(scale.parse(QStringLiteral("3")), 2 * kBar); // missing sections read as 0
    QCOMPARE(scale.parse(QStringLiteral("junk")), 0u);
    // Parsing lengths: 0-based.
    QCOMPARE(scale.parse(QStringLiteral("0.1.0"), true, 0), kBeat);
    QCOMPARE(scale.parse(QStringLiteral("1.0.0"), true, 0), kBar);
    QCOMPARE(scale.parse(QStringLiteral("0.2.0"), true, 44100), 44100u);
    QCOMPARE(scale.parse(QStringLiteral("0.0.0"), true, 0), 0u);
    // Both ways over a range of positions on tick boundaries.
    for (uint32_t tick = 0; tick < 40000; tick += 97) {
        const uint32_t frame = scale.tickToFrame(tick);
        QCOMPARE(scale.parse(scale.format(frame)), frame);
    }
}

void TestTimeScale::frameTexts()
{
    TimeScale scale;
    scale.setTimeFormat(TimeScale::Frames);
    QCOMPARE(scale.format(0), QStringLiteral("0"));
    QCOMPARE(scale.format(123456), QStringLiteral("123456"));
    QCOMPARE(scale.format(4294967295u), QStringLiteral("4294967295"));
    QCOMPARE(scale.format(100, true, 250), QStringLiteral("250"));
    QCOMPARE(scale.parse(QStringLiteral("123456")), 123456u);
    QCOMPARE(scale.parse(QStringLiteral("abc")), 0u);
    QCOMPARE(scale.parse(QStringLiteral("-1")), 4294967295u); // wraps as unsigned
    QCOMPARE(scale.parse(QStringLiteral("4294967297")), 1u);
    scale.setTimeFormat(7); // any other value is frames too
    QCOMPARE(scale.format(42), QStringLiteral("42"));
    QCOMPARE(scale.parse(QStringLiteral("42")), 42u);
}

void TestTimeScale::textsAfterTempoNode()
{
    TimeScale scale;
    scale.setTimeFormat(TimeScale::BarsBeatsTicks);
    // Bar 3 at 60 bpm in 3/4: one beat = 44100 frames, one bar = 132300 frames.
    TempoNode* node = scale.setNode(2 * kBar, 60.0f, 2, 3, 2);
    QCOMPARE(node->frame, 2 * kBar);
    QCOMPARE(node->bar, uint16_t(2));
    QCOMPARE(scale.format(2 * kBar), QStringLiteral("3.01.000"));
    QCOMPARE(scale.format(2 * kBar + 44100), QStringLiteral("3.02.000"));
    QCOMPARE(scale.format(2 * kBar + 132300), QStringLiteral("4.01.000"));
    QCOMPARE(scale.format(2 * kBar - kBeat), QStringLiteral("2.04.000"));
    QCOMPARE(scale.parse(QStringLiteral("3.2.0")), 2 * kBar + 44100);
    QCOMPARE(scale.parse(QStringLiteral("4.1.0")), 2 * kBar + 132300);
    QCOMPARE(scale.parse(QStringLiteral("2.4.0")), 2 * kBar - kBeat);
    QCOMPARE(scale.format(2 * kBar, true, 44100), QStringLiteral("0.01.000"));
    QCOMPARE(scale.format(2 * kBar + 44100, true, 132300), QStringLiteral("1.00.000"));
    // The length is measured with the meter at its start (3/4 here).
    scale.setTimeFormat(TimeScale::Clock);
    QCOMPARE(scale.format(2 * kBar + 132300), QStringLiteral("00:00:07.000"));
}

void TestTimeScale::parseTicks()
{
    TimeScale scale;
    scale.setTimeFormat(TimeScale::BarsBeatsTicks);
    QCOMPARE(scale.parseTicks(QStringLiteral("2.1.0")), 3840u);
    QCOMPARE(scale.parseTicks(QStringLiteral("1.1.1")), 1u);
    QCOMPARE(scale.parseTicks(QStringLiteral("0.1.0"), true, 0), 960u);
    QCOMPARE(scale.parseTicks(QStringLiteral("0.1.0"), true, 1920), 960u);
    scale.setTimeFormat(TimeScale::Clock);
    QCOMPARE(scale.parseTicks(QStringLiteral("0:0:1")), 1920u);
    scale.setTimeFormat(TimeScale::Frames);
    QCOMPARE(scale.parseTicks(QStringLiteral("44100")), 1920u);
}

void TestTimeScale::conversionsDefault()
{
    TimeScale scale;
    QCOMPARE(scale.frameToTick(44100), 1920u);
    QCOMPARE(scale.tickToFrame(1920), 44100u);
    QCOMPARE(scale.tickToFrame(1), 23u);
    QCOMPARE(scale.frameToTick(11), 0u);
    QCOMPARE(scale.frameToTick(12), 1u);
    QCOMPARE(scale.frameToMeterBeat(44100), 2u);
    QCOMPARE(scale.frameToMeterBeat(11024), 0u);
    QCOMPARE(scale.frameToMeterBeat(11025), 1u); // half a beat rounds away from zero
    QCOMPARE(scale.meterBeatToFrame(3), 66150u);
    QCOMPARE(scale.frameToPixel(kBeat), 32u);
    QCOMPARE(scale.pixelToFrame(32), kBeat);
    QCOMPARE(scale.frameToPixel(344), 0u); // 0.4992 px
    QCOMPARE(scale.frameToPixel(345), 1u); // 0.5007 px
    QCOMPARE(scale.tickToPixel(960), 32u);
    QCOMPARE(scale.pixelToTick(32), 960u);
    QCOMPARE(scale.pixelToTick(1), 30u);
    QCOMPARE(scale.frameToSteps(44100), 8u);
    QCOMPARE(scale.frameToSteps(44099), 8u); // tick 1920 still
    QCOMPARE(scale.frameToSteps(5490), 0u);  // tick 239
    QCOMPARE(scale.stepsToFrame(8), 44100u);
    QCOMPARE(scale.stepsToFrame(65536 + 8), 44100u); // steps taken as 16 bits
    scale.setTimeZoom(50);
    QCOMPARE(scale.pixelsPerMinute(), 1920.0f);
    QCOMPARE(scale.frameToPixel(kBeat), 16u);
    QCOMPARE(scale.tickToPixel(960), 16u);
    QCOMPARE(scale.firstNode()->next, nullptr);

    // A 60 bpm node at bar 2: its pixel is 128 and a beat after it is 64 pixels.
    scale.setTimeZoom(100);
    TempoNode* node = scale.setNode(kBar, 60.0f, 2, 4, 2);
    QCOMPARE(node->pixel, 128u);
    QCOMPARE(node->tick, 3840u);
    QCOMPARE(node->beat, 4u);
    QCOMPARE(scale.tickToPixel(4800), 192u);
    QCOMPARE(scale.pixelToTick(192), 4800u);
    QCOMPARE(scale.tickToFrame(4800), kBar + 44100);
    QCOMPARE(scale.frameToTick(kBar + 44100), 4800u);
    QCOMPARE(scale.frameToMeterBeat(kBar + 44100), 5u);
    QCOMPARE(scale.meterBeatToFrame(5), kBar + 44100);
    QCOMPARE(scale.frameToPixel(kBar + 44100), 192u); // pixels are linear in frames
    QCOMPARE(scale.pixelToFrame(192), kBar + 44100);
}

void TestTimeScale::snap44()
{
    TimeScale scale; // snapPerBeat 4: grid 240 ticks = 5512.5 frames = 8 pixels
    QCOMPARE(scale.snapTick(0), 0u);
    QCOMPARE(scale.snapTick(119), 0u);
    QCOMPARE(scale.snapTick(120), 240u); // tie goes to the later point
    QCOMPARE(scale.snapTick(121), 240u);
    QCOMPARE(scale.snapTick(239), 240u);
    QCOMPARE(scale.snapTick(241), 240u);
    QCOMPARE(scale.snapTick(359), 240u);
    QCOMPARE(scale.snapTick(360), 480u);
    QCOMPARE(scale.snapTick(3840 + 100), 3840u);
    QCOMPARE(scale.snapFrame(5000), 5513u); // tick 218 -> 240 -> 5512.5 frames, rounded up
    QCOMPARE(scale.snapFrame(2000), 0u);    // tick 87
    QCOMPARE(scale.snapFrame(2756), 5513u); // tick 120 (119.99...): tie -> later
    QCOMPARE(scale.snapFrame(2744), 0u);    // tick 119.47
    QCOMPARE(scale.snapFrame(kBar + 3000), kBar + 5513u);
    QCOMPARE(scale.snapPixel(3), 0u);   // tick 90
    QCOMPARE(scale.snapPixel(4), 8u);   // tick 120: tie
    QCOMPARE(scale.snapPixel(12), 16u); // tick 360: tie
    QCOMPARE(scale.snapPixel(11), 8u);
    scale.setSnapPerBeat(1); // whole beats
    QCOMPARE(scale.snapTick(479), 0u);
    QCOMPARE(scale.snapTick(480), 960u);
    QCOMPARE(scale.snapFrame(33000), 22050u); // tick 1437: 1.497 beats
    QCOMPARE(scale.snapFrame(33100), 44100u); // tick 1441: 1.501 beats
    scale.setSnapPerBeat(0);                  // nothing moves
    QCOMPARE(scale.snapTick(121), 121u);
    QCOMPARE(scale.snapFrame(5000), 5000u);
    QCOMPARE(scale.snapFrame(11), 11u);
    QCOMPARE(scale.snapPixel(5), 5u);
}

void TestTimeScale::snap68()
{
    TimeScale scale;
    TempoNode* first = scale.setNode(0, 120.0f, 2, 6, 3); // 6/8, quarter-note tempo
    QCOMPARE(first, scale.firstNode());
    QCOMPARE(scale.nodeCount(), 1);
    QCOMPARE(first->ticksPerMeterBeat, uint16_t(480));
    QCOMPARE(first->meterBeatsPerMinute, 240.0f);
    QCOMPARE(first->ticksPerMinute, 115200.0f);
    // A bar is 6 eighths = 2880 ticks = 66150 frames.
    QCOMPARE(scale.frameToMeterBeat(66150), 6u);
    QCOMPARE(scale.meterBeatToFrame(6), 66150u);
    QCOMPARE(scale.frameToTick(66150), 2880u);
    scale.setTimeFormat(TimeScale::BarsBeatsTicks);
    QCOMPARE(scale.format(66150), QStringLiteral("2.01.000"));
    QCOMPARE(scale.format(11025), QStringLiteral("1.02.000"));
    QCOMPARE(scale.format(5512), QStringLiteral("1.01.240"));
    QCOMPARE(scale.format(0, true, 66150 + 11025), QStringLiteral("1.01.000"));
    QCOMPARE(scale.parse(QStringLiteral("2.1.0")), 66150u);
    QCOMPARE(scale.parse(QStringLiteral("1.4.240")), 38588u); // 1680 ticks = 38587.5 frames
    // setNode snaps to 6/8 bar lines.
    TempoNode* node = scale.setNode(66150 * 3 + 30000, 100.0f, 2, 6, 3);
    QCOMPARE(node->frame, 66150u * 3);
    QCOMPARE(node->bar, uint16_t(3));
    QCOMPARE(node->tick, 3 * 2880u);

    // snapPerBeat 4: the grid is 480 / 4 = 120 ticks.
    QCOMPARE(scale.snapTick(59), 0u);
    QCOMPARE(scale.snapTick(60), 120u);
    QCOMPARE(scale.snapTick(179), 120u);
    QCOMPARE(scale.snapTick(180), 240u);
    QCOMPARE(scale.snapFrame(1378), 2756u); // tick 60 -> 120 -> 2756.25 frames
    QCOMPARE(scale.snapFrame(1366), 0u);    // tick 59
    scale.setSnapPerBeat(3);                // grid 160
    QCOMPARE(scale.snapTick(79), 0u);
    QCOMPARE(scale.snapTick(80), 160u);
    scale.setSnapPerBeat(0);
    QCOMPARE(scale.snapTick(59), 59u);
}

void TestTimeScale::snapRestartsAtNode()
{
    TimeScale scale;
    scale.setNode(0, 120.0f, 2, 6, 3);
    TempoNode* node = scale.setNode(66150, 100.0f, 2, 6, 3); // bar 2, tick 2880
    QCOMPARE(node->tick, 2880u);
    scale.setSnapPerBeat(64);              // grid 480 / 64 = 7 ticks (2880 is not a multiple of 7)
    QCOMPARE(scale.snapTick(2876), 2877u); // first node's grid: 411 * 7
    QCOMPARE(scale.snapTick(2883), 2880u); // the grid restarts at the node
    QCOMPARE(scale.snapTick(2884), 2887u);
}

void TestTimeScale::snapGuards()
{
    TimeScale scale;
    scale.setTicksPerBeat(48);
    scale.setNode(0, 120.0f, 2, 6, 3); // 24 ticks per eighth
    QCOMPARE(scale.firstNode()->ticksPerMeterBeat, uint16_t(24));
    scale.setSnapPerBeat(96); // grid 0 ticks: nothing moves
    QCOMPARE(scale.snapTick(13), 13u);
    QCOMPARE(scale.snapFrame(1234), 1234u);
    QCOMPARE(scale.snapPixel(7), 7u);
    scale.setSnapPerBeat(24); // grid 1 tick
    QCOMPARE(scale.snapTick(13), 13u);
}

void TestTimeScale::setNodeMovesToBarLine()
{
    {
        TimeScale scale;
        TempoNode* node = scale.setNode(100000, 90.0f, 2, 4, 2); // 1.13 bars -> bar 1
        QCOMPARE(scale.nodeCount(), 2);
        QCOMPARE(node->frame, kBar);
        QCOMPARE(node->bar, uint16_t(1));
        QCOMPARE(node->tick, 3840u);
        QCOMPARE(node->beat, 4u);
        QCOMPARE(node->tempo, 90.0f);
        QCOMPARE(node->prev, scale.firstNode());
        checkList(scale);
    }
    {
        TimeScale scale;
        QCOMPARE(scale.setNode(130000, 90.0f, 2, 4, 2)->frame, kBar); // 1.47 bars
    }
    {
        TimeScale scale;
        QCOMPARE(scale.setNode(140000, 90.0f, 2, 4, 2)->frame, 2 * kBar); // 1.59 bars
    }
    {
        TimeScale scale;
        QCOMPARE(scale.setNode(44100, 90.0f, 2, 4, 2)->frame, kBar); // half a bar: away from 0
    }
    {
        TimeScale scale; // nearest bar line is the first node's: it takes the values
        TempoNode* node = scale.setNode(44099, 90.0f, 2, 3, 2);
        QCOMPARE(node, scale.firstNode());
        QCOMPARE(scale.nodeCount(), 1);
        QVERIFY(node->hasValues(90.0f, 2, 3, 2));
    }
}

void TestTimeScale::setNodeInsideLaterMeter()
{
    TimeScale scale;
    TempoNode* a = scale.setNode(kBar, 90.0f, 2, 4, 2); // 90 bpm: a bar is 117600 frames
    // 1.6 bars of a's meter after a -> 2 bars -> bar 3 at 88200 + 235200.
    TempoNode* b = scale.setNode(kBar + 188160, 100.0f, 2, 3, 2);
    QCOMPARE(b->frame, 323400u);
    QCOMPARE(b->bar, uint16_t(3));
    QCOMPARE(b->prev, a);
    QCOMPARE(b->tick, 3840u + 7680u);
    // Inserting between existing nodes links in order.
    TempoNode* c = scale.setNode(kBar + 117600, 70.0f, 2, 4, 2);
    QCOMPARE(c->bar, uint16_t(2));
    QCOMPARE(c->prev, a);
    QCOMPARE(c->next, b);
    QCOMPARE(b->bar, uint16_t(3));              // b keeps its bar, its frame follows c's tempo
    QCOMPARE(b->frame, kBar + 117600 + 151200); // 4 beats at 70 bpm = 151200 frames
    checkList(scale);
}

void TestTimeScale::setNodeSameValuesIsNoOp()
{
    TimeScale scale;
    TempoNode* first = scale.firstNode();
    QCOMPARE(scale.setNode(2 * kBar, 120.0f, 2, 4, 2), first);
    QCOMPARE(scale.nodeCount(), 1);
    TempoNode* a = scale.setNode(2 * kBar, 90.0f, 2, 3, 2);
    QCOMPARE(scale.nodeCount(), 2);
    const uint32_t frameBefore = a->frame;
    QCOMPARE(scale.setNode(a->frame + 3 * 88200, 90.0f, 2, 3, 2), a); // inside a: same values
    QCOMPARE(scale.nodeCount(), 2);
    QCOMPARE(a->frame, frameBefore);
    // Same frame: the node is overwritten, not duplicated.
    QCOMPARE(scale.setNode(a->frame, 95.0f, 2, 3, 2), a);
    QCOMPARE(scale.nodeCount(), 2);
    QCOMPARE(a->tempo, 95.0f);
}

void TestTimeScale::setNodeMovesNextNode()
{
    TimeScale scale;
    TempoNode* a = scale.setNode(2 * kBar, 90.0f, 2, 4, 2);
    QCOMPARE(a->bar, uint16_t(2));
    TempoNode* moved = scale.setNode(kBar, 90.0f, 2, 4, 2);
    QCOMPARE(moved, a);
    QCOMPARE(scale.nodeCount(), 2);
    QCOMPARE(a->frame, kBar);
    QCOMPARE(a->bar, uint16_t(1)); // derived again from the new frame
    QCOMPARE(a->tick, 3840u);
    QCOMPARE(scale.frameToTick(kBar + 29400), 3840u + 960u); // 90 bpm from bar 1 on
    checkList(scale);
}

void TestTimeScale::tempoChangeKeepsLaterNodesOnBars()
{
    TimeScale scale;
    TempoNode* b = scale.setNode(2 * kBar, 90.0f, 2, 4, 2);
    QCOMPARE(b->frame, 176400u);
    QCOMPARE(b->bar, uint16_t(2));
    QCOMPARE(b->pixel, 256u);
    scale.setNode(0, 60.0f, 2, 4, 2); // halves the tempo before b
    QCOMPARE(scale.nodeCount(), 2);
    QCOMPARE(b->bar, uint16_t(2));
    QCOMPARE(b->frame, 352800u);
    QCOMPARE(b->tick, 7680u);
    QCOMPARE(b->beat, 8u);
    QCOMPARE(b->pixel, 512u);
    QCOMPARE(scale.frameToTick(352800 + 29400), 8640u); // one beat at 90 bpm
    QCOMPARE(scale.tickToFrame(8640), 352800u + 29400u);
    QCOMPARE(scale.frameToTick(44100), 960u); // one beat at 60 bpm
    scale.setTimeFormat(TimeScale::BarsBeatsTicks);
    QCOMPARE(scale.format(352800 + 29400), QStringLiteral("3.02.000"));
    // A meter change before b keeps it on bar 2 too: 2 bars of 3/4 at 60 bpm.
    scale.setNode(0, 60.0f, 2, 3, 2);
    QCOMPARE(b->bar, uint16_t(2));
    QCOMPARE(b->frame, 6u * 44100u);
    QCOMPARE(b->tick, 6u * 960u);
    checkList(scale);
}

void TestTimeScale::settingsChangeKeepsBars()
{
    TimeScale scale;
    TempoNode* b = scale.setNode(2 * kBar, 60.0f, 2, 4, 2);
    scale.setSampleRate(48000);
    QCOMPARE(scale.framesPerMinute(), 2880000.0f);
    QCOMPARE(b->bar, uint16_t(2));
    QCOMPARE(b->frame, 8u * 24000u); // 8 beats at 120 bpm
    QCOMPARE(scale.frameToTick(8u * 24000u + 48000u), 8u * 960u + 960u);
    scale.setTicksPerBeat(480);
    QCOMPARE(b->tick, 8u * 480u);
    QCOMPARE(b->ticksPerMeterBeat, uint16_t(480));
    QCOMPARE(scale.tickToFrame(8u * 480u + 480u), 8u * 24000u + 48000u);
    scale.setPixelsPerBeat(64);
    QCOMPARE(scale.pixelsPerMinute(), 7680.0f);
    QCOMPARE(b->pixel, 8u * 64u);
}

void TestTimeScale::removeNode()
{
    TimeScale scale;
    TempoNode* first = scale.firstNode();
    scale.removeNode(first); // refused
    scale.removeNode(nullptr);
    QCOMPARE(scale.nodeCount(), 1);
    QCOMPARE(scale.firstNode(), first);

    TempoNode* a = scale.setNode(kBar, 60.0f, 2, 4, 2);
    TempoNode* b = scale.setNode(kBar + 2 * 176400, 100.0f, 2, 3, 2);
    QCOMPARE(b->frame, 441000u);
    QCOMPARE(b->bar, uint16_t(3));
    QCOMPARE(b->tick, 11520u);
    TempoNode* c = scale.setNode(b->frame + 2 * 79380, 140.0f, 2, 3, 2); // 3 beats at 100 = 79380
    QCOMPARE(c->bar, uint16_t(5));
    QCOMPARE(scale.nodeCount(), 4);

    scale.removeNode(a);
    QCOMPARE(scale.nodeCount(), 3);
    QCOMPARE(first->next, b);
    QCOMPARE(b->prev, first);
    QCOMPARE(b->bar, uint16_t(3)); // kept
    QCOMPARE(b->frame, 3 * kBar);  // now reached at 120 bpm
    QCOMPARE(b->tick, 11520u);
    QCOMPARE(b->beat, 12u);
    QCOMPARE(c->bar, uint16_t(5));
    QCOMPARE(c->frame, 3 * kBar + 2 * 79380);
    scale.setTimeFormat(TimeScale::BarsBeatsTicks);
    QCOMPARE(scale.format(3 * kBar + 26460), QStringLiteral("4.02.000"));
    QCOMPARE(scale.frameToTick(kBar), 3840u); // 120 bpm where a was
    checkList(scale);

    scale.removeNode(a); // already removed: refused
    QCOMPARE(scale.nodeCount(), 3);
    scale.removeNode(c); // last node
    QCOMPARE(scale.nodeCount(), 2);
    QCOMPARE(scale.lastNode(), b);
    QCOMPARE(b->next, nullptr);
    checkList(scale);

    TimeScale other;
    scale.removeNode(other.firstNode()); // another scale's node
    other.removeNode(b);
    QCOMPARE(scale.nodeCount(), 2);
    QCOMPARE(other.nodeCount(), 1);
}

void TestTimeScale::removeNodeRecyclesStorage()
{
    TimeScale scale;
    TempoNode* a = scale.setNode(kBar, 60.0f, 2, 4, 2);
    scale.removeNode(a);
    TempoNode* b = scale.setNode(4 * kBar, 90.0f, 2, 4, 2);
    QCOMPARE(b, a); // storage came back from the free list
    QCOMPARE(b->bar, uint16_t(4));
    QCOMPARE(b->scale, &scale);
    scale.reset();
    QCOMPARE(scale.nodeCount(), 1);
    QVERIFY(scale.firstNode()->hasValues(120.0f, 2, 4, 2));
    QCOMPARE(scale.firstNode()->next, nullptr);
}

void TestTimeScale::cursorWalksBothWays()
{
    TimeScale scale;
    buildMap(scale, 40);
    QCOMPARE(scale.nodeCount(), 40);
    checkList(scale);
    const std::vector<TempoNode*> nodes = nodesOf(scale);
    const uint32_t end = scale.lastNode()->frame + 200000;

    TimeScaleCursor cursor(scale);
    // Forward, then backward, then at random; each against a brute-force search.
    std::vector<uint32_t> frames;
    for (uint32_t f = 0; f < end; f += 7919)
        frames.push_back(f);
    for (TempoNode* n : nodes) {
        frames.push_back(n->frame);
        if (n->frame)
            frames.push_back(n->frame - 1);
    }
    std::sort(frames.begin(), frames.end());
    std::vector<uint32_t> order = frames;
    std::vector<uint32_t> backward(frames.rbegin(), frames.rend());
    order.insert(order.end(), backward.begin(), backward.end());
    std::vector<uint32_t> shuffled = frames;
    QRandomGenerator random(20261208);
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    order.insert(order.end(), shuffled.begin(), shuffled.end());

    for (uint32_t f : order) {
        QCOMPARE(cursor.nodeAtFrame(f), governing(scale, &TempoNode::frame, f));
        const uint32_t tick = scale.frameToTick(f);
        QCOMPARE(cursor.nodeAtTick(tick), governing(scale, &TempoNode::tick, tick));
        const uint32_t pixel = scale.frameToPixel(f);
        QCOMPARE(cursor.nodeAtPixel(pixel), governing(scale, &TempoNode::pixel, pixel));
        const uint32_t beat = scale.frameToMeterBeat(f);
        QCOMPARE(cursor.nodeAtMeterBeat(beat), governing(scale, &TempoNode::beat, beat));
        // Conversions through the cursor agree with the scale's own cursor.
        QCOMPARE(cursor.frameToTick(f), tick);
        QCOMPARE(cursor.tickToFrame(tick), scale.tickToFrame(tick));
    }
    for (uint16_t bar = 0; bar < 100; ++bar)
        QCOMPARE(cursor.nodeAtBar(bar), governing(scale, &TempoNode::bar, bar));
    for (int bar = 99; bar >= 0; --bar)
        QCOMPARE(cursor.nodeAtBar(uint16_t(bar)), governing(scale, &TempoNode::bar, uint16_t(bar)));
    // Exactly on a node's value the node itself governs; just before it, its predecessor.
    TempoNode* n = nodes[20];
    QCOMPARE(scale.nodeAtFrame(n->frame), n);
    QCOMPARE(scale.nodeAtFrame(n->frame - 1), nodes[19]);
    QCOMPARE(scale.nodeAtTick(n->tick), n);
    QCOMPARE(scale.nodeAtTick(n->tick - 1), nodes[19]);
    QCOMPARE(scale.nodeAtBar(n->bar), n);
    QCOMPARE(scale.nodeAtFrame(0xffffffffu), scale.lastNode());
    QCOMPARE(scale.nodeAtFrame(0), scale.firstNode());
}

void TestTimeScale::cursorSurvivesNodeChanges()
{
    TimeScale scale;
    buildMap(scale, 10);
    std::vector<TempoNode*> nodes = nodesOf(scale);
    TimeScaleCursor cursor(scale);
    TempoNode* middle = nodes[5];
    QCOMPARE(cursor.nodeAtFrame(middle->frame), middle);
    scale.removeNode(middle); // the cursor's node goes to the free list
    QCOMPARE(cursor.nodeAtFrame(0xffffffffu), scale.lastNode());
    QCOMPARE(cursor.nodeAtFrame(nodes[4]->frame + 1), nodes[4]);

    QCOMPARE(cursor.nodeAtFrame(nodes[8]->frame), nodes[8]);
    scale.removeNode(nodes[8]);
    QCOMPARE(cursor.nodeAtFrame(nodes[7]->frame), nodes[7]);

    QCOMPARE(cursor.nodeAtFrame(nodes[7]->frame), nodes[7]);
    scale.reset(); // every node released, one taken back
    QCOMPARE(cursor.nodeAtFrame(0xffffffffu), scale.firstNode());
    QCOMPARE(cursor.frameToTick(44100), 1920u);

    buildMap(scale, 10);
    QCOMPARE(cursor.nodeAtFrame(0xffffffffu), scale.lastNode());
    TimeScale copy;
    TimeScaleCursor copyCursor(copy);
    QCOMPARE(copyCursor.nodeAtFrame(0xffffffffu), copy.firstNode());
    copy.copyFrom(scale);
    QCOMPARE(copyCursor.nodeAtFrame(0xffffffffu), copy.lastNode());
    QCOMPARE(copyCursor.frameToTick(3000000), scale.frameToTick(3000000));
}

void TestTimeScale::copyFrom()
{
    TimeScale source;
    source.setSnapPerBeat(8);
    source.setTimeZoom(150);
    source.setHeightZoom(80);
    source.setTimeFormat(TimeScale::BarsBeatsTicks);
    source.setSampleRate(48000);
    source.setTicksPerBeat(480);
    source.setPixelsPerBeat(40);
    source.setNode(0, 100.0f, 2, 6, 3);
    source.setNode(300000, 77.5f, 2, 7, 3);
    source.setNode(900000, 140.0f, 2, 5, 2);

    TimeScale copy;
    buildMap(copy, 30); // more nodes than the source: the extra ones go
    copy.copyFrom(source);
    QCOMPARE(copy.snapPerBeat(), uint16_t(8));
    QCOMPARE(copy.timeZoom(), uint16_t(150));
    QCOMPARE(copy.heightZoom(), uint16_t(80));
    QCOMPARE(copy.timeFormat(), int(TimeScale::BarsBeatsTicks));
    QCOMPARE(copy.sampleRate(), 48000u);
    QCOMPARE(copy.ticksPerBeat(), uint16_t(480));
    QCOMPARE(copy.pixelsPerBeat(), uint16_t(40));
    QCOMPARE(copy.pixelsPerMinute(), source.pixelsPerMinute());
    QCOMPARE(copy.framesPerMinute(), source.framesPerMinute());
    QCOMPARE(copy.nodeCount(), 3);
    checkList(copy);
    const std::vector<TempoNode*> a = nodesOf(source);
    const std::vector<TempoNode*> b = nodesOf(copy);
    for (size_t i = 0; i < a.size(); ++i) {
        QVERIFY(a[i] != b[i]);
        QCOMPARE(b[i]->scale, &copy);
        QCOMPARE(b[i]->frame, a[i]->frame);
        QCOMPARE(b[i]->bar, a[i]->bar);
        QCOMPARE(b[i]->beat, a[i]->beat);
        QCOMPARE(b[i]->tick, a[i]->tick);
        QCOMPARE(b[i]->pixel, a[i]->pixel);
        QVERIFY(b[i]->hasValues(a[i]->tempo, a[i]->tempoUnit, a[i]->beatsPerBar, a[i]->beatUnit));
        QCOMPARE(b[i]->ticksPerMeterBeat, a[i]->ticksPerMeterBeat);
        QCOMPARE(b[i]->ticksPerMinute, a[i]->ticksPerMinute);
        QCOMPARE(b[i]->meterBeatsPerMinute, a[i]->meterBeatsPerMinute);
    }
    for (uint32_t f = 0; f < 2000000; f += 12345) {
        QCOMPARE(copy.frameToTick(f), source.frameToTick(f));
        QCOMPARE(copy.snapFrame(f), source.snapFrame(f));
        QCOMPARE(copy.format(f), source.format(f));
    }
    // The copy is independent of its source.
    copy.setNode(0, 60.0f, 2, 4, 2);
    copy.removeNode(copy.lastNode());
    QCOMPARE(source.nodeCount(), 3);
    QVERIFY(source.firstNode()->hasValues(100.0f, 2, 6, 3));
    copy.copyFrom(copy); // self-copy changes nothing
    QCOMPARE(copy.nodeCount(), 2);
    QVERIFY(copy.firstNode()->hasValues(60.0f, 2, 4, 2));
}

void TestTimeScale::roundTrips_data()
{
    QTest::addColumn<uint32_t>("sampleRate");
    QTest::addColumn<int>("ticksPerBeat");
    QTest::addColumn<float>("tempo");
    QTest::addColumn<int>("tempoUnit");
    QTest::addColumn<int>("beatsPerBar");
    QTest::addColumn<int>("beatUnit");
    QTest::newRow("44100 960 120 4/4") << 44100u << 960 << 120.0f << 2 << 4 << 2;
    QTest::newRow("48000 960 90 3/4") << 48000u << 960 << 90.0f << 2 << 3 << 2;
    QTest::newRow("44100 480 137.5 6/8") << 44100u << 480 << 137.5f << 2 << 6 << 3;
    QTest::newRow("96000 96 61.3 7/8") << 96000u << 96 << 61.3f << 2 << 7 << 3;
    QTest::newRow("22050 1920 200 2/2 half-note tempo") << 22050u << 1920 << 200.0f << 1 << 2 << 1;
    QTest::newRow("8000 960 72 2/2 quarter tempo") << 8000u << 960 << 72.0f << 2 << 2 << 1;
    QTest::newRow("44100 960 180 6/8 eighth tempo") << 44100u << 960 << 180.0f << 3 << 6 << 3;
    QTest::newRow("8000 1920 300 5/4 fine ticks") << 8000u << 1920 << 300.0f << 2 << 5 << 2;
    QTest::newRow("192000 384 33.3 12/16") << 192000u << 384 << 33.3f << 2 << 12 << 4;
}

void TestTimeScale::roundTrips()
{
    QFETCH(uint32_t, sampleRate);
    QFETCH(int, ticksPerBeat);
    QFETCH(float, tempo);
    QFETCH(int, tempoUnit);
    QFETCH(int, beatsPerBar);
    QFETCH(int, beatUnit);
    const float tempos[3] = {tempo, tempo * 0.75f, tempo * 1.3f};
    const uint16_t bars[3] = {0, 3, 7};

    TimeScale scale;
    scale.setSampleRate(sampleRate);
    scale.setTicksPerBeat(uint16_t(ticksPerBeat));
    scale.setNode(0, tempos[0], uint16_t(tempoUnit), uint16_t(beatsPerBar), uint16_t(beatUnit));

    // Independent reference: ticks per bar, frames per tick of each segment.
    const long double ticksPerBar = static_cast<long double>(beatsPerBar) * ticksPerBeat *
                                    std::ldexp(1.0L, tempoUnit - beatUnit);
    long double framesPerTick[3];
    for (int i = 0; i < 3; ++i)
        framesPerTick[i] =
            sampleRate * 60.0L / (static_cast<long double>(tempos[i]) * ticksPerBeat);
    long double nodeTick[3] = {0, bars[1] * ticksPerBar, bars[2] * ticksPerBar};
    long double nodeFrame[3] = {0, 0, 0};
    nodeFrame[1] = nodeTick[1] * framesPerTick[0];
    nodeFrame[2] = nodeFrame[1] + (nodeTick[2] - nodeTick[1]) * framesPerTick[1];
    for (int i = 1; i < 3; ++i) {
        TempoNode* node = scale.setNode(uint32_t(nodeFrame[i]), tempos[i], uint16_t(tempoUnit),
                                        uint16_t(beatsPerBar), uint16_t(beatUnit));
        QCOMPARE(node->bar, bars[i]);
        QVERIFY(std::fabs(node->frame - nodeFrame[i]) <= 1.0L);
        QVERIFY(std::fabs(node->tick - nodeTick[i]) <= 1.0L);
    }
    QCOMPARE(scale.nodeCount(), 3);
    const long double maxFramesPerTick =
        *std::max_element(std::begin(framesPerTick), std::end(framesPerTick));
    const long double minFramesPerTick =
        *std::min_element(std::begin(framesPerTick), std::end(framesPerTick));

    auto expectedFrame = [&](uint32_t tick) {
        int i = tick >= nodeTick[2] ? 2 : tick >= nodeTick[1] ? 1 : 0;
        return nodeFrame[i] + (tick - nodeTick[i]) * framesPerTick[i];
    };

    const uint32_t endTick = uint32_t(nodeTick[2] + 4 * ticksPerBar);
    const uint32_t step = std::max<uint32_t>(1, endTick / 5000);
    uint32_t previousFrame = 0;
    for (uint32_t tick = 0; tick < endTick; tick += step) {
        const uint32_t frame = scale.tickToFrame(tick);
        QVERIFY2(std::fabs(frame - expectedFrame(tick)) <= 1.5L,
                 qPrintable(QStringLiteral("tick %1 frame %2").arg(tick).arg(frame)));
        QVERIFY(frame >= previousFrame);
        previousFrame = frame;
        if (minFramesPerTick >= 1.0L) // ticks coarser than frames: tick -> frame -> tick is exact
            QCOMPARE(scale.frameToTick(frame), tick);
    }
    const uint32_t endFrame = uint32_t(expectedFrame(endTick));
    const uint32_t frameStep = std::max<uint32_t>(1, endFrame / 5000);
    const long double bound = maxFramesPerTick / 2 + 1.0L;
    for (uint32_t frame = 0; frame < endFrame; frame += frameStep) {
        const uint32_t back = scale.tickToFrame(scale.frameToTick(frame));
        QVERIFY2(std::fabs(static_cast<long double>(back) - frame) <= bound,
                 qPrintable(QStringLiteral("frame %1 back %2").arg(frame).arg(back)));
        if (maxFramesPerTick <= 1.0L) // frames coarser than ticks: frame -> tick -> frame exact
            QCOMPARE(back, frame);
        // Meter beats both ways on whole beats.
        const uint32_t beat = scale.frameToMeterBeat(frame);
        QVERIFY(scale.frameToMeterBeat(scale.meterBeatToFrame(beat)) == beat);
    }
    // Texts both ways on tick boundaries.
    scale.setTimeFormat(TimeScale::BarsBeatsTicks);
    for (uint32_t tick = 0; tick < endTick; tick += step * 13) {
        const uint32_t frame = scale.tickToFrame(tick);
        const QString text = scale.format(frame);
        if (minFramesPerTick >= 1.0L)
            QCOMPARE(scale.parse(text), frame);
        QCOMPARE(scale.parseTicks(text), scale.frameToTick(scale.parse(text)));
    }
}

void TestTimeScale::guards()
{
    TimeScale scale;
    TempoNode* zero = scale.setNode(kBar, 0.0f, 2, 4, 2);
    QVERIFY(zero->hasValues(0.0f, 2, 4, 2));                   // the tempo is kept as given
    QCOMPARE(zero->ticksPerMinute, 960.0f);                    // rates computed as 1 bpm
    QCOMPARE(scale.frameToTick(kBar + 2646000), 3840u + 960u); // one beat per minute
    QCOMPARE(scale.tickToFrame(3840 + 960), kBar + 2646000);
    TempoNode* nan = scale.setNode(kBar, std::nanf(""), 2, 4, 2);
    QCOMPARE(nan, zero);
    QCOMPARE(scale.tickToFrame(3840 + 960), kBar + 2646000);
    scale.setNode(kBar, -5.0f, 2, 0, 2); // negative tempo, 0 beats per bar
    scale.setTimeFormat(TimeScale::BarsBeatsTicks);
    QCOMPARE(scale.format(kBar + 2646000), QStringLiteral("3.01.000")); // a bar is one beat
    QCOMPARE(scale.format(kBar), QStringLiteral("2.01.000"));
    scale.setNode(2 * kBar, 120.0f, 2, 4, 40); // absurd meter: 960 >> 38 = 0 ticks per beat
    scale.setNode(kBar * 3, 120.0f, 30, 4, 2); // 960 << 28: saturates
    scale.setSnapPerBeat(4);
    for (uint32_t f = 0; f < 40000000; f += 1234567) {
        scale.snapFrame(f);
        scale.format(f);
        scale.format(f, true, 12345);
        scale.frameToMeterBeat(f);
        scale.tickToFrame(f);
        scale.pixelToTick(f);
        scale.frameToTick(f);
    }
    scale.setSampleRate(0);
    QCOMPARE(scale.sampleRate(), 1u);
    scale.setTicksPerBeat(0);
    QCOMPARE(scale.ticksPerBeat(), uint16_t(1));
    scale.setPixelsPerBeat(0);
    scale.setTimeZoom(0);
    QVERIFY(scale.pixelsPerMinute() > 0.0f);
    scale.pixelToFrame(100);
    scale.frameToSteps(100);
    scale.setTimeFormat(TimeScale::Clock);
    QCOMPARE(scale.format(3), QStringLiteral("00:00:03.000"));
    scale.parse(QStringLiteral("1e30:0:1e38")); // out of range: wraps, must not trap
    scale.parse(QStringLiteral("0:0:inf"));
    scale.setTimeFormat(TimeScale::BarsBeatsTicks);
    scale.parse(QStringLiteral("65535.4294967295.4294967295"));
}

QTEST_GUILESS_MAIN(TestTimeScale)
#include "tst_time_scale.moc"
