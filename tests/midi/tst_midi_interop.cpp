#include "error_log.h"
#include "midi_file.h"
#include "midi_sequence.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// Round trips through an independent reader and writer: Debian's python3-mido, driven by
// tests/data/midi/mido_peer.py.
class TestMidiInterop : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }

    static QString python()
    {
        // Debian's interpreter, which has python3-mido; another python3 on PATH may not.
        return QFileInfo::exists(QStringLiteral("/usr/bin/python3"))
                   ? QStringLiteral("/usr/bin/python3")
                   : QStringLiteral("python3");
    }
    static QString peer(const QStringList& arguments, bool* ok)
    {
        QProcess process;
        process.start(python(),
                      QStringList{QStringLiteral(CANTOVA_TEST_DATA "/midi/mido_peer.py")} +
                          arguments);
        *ok = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
              process.exitCode() == 0;
        if (!*ok)
            qWarning("mido peer failed (install python3-mido): %s",
                     process.readAllStandardError().constData());
        return QString::fromUtf8(process.readAllStandardOutput());
    }

    using Row = std::tuple<uint32_t, int, int, int, uint32_t>; // time, status, data1, data2, length
    static std::vector<Row> rows(const MidiSequence& s)
    {
        std::vector<Row> out;
        for (const MidiEvent* e = s.first(); e; e = e->next())
            out.push_back({e->time, e->isMeta() ? 0x100 | e->metaType : e->status, e->data1,
                           e->data2, e->isNote() ? e->duration : uint32_t(e->length())});
        return out;
    }

    // A format-1 song at 480 ticks per quarter: tempo and meter changes, a lead part with every
    // kind of event, and drums.
    bool writeSong(const QString& file)
    {
        MidiSequence lead(QStringLiteral("Lead"), 2, 480), drums(QStringLiteral("Drums"), 9, 480);
        lead.setProgram(5);
        lead.insert(MidiEvent::note(0, 60, 100, 240));
        lead.insert(MidiEvent::note(240, 60, 90, 240));
        lead.insert(MidiEvent::channel(100, 0xB0, 7, 80));
        lead.insert(MidiEvent::channel(300, 0xE0, 0x00, 0x60));
        lead.insert(MidiEvent::channel(300, 0xD0, 0, 50));
        lead.insert(MidiEvent::channel(310, 0xA0, 60, 40));
        lead.insert(MidiEvent::meta(400, 0x01, "[Am"));
        lead.insert(MidiEvent::meta(400, 0x06, "Main A"));
        lead.insert(MidiEvent::sysex(450, QByteArray::fromHex("f043104c00007e00f7")));
        lead.insert(MidiEvent::note(480, 64, 70, 960));
        drums.insert(MidiEvent::note(0, 36, 120, 10));
        drums.insert(MidiEvent::note(0, 42, 80, 10));
        drums.insert(MidiEvent::note(240, 36, 100, 10));
        MidiFile out;
        if (!out.open(file, MidiFile::Write) || !out.writeHeader(1, 3, 480))
            return false;
        out.tempoMap()->set(1920, 100, 3, 2);
        out.tempoMap()->set(3360, 100, 6, 3);
        MidiSequence* tracks[] = {nullptr, &lead, &drums};
        return out.writeTracks(tracks) && out.close();
    }

private Q_SLOTS:
    void init() { ErrorLog::clear(); }

    void theirReaderSeesWhatWeWrite()
    {
        const QString file = path(QStringLiteral("cantova.mid"));
        QVERIFY(writeSong(file));
        bool ok = false;
        const QStringList lines =
            peer({QStringLiteral("dump"), file}, &ok).split('\n', Qt::SkipEmptyParts);
        QVERIFY(ok);
        const QStringList expected = {
            "1 480",
            "track 0",
            "0 track_name name=cantova",
            "0 set_tempo tempo=500000",
            "0 time_signature clocks_per_click=32 denominator=4 notated_32nd_notes_per_beat=4 "
            "numerator=4",
            "1920 set_tempo tempo=600000",
            "1920 time_signature clocks_per_click=32 denominator=4 notated_32nd_notes_per_beat=4 "
            "numerator=3",
            "3360 time_signature clocks_per_click=32 denominator=8 notated_32nd_notes_per_beat=4 "
            "numerator=6",
            "3360 end_of_track",
            "track 1",
            "0 track_name name=Lead",
            "0 program_change channel=2 program=5",
            "0 note_on channel=2 note=60 velocity=100",
            "100 control_change channel=2 control=7 value=80",
            "240 note_off channel=2 note=60 velocity=0",
            "240 note_on channel=2 note=60 velocity=90",
            "300 pitchwheel channel=2 pitch=4096",
            "300 aftertouch channel=2 value=50",
            "310 polytouch channel=2 note=60 value=40",
            "400 text text=[Am",
            "400 marker text=Main A",
            "450 sysex data=67-16-76-0-0-126-0",
            "480 note_off channel=2 note=60 velocity=0",
            "480 note_on channel=2 note=64 velocity=70",
            "1440 note_off channel=2 note=64 velocity=0",
            "1440 end_of_track",
            "track 2",
            "0 track_name name=Drums",
            "0 note_on channel=9 note=36 velocity=120",
            "0 note_on channel=9 note=42 velocity=80",
            "10 note_off channel=9 note=36 velocity=0",
            "10 note_off channel=9 note=42 velocity=0",
            "240 note_on channel=9 note=36 velocity=100",
            "250 note_off channel=9 note=36 velocity=0",
            "250 end_of_track",
        };
        QCOMPARE(lines, expected);
    }

    void whatTheyRewriteReadsTheSame()
    {
        const QString ours = path(QStringLiteral("ours.mid"));
        const QString theirs = path(QStringLiteral("theirs.mid"));
        QVERIFY(writeSong(ours));
        bool ok = false;
        peer({QStringLiteral("resave"), ours, theirs}, &ok);
        QVERIFY(ok);
        MidiFile a, b;
        QVERIFY(a.open(ours, MidiFile::Read));
        QVERIFY(b.open(theirs, MidiFile::Read));
        for (int track = 0; track < 3; ++track) {
            MidiSequence x, y;
            QVERIFY(a.readTrack(x, track));
            QVERIFY(b.readTrack(y, track));
            QCOMPARE(rows(y), rows(x));
            QCOMPARE(y.name(), x.name());
            QCOMPARE(y.program(), x.program());
        }
        QCOMPARE(b.tempoMap()->nodes().size(), size_t(3));
        for (size_t i = 0; i < 3; ++i) {
            const auto& n = a.tempoMap()->nodes()[i];
            const auto& m = b.tempoMap()->nodes()[i];
            QCOMPARE(std::tuple(m.time, m.bar, m.tempo, m.numerator, m.exponent),
                     std::tuple(n.time, n.bar, n.tempo, n.numerator, n.exponent));
        }
    }

    void theirFormat1SongLoads()
    {
        const QString file = path(QStringLiteral("peer.mid"));
        bool ok = false;
        peer({QStringLiteral("write"), file}, &ok);
        QVERIFY(ok);
        MidiFile in;
        QVERIFY(in.open(file, MidiFile::Read));
        MidiSequence conductor(QString(), 0, 960), melody(QString(), 0, 960),
            drums(QString(), 0, 960);
        MidiSequence* all[] = {&conductor, &melody, &drums};
        QVERIFY(in.readTracks(all, 0));
        QCOMPARE(melody.name(), QStringLiteral("Peer melody"));
        QCOMPARE(melody.channel(), 4);
        QCOMPARE(melody.program(), 20);
        // 96 ticks per quarter read at 960. The last note is never switched off: it lasts
        // until the end of the track.
        QCOMPARE(rows(melody), (std::vector<Row>{{0, 0x90, 67, 100, 960},
                                                 {960, 0x90, 69, 80, 480},
                                                 {1440, 0xB0, 64, 127, 0},
                                                 {1540, 0xE0, 48, 48, 0}, // -2000 + 8192
                                                 {1640, 0x90, 71, 90, 960}}));
        QCOMPARE(rows(drums),
                 (std::vector<Row>{{0, 0x90, 35, 100, 240}, {480, 0x90, 35, 100, 240}}));
        const auto& nodes = in.tempoMap()->nodes();
        QCOMPARE(nodes.size(), size_t(2));
        QCOMPARE(nodes[0].tempo, 90.0f); // 666667 microseconds
        QCOMPARE(nodes[0].numerator, 3);
        QCOMPARE(std::tuple(nodes[1].time, nodes[1].bar, nodes[1].tempo),
                 std::tuple(576u, 2, 150.0f));
    }

    void theirFormat0FileSplitsByChannel()
    {
        const QString file = path(QStringLiteral("peer0.mid"));
        bool ok = false;
        peer({QStringLiteral("write0"), file}, &ok);
        QVERIFY(ok);
        MidiFile in;
        QVERIFY(in.open(file, MidiFile::Read));
        QCOMPARE(in.format(), 0);
        std::array<MidiSequence, 16> channels;
        std::vector<MidiSequence*> all;
        for (auto& s : channels)
            all.push_back(&s);
        QVERIFY(in.readTracks(all, 0));
        // 480 ticks per quarter read at 960.
        QCOMPARE(rows(channels[0]),
                 (std::vector<Row>{{0, 0x101, 0, 0, 4}, {0, 0x90, 60, 100, 960}}));
        QCOMPARE(rows(channels[5]),
                 (std::vector<Row>{{480, 0x90, 62, 90, 960}, {480, 0xB0, 7, 100, 0}}));
        MidiSequence five;
        QVERIFY(in.readTrack(five, 5));
        QCOMPARE(rows(five),
                 (std::vector<Row>{
                     {0, 0x101, 0, 0, 4}, {480, 0x90, 62, 90, 960}, {480, 0xB0, 7, 100, 0}}));
    }
};

QTEST_GUILESS_MAIN(TestMidiInterop)
#include "tst_midi_interop.moc"
