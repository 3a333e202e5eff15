#include "error_log.h"
#include "midi_file.h"
#include "midi_sequence.h"
#include "smf_bytes.h"

#include <QTest>
#include <array>
#include <vector>

using namespace smf;
// (time, status, data1, data2, duration) of every event.
using Row = std::tuple<uint32_t, int, int, int, uint32_t>;
using Rows = std::vector<Row>;

class TestMidiReader : public QObject
{
    Q_OBJECT

    static Rows rows(const MidiSequence& s)
    {
        Rows out;
        for (const MidiEvent* e = s.first(); e; e = e->next())
            out.push_back({e->time, e->isMeta() ? 0x100 | e->metaType : e->status, e->data1,
                           e->data2, e->duration});
        return out;
    }

    // Three tracks: a conductor with a tempo, a piano part on channel 0, a bass on channel 3.
    static QByteArray threeTracks()
    {
        return header(1, 3, 480) + track(tempo(0, 600000)) +
               track(meta(0, 0x03, "  Piano \t part ") + ev(0, {0x90, 60, 100}) +
                     ev(480, {0x80, 60, 0})) +
               track(ev(240, {0x93, 40, 90}) + ev(240, {0x93, 40, 0}));
    }

private Q_SLOTS:
    void init() { ErrorLog::clear(); }

    void format1FillsEachDestinationFromItsTrack()
    {
        MidiFile file;
        QVERIFY(file.openData(threeTracks()));
        QCOMPARE(file.trackCount(), 3);
        MidiSequence a, b, c;
        MidiSequence* all[] = {&a, &b, &c};
        QVERIFY(file.readTracks(all, 0));
        QVERIFY(a.isEmpty());
        QCOMPARE(file.tempoMap()->nodes().front().tempo, 100.0f);
        QCOMPARE(rows(b), (Rows{{0, 0x90, 60, 100, 960}}));
        QCOMPARE(b.name(), QStringLiteral("Piano part"));
        QCOMPARE(rows(c), (Rows{{480, 0x90, 40, 90, 480}}));
        QCOMPARE(c.channel(), 3);

        MidiSequence one;
        QVERIFY(file.readTrack(one, 2));
        QCOMPARE(rows(one), rows(c));
        QVERIFY(!file.readTrack(one, 3)); // beyond the file's tracks
        QVERIFY(!ErrorLog::isEmpty());
    }

    void format0IsSplitByChannel()
    {
        const QByteArray events = meta(0, 0x01, "hello") + ev(0, {0x99, 36, 100}) +
                                  ev(0, {0x90, 60, 80}) + ev(120, {0x89, 36, 0}) +
                                  ev(0, {0x93, 48, 70}) + ev(120, {0x80, 60, 0}) +
                                  ev(0, {0x83, 48, 0}) + ev(0, {0xB9, 7, 99});
        const QByteArray data = header(0, 1, 960) + track(events);
        MidiFile file;
        QVERIFY(file.openData(data));

        MidiSequence drums;
        QVERIFY(file.readTrack(drums, 9));
        QCOMPARE(rows(drums),
                 (Rows{{0, 0x101, 0, 0, 0}, {0, 0x90, 36, 100, 120}, {240, 0xB0, 7, 99, 0}}));
        QCOMPARE(drums.channel(), 9);

        std::array<MidiSequence, 16> channels;
        std::vector<MidiSequence*> destinations;
        for (auto& s : channels)
            destinations.push_back(&s);
        QVERIFY(file.readTracks(destinations, 0));
        QCOMPARE(rows(channels[0]), (Rows{{0, 0x101, 0, 0, 0}, {0, 0x90, 60, 80, 240}}));
        QCOMPARE(rows(channels[3]), (Rows{{120, 0x90, 48, 70, 120}}));
        QCOMPARE(rows(channels[9]), (Rows{{0, 0x90, 36, 100, 120}, {240, 0xB0, 7, 99, 0}}));
        QCOMPARE(channels[9].channel(), 9);
        QVERIFY(channels[5].isEmpty());
    }

    void tempoIsAWholeNumberOfBeatsPerMinute_data()
    {
        QTest::addColumn<int>("microseconds");
        QTest::addColumn<float>("bpm");
        QTest::newRow("500000") << 500000 << 120.0f;
        QTest::newRow("600000") << 600000 << 100.0f;
        QTest::newRow("512820 (116.9997)") << 512820 << 117.0f;
        QTest::newRow("461538 (130.0001)") << 461538 << 130.0f;
        QTest::newRow("0xFFFFFF") << 0xFFFFFF << 4.0f;
    }
    void tempoIsAWholeNumberOfBeatsPerMinute()
    {
        QFETCH(int, microseconds);
        QFETCH(float, bpm);
        MidiFile file;
        QVERIFY(file.openData(header(1, 1, 96) + track(tempo(0, uint32_t(microseconds)))));
        MidiSequence s;
        QVERIFY(file.readTrack(s, 0));
        QCOMPARE(file.tempoMap()->nodes().size(), size_t(1));
        QCOMPARE(file.tempoMap()->nodes().front().tempo, bpm);
    }

    void tempoAndMeterChangesMoveToTheirBar()
    {
        // At 480 ticks per quarter a 4/4 bar is 1920 ticks; 3/4 bars are 1440.
        const QByteArray events = tempo(0, 500000) + tempo(2000, 600000) // 1920, bar 1
                                  + meter(1800, 3, 2)                    // 3800 -> 1920
                                  + meter(1500, 6, 3)                    // 5300 -> 4800, bar 3
                                  + tempo(0, 0);                         // ignored
        MidiFile file;
        QVERIFY(file.openData(header(1, 1, 480) + track(events)));
        MidiSequence s;
        QVERIFY(file.readTrack(s, 0));
        std::vector<std::tuple<uint32_t, int, float, int, int>> nodes;
        for (const auto& n : file.tempoMap()->nodes())
            nodes.push_back({n.time, n.bar, n.tempo, n.numerator, n.exponent});
        QCOMPARE(nodes,
                 (decltype(nodes){{0, 0, 120, 4, 2}, {1920, 1, 100, 3, 2}, {4800, 3, 100, 6, 3}}));
        QVERIFY(s.isEmpty()); // tempo and meter live in the map, not in the sequence
    }

    void controllersProgramsAndRunningStatus()
    {
        const QByteArray events =
            ev(0, {0xB2, 0, 1}) + ev(0, {32, 5})       // bank MSB 1, LSB 5 with running status
            + ev(0, {0xC2, 33}) + ev(0, {0xC2, 44})    // only the first program
            + ev(10, {0xB2, 7, 100}) + ev(0, {10, 64}) // stored controllers
            + ev(10, {0xD2, 77}) + ev(0, {0xE2, 0x00, 0x40}) // pressure, bend
            + ev(0, {0xA2, 60, 20}) + ev(10, {0x92, 60, 90}) // key pressure, note
            + ev(10, {60, 0}) + ev(0, {62, 91})              // off by velocity 0
            + meta(0, 0x7F, bytes({1, 2, 3}))                // kept, running status too
            + ev(5, {62, 0});
        MidiFile file;
        QVERIFY(file.openData(header(1, 1, 960) + track(events)));
        MidiSequence s;
        QVERIFY(file.readTrack(s, 0));
        QCOMPARE(s.bank(), 1 * 128 + 5);
        QCOMPARE(s.program(), 33);
        QCOMPARE(s.channel(), 2);
        QCOMPARE(rows(s), (Rows{{10, 0xB0, 7, 100, 0},
                                {10, 0xB0, 10, 64, 0},
                                {20, 0xD0, 0, 77, 0},
                                {20, 0xE0, 0, 0x40, 0},
                                {20, 0xA0, 60, 20, 0},
                                {30, 0x90, 60, 90, 10},
                                {40, 0x90, 62, 91, 5},
                                {40, 0x17F, 0, 0, 0}}));
        QCOMPARE(s.last()->data(), bytes({1, 2, 3}));
        QCOMPARE(s.end(), 45u);
    }

    void runningStatusOutlivesMetaAndSysExEvents()
    {
        // A meta or system exclusive event between two channel messages does not become the
        // running status: the note-ons after them leave out their status byte and still read
        // as notes on channel 1.
        const QByteArray events = ev(0, {0x91, 60, 100}) + meta(10, 0x01, "text") +
                                  ev(0, {64, 101}) + ev(10, {0xF0, 3, 0x7E, 0x01, 0xF7}) +
                                  ev(0, {67, 102}) + ev(10, {0x81, 60, 0}) + ev(0, {64, 0}) +
                                  ev(0, {67, 0});
        MidiFile file;
        QVERIFY(file.openData(header(1, 1, 960) + track(events)));
        MidiSequence s;
        QVERIFY(file.readTrack(s, 0));
        Rows notes;
        for (const Row& row : rows(s))
            if (std::get<1>(row) == 0x90)
                notes.push_back(row);
        QCOMPARE(notes,
                 (Rows{{0, 0x90, 60, 100, 30}, {10, 0x90, 64, 101, 20}, {20, 0x90, 67, 102, 10}}));
        QCOMPARE(s.channel(), 1);
    }

    void onlyTheTopBitOfTheDivisionMeansFramesPerSecond()
    {
        // 24576 ticks per quarter note (bit 14 set) is a fine resolution, read and scaled.
        MidiFile file;
        QVERIFY(file.openData(header(1, 1, 0x6000) + track(ev(0x6000, {0x90, 60, 1}))));
        MidiSequence s(QString(), 0, 960);
        QVERIFY(file.readTrack(s, 0));
        QCOMPARE(s.first()->time, 960u);
        QVERIFY(!file.openData(header(1, 1, 0xE728) + track(QByteArray())));
    }

    void timesFollowTheDestinationResolutionAndWindow()
    {
        // Division 480 read at 960: times double. begin 960 and length 1000 keep [960, 1960].
        const QByteArray events = meta(0, 0x01, "at zero") + ev(100, {0x90, 60, 1}) +
                                  ev(400, {0x90, 61, 2}) + ev(400, {0x80, 61, 0}) +
                                  ev(101, {0x90, 62, 3}) // 1001 -> 2002: past the window
                                  + ev(0, {0x90, 63, 4});
        MidiFile file;
        QVERIFY(file.openData(header(1, 1, 480) + track(events)));
        MidiSequence s(QString(), 0, 960);
        s.setBegin(960);
        s.setLength(1000);
        QVERIFY(file.readTrack(s, 0));
        // The note before begin is dropped; the meta event is kept at 0.
        QCOMPARE(rows(s), (Rows{{0, 0x101, 0, 0, 0}, {40, 0x90, 61, 2, 800}}));
        QCOMPARE(s.end(), 1000u); // the window's length
    }

    void endOfTrackSetsTheEnd()
    {
        MidiFile file;
        QVERIFY(file.openData(header(1, 1, 960) +
                              track(ev(0, {0x90, 60, 1}) + meta(3000, 0x2F, QByteArray()) +
                                        bytes({0, 0, 0, 0}), // padding after the end
                                    false)));
        MidiSequence s;
        QVERIFY(file.readTrack(s, 0));
        QCOMPARE(s.end(), 3000u);
        QCOMPARE(s.first()->duration, 3000u); // never switched off: lasts until the end
        QVERIFY(ErrorLog::isEmpty());
    }
};

Q_DECLARE_METATYPE(Rows)

QTEST_GUILESS_MAIN(TestMidiReader)
#include "tst_midi_reader.moc"
