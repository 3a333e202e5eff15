#include "error_log.h"
#include "midi_clip.h"
#include "midi_file.h"
#include "session.h"
#include "smf_bytes.h"
#include "track.h"

#include <QTemporaryDir>
#include <QTest>

using namespace smf;

class TestMidiClip : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    Session session;
    Track* midiTrack = nullptr;

    QString path(const QString& name) const { return dir.filePath(name); }

    // Format 1 at 960 ticks: conductor, then "Tune" on channel 3 with notes at 0, 1920, 3840.
    QString writeTune()
    {
        const QByteArray notes = meta(0, 0x03, "Tune") + ev(0, {0x93, 60, 100}) +
                                 ev(960, {0x83, 60, 0}) + ev(960, {0x93, 62, 100}) +
                                 ev(960, {0x83, 62, 0}) + ev(960, {0x93, 64, 100}) +
                                 ev(960, {0x83, 64, 0});
        const QString p = path(QStringLiteral("tune.mid"));
        save(p, header(1, 2, 960) + smf::track(tempo(0, 500000)) + smf::track(notes));
        return p;
    }
    static std::unique_ptr<MidiFile> openFile(const QString& p, int mode)
    {
        auto file = std::make_unique<MidiFile>();
        return file->open(p, mode) ? std::move(file) : nullptr;
    }
    MidiClip* addClip(uint32_t start = 0)
    {
        auto* clip = new MidiClip(&session);
        clip->setStart(start);
        midiTrack->addClip(clip);
        return clip;
    }
    static std::vector<uint32_t> times(const MidiClip* clip)
    {
        std::vector<uint32_t> out;
        for (const MidiEvent* e = clip->sequence().first(); e; e = e->next())
            out.push_back(e->time);
        return out;
    }

private Q_SLOTS:
    void init()
    {
        ErrorLog::clear();
        session.clear();
        session.setTicksPerBeat(960);
        midiTrack = new Track(&session, Track::MidiTrack);
        session.addTrack(midiTrack);
    }

    void bindingAFileReadsItsTrackAndSizesTheClip()
    {
        MidiClip* clip = addClip();
        QVERIFY(clip->bindFile(openFile(writeTune(), MidiFile::Read), 1));
        QCOMPARE(times(clip), (std::vector<uint32_t>{0, 1920, 3840}));
        QCOMPARE(clip->name(), QStringLiteral("Tune"));
        QCOMPARE(clip->filePath(), path(QStringLiteral("tune.mid")));
        QCOMPARE(clip->trackNumber(), 1);
        QVERIFY(!clip->isModified());
        QCOMPARE(clip->length(), session.scale().tickToFrame(4800)); // to the last note's end
        QCOMPARE(clip->file(), nullptr);                             // a file read is not kept open
        QVERIFY(!clip->bindFile(openFile(writeTune(), MidiFile::Read), 5)); // no track 5
    }

    void theClipsOffsetSkipsTheStartOfItsFile()
    {
        MidiClip* clip = addClip(session.scale().tickToFrame(7680)); // bar 2
        clip->setOffset(session.scale().tickToFrame(7680) - session.scale().tickToFrame(5760));
        // The window holds [begin, begin + length]; the third note at 3840 lies after it.
        clip->setLength(session.scale().tickToFrame(7680 + 1900) - clip->start());
        QVERIFY(clip->bindFile(openFile(writeTune(), MidiFile::Read), 1));
        // begin is 1920 ticks: only the second note remains.
        QCOMPARE(clip->sequence().begin(), 1920u);
        QCOMPARE(times(clip), (std::vector<uint32_t>{0}));
        QCOMPARE(clip->sequence().first()->data1, 62);
        clip->seek(session.scale().tickToFrame(7680 + 10) - clip->start());
        QCOMPARE(clip->cursor(0).event(), nullptr);
        clip->rewind(false);
        QCOMPARE(clip->cursor(1).event(), clip->sequence().first());
    }

    void aFormat0FileIsReadByChannel()
    {
        const QString p = path(QStringLiteral("zero.mid"));
        save(p, header(0, 1, 960) + smf::track(ev(0, {0x90, 60, 1}) + ev(0, {0x99, 36, 2}) +
                                               ev(10, {0x89, 36, 0}) + ev(0, {0x80, 60, 0})));
        MidiClip* clip = addClip();
        QVERIFY(clip->bindFile(openFile(p, MidiFile::Read), 9));
        QCOMPARE(clip->sequence().count(), 1);
        QCOMPARE(clip->format(), 0);
        QVERIFY(clip->toolTip().contains(QStringLiteral(" (format 0)\nMIDI:\tChannel 10")));
    }

    void closingReleasesOnlyWhatTheFileHolds()
    {
        MidiClip* clip = addClip();
        QVERIFY(clip->bindFile(openFile(writeTune(), MidiFile::Read), 1));
        clip->close(false);
        QVERIFY(clip->sequence().isEmpty()); // the file is the store
        QVERIFY(clip->open());
        QCOMPARE(times(clip), (std::vector<uint32_t>{0, 1920, 3840}));

        // An edit exists nowhere else: it survives a change of resolution, converted.
        clip->sequence().insert(MidiEvent::note(480, 70, 100, 480));
        clip->setModified(true);
        session.setTicksPerBeat(480);
        session.afterMeterChange();
        QCOMPARE(clip->sequence().resolution(), 480);
        QCOMPARE(times(clip), (std::vector<uint32_t>{0, 240, 960, 1920}));
        QCOMPARE(clip->sequence().first()->next()->duration, 240u);
    }

    void aRecordingIsWrittenOnClose()
    {
        const QString p = path(QStringLiteral("take.mid"));
        MidiClip* clip = addClip();
        QVERIFY(clip->bindFile(openFile(p, MidiFile::Write), 1));
        QVERIFY(clip->toolTip().endsWith(QStringLiteral("Track 1, 2 tracks, 960 tpqn")));
        QVERIFY(!QFileInfo::exists(p)); // nothing on disk until the recording is closed
        clip->sequence().addRead(MidiEvent::note(0, 60, 100, 0));
        clip->sequence().addReadNoteOff(960, 60);
        clip->setGain(1.5f);
        QVERIFY(clip->toolTip().endsWith(QStringLiteral(" (150% vol)")));
        clip->close(true);
        QVERIFY(clip->sequence().isEmpty());
        QCOMPARE(clip->length(), session.scale().tickToFrame(960));

        MidiClip* again = addClip();
        again->setFilePath(p);
        QVERIFY(again->load());
        QCOMPARE(again->sequence().count(), 1);
        QCOMPARE(again->sequence().first()->duration, 960u);
        QCOMPARE(again->name(), QStringLiteral("take"));
    }

    void anEmptyRecordingLeavesNoFile()
    {
        const QString p = path(QStringLiteral("empty.mid"));
        MidiClip* clip = addClip();
        QVERIFY(clip->bindFile(openFile(p, MidiFile::Write), 0));
        QCOMPARE(clip->format(), 0);
        clip->close(true);
        QVERIFY(!QFileInfo::exists(p));
        QVERIFY(ErrorLog::isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMidiClip)
#include "tst_midi_clip.moc"
