#include "conductor_hook.h"
#include "error_log.h"
#include "midi_file.h"
#include "midi_sequence.h"
#include "smf_bytes.h"

#include <QTemporaryDir>
#include <QTest>

using namespace smf;

namespace {

class MarkerHook : public ConductorHook
{
public:
    void writeConductor(MidiSequence& events) override
    {
        events.insert(MidiEvent::meta(0, 0x01, "mark"));
        events.insert(MidiEvent::channel(0, 0x90, 1, 1)); // not for a conductor: left out
    }
    bool readConductor(const MidiSequence&, QString&) override { return false; }
};

// The bytes of the track chunk at index (its data, after the length).
QByteArray chunk(const QByteArray& file, int index)
{
    int at = 14;
    for (;;) {
        const int length = int(uint8_t(file[at + 4])) << 24 | int(uint8_t(file[at + 5])) << 16 |
                           int(uint8_t(file[at + 6])) << 8 | int(uint8_t(file[at + 7]));
        if (index-- == 0)
            return file.mid(at + 8, length);
        at += 8 + length;
    }
}

const QByteArray endOfTrack = bytes({0x00, 0xFF, 0x2F, 0x00});
const QByteArray tempo120 = bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});
const QByteArray meter44 = bytes({0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x20, 0x04});

} // namespace

class TestMidiWriter : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }

private Q_SLOTS:
    void init() { ErrorLog::clear(); }

    void conductorTrackHoldsNameSongStructureAndTempoMap()
    {
        MarkerHook hook;
        MidiFile file;
        QVERIFY(file.open(path("song.mid"), MidiFile::Write));
        QVERIFY(file.writeHeader(1, 1, 480));
        file.setSongStructure(&hook);
        file.tempoMap()->set(1920, 100, 4, 2);
        file.tempoMap()->set(3840, 100, 3, 3);
        QVERIFY(file.writeTrack(nullptr));
        QVERIFY(file.close());
        const QByteArray data = load(path("song.mid"));
        QCOMPARE(data.left(14), header(1, 1, 480));
        QCOMPARE(chunk(data, 0),
                 meta(0, 0x03, "song") + meta(0, 0x01, "mark") + tempo120 + meter44 +
                     bytes({0x8F, 0x00, 0xFF, 0x51, 0x03, 0x09, 0x27, 0xC0}) // 100 after 1920
                     + bytes({0x8F, 0x00, 0xFF, 0x58, 0x04, 0x03, 0x03, 0x20, 0x04}) // 3/8 only
                     + endOfTrack);
    }

    void programComesFirstAndRunningStatusRestartsAfterMetaAndSysEx()
    {
        MidiSequence s(QStringLiteral("Lead"), 5, 480);
        s.setProgram(10);
        s.setBank(300); // read but never written
        s.insert(MidiEvent::note(0, 60, 100, 10));
        s.insert(MidiEvent::channel(0, 0xB0, 7, 100));
        s.insert(MidiEvent::channel(5, 0xB0, 10, 64));
        s.insert(MidiEvent::meta(5, 0x01, "t"));
        s.insert(MidiEvent::channel(5, 0xB0, 7, 90));
        s.insert(MidiEvent::sysex(6, bytes({0x7E, 0x7F, 0xF7})));
        s.insert(MidiEvent::channel(6, 0xB0, 1, 2));
        s.insert(MidiEvent::channel(6, 0xE0, 0, 64));
        s.insert(MidiEvent::channel(6, 0xD0, 0, 33));
        MidiFile file;
        QVERIFY(file.open(path("run.mid"), MidiFile::Write));
        QVERIFY(file.writeHeader(1, 2, 480));
        QVERIFY(file.writeTrack(nullptr));
        QVERIFY(file.writeTrack(&s));
        QVERIFY(file.close());
        QCOMPARE(chunk(load(path("run.mid")), 1),
                 meta(0, 0x03, "Lead") + bytes({0x00, 0xC5, 10})       // program at delta 0
                     + bytes({0x00, 0x95, 60, 100})                    // note on
                     + bytes({0x00, 0xB5, 7, 100, 0x05, 10, 64})       // running status
                     + meta(0, 0x01, "t") + bytes({0x00, 0xB5, 7, 90}) // restarted after meta
                     + bytes({0x01, 0xF0, 0x03, 0x7E, 0x7F, 0xF7})     // sysex
                     + bytes({0x00, 0xB5, 1, 2, 0x00, 0xE5, 0, 64, 0x00, 0xD5, 33}) +
                     bytes({0x04, 0x85, 60, 0}) // note off from the duration
                     + endOfTrack);
    }

    void mergedSequencesGoHigherIndexFirstWithTheTempoMapInterleaved()
    {
        MidiSequence a(QString(), 0, 96), b(QString(), 1, 96);
        a.insert(MidiEvent::note(0, 60, 100, 10));
        a.insert(MidiEvent::channel(20, 0xB0, 7, 1));
        b.insert(MidiEvent::note(0, 62, 100, 10));
        b.insert(MidiEvent::channel(20, 0xB0, 7, 2));
        MidiFile file;
        QVERIFY(file.open(path("merge.mid"), MidiFile::Write));
        QVERIFY(file.writeHeader(0, 5, 96));  // format 0 holds one track whatever is asked
        file.tempoMap()->set(384, 100, 4, 2); // after the last event: still written
        MidiSequence* both[] = {&a, &b};
        QVERIFY(file.writeTracks(both));
        QVERIFY(file.close());
        const QByteArray data = load(path("merge.mid"));
        QCOMPARE(data.left(14), header(0, 1, 96));
        QCOMPARE(chunk(data, 0),
                 tempo120 + meter44 + bytes({0x00, 0x91, 62, 100, 0x00, 0x90, 60, 100}) +
                     bytes({0x0A, 0x81, 62, 0, 0x00, 0x80, 60, 0}) // offs: channel 1 first
                     + bytes({0x0A, 0xB1, 7, 2, 0x00, 0xB0, 7, 1}) // controllers likewise
                     + bytes({0x82, 0x6C, 0xFF, 0x51, 0x03, 0x09, 0x27, 0xC0}) // at 384
                     + endOfTrack);
    }

    void writtenTracksReadBackTheSame()
    {
        MidiSequence a(QStringLiteral("one"), 2, 480), b(QStringLiteral("two"), 9, 480);
        a.setProgram(5);
        a.insert(MidiEvent::note(0, 60, 100, 480));
        a.insert(MidiEvent::note(240, 60, 90, 480)); // overlaps the same key
        a.insert(MidiEvent::channel(300, 0xE0, 0x7F, 0x7F));
        a.insert(MidiEvent::meta(400, 0x06, "Main A"));
        b.insert(MidiEvent::note(1, 36, 127, 1));
        b.insert(MidiEvent::sysex(3, bytes({0xF0, 0x43, 0x10, 0xF7})));
        MidiFile out;
        QVERIFY(out.open(path("round.mid"), MidiFile::Write));
        QVERIFY(out.writeHeader(1, 3, 960)); // written at twice the sequences' resolution
        MidiSequence* tracks[] = {nullptr, &a, &b};
        QVERIFY(out.writeTracks(tracks));
        QVERIFY(out.close());

        MidiFile in;
        QVERIFY(in.open(path("round.mid"), MidiFile::Read));
        MidiSequence c(QString(), 0, 480), ra(QString(), 0, 480), rb(QString(), 0, 480);
        MidiSequence* back[] = {&c, &ra, &rb};
        QVERIFY(in.readTracks(back, 0));
        QCOMPARE(ra.name(), a.name());
        QCOMPARE(ra.program(), 5);
        QCOMPARE(rb.channel(), 9);
        for (auto [x, y] : {std::pair{&a, &ra}, std::pair{&b, &rb}}) {
            QCOMPARE(y->count(), x->count());
            for (const MidiEvent *e = x->first(), *f = y->first(); e;
                 e = e->next(), f = f->next()) {
                QCOMPARE(f->time, e->time);
                QCOMPARE(f->status, e->status);
                QCOMPARE(f->data1, e->data1);
                QCOMPARE(f->data2, e->data2);
                QCOMPARE(f->data(), e->data());
            }
        }
        // Overlapping notes of one key cannot be told apart in a file: the second note on ends
        // the first, and the first note off (due at 480) ends the second.
        QCOMPARE(ra.first()->duration, 240u);
        QCOMPARE(ra.first()->next()->duration, 240u);
    }

    void aFailedOrUnfinishedWriteLeavesThePreviousFile()
    {
        const QString target = path("keep.mid");
        const QByteArray before = header(1, 1, 96) + track(QByteArray());
        QVERIFY(save(target, before));
        MidiSequence s;
        s.insert(MidiEvent::note(0, 60, 100, 10));
        {
            MidiFile file;
            QVERIFY(file.open(target, MidiFile::Write));
            QVERIFY(file.writeHeader(1, 1, 960));
            QVERIFY(file.writeTrack(&s));
            file.discard();
        }
        QCOMPARE(load(target), before);
        {
            MidiFile file; // destroyed while still open for writing
            QVERIFY(file.open(target, MidiFile::Write));
            QVERIFY(file.writeHeader(1, 1, 960));
            QVERIFY(file.writeTrack(&s));
        }
        QCOMPARE(load(target), before);
        MidiFile file;
        QVERIFY(!file.open(dir.filePath("no/such/folder/x.mid"), MidiFile::Write));
        QVERIFY(!ErrorLog::isEmpty());
        QVERIFY(file.open(target, MidiFile::Write));
        QVERIFY(!file.writeTrack(&s)); // no header yet
        QVERIFY(file.writeHeader(1, 9, 960));
        QVERIFY(!file.writeHeader(1, 1, 960));
        QVERIFY(file.writeTrack(&s));
        QVERIFY(file.close());
        QCOMPARE(load(target).left(14), header(1, 1, 960)); // the count of chunks written
    }
};

QTEST_GUILESS_MAIN(TestMidiWriter)
#include "tst_midi_writer.moc"
