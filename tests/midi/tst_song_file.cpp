#include "conductor_hook.h"
#include "engine.h"
#include "error_log.h"
#include "file_size_limit.h"
#include "midi_clip.h"
#include "midi_export.h"
#include "midi_file.h"
#include "session.h"
#include "smf_bytes.h"
#include "song_file.h"
#include "song_host.h"
#include "track.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The song structure as the song-structure code would keep it: a marker text with the style.
class SongMarker : public ConductorHook
{
public:
    QString style;
    bool marked = false;
    int unchanged = 0;

    void writeConductor(MidiSequence& events) override
    {
        events.insert(MidiEvent::meta(0, 0x01, "cantova3010" + style.toLatin1()));
        events.insert(MidiEvent::meta(0, 0x59, smf::bytes({0xFF, 0})));
    }
    bool readConductor(const MidiSequence& conductor, QString& stylePath) override
    {
        marked = false;
        for (const MidiEvent* e = conductor.first(); e; e = e->next()) {
            if (e->metaType == 0x01 && e->data().startsWith("cantova30")) {
                stylePath = QString::fromLatin1(e->data().mid(11));
                marked = true;
            }
        }
        return marked;
    }
    void markUnchanged() override { ++unchanged; }
};

class Host : public SongHost
{
public:
    QStringList warnings;
    QString midiFolder, styleFolderPath, loadedStyle = QStringLiteral("(none)");
    int refreshes = 0;

    void warning(const QString& text) override { warnings << text; }
    void setMidiFolder(const QString& folder) override { midiFolder = folder; }
    QString styleFolder() const override { return styleFolderPath; }
    void loadStyle(const QString& path) override { loadedStyle = path; }
    void refresh() override { ++refreshes; }
};

// (time, status, data1, data2, duration, data) of every event.
using Row = std::tuple<uint32_t, int, int, int, uint32_t, QByteArray>;
std::vector<Row> rows(const MidiSequence& s)
{
    std::vector<Row> out;
    for (const MidiEvent* e = s.first(); e; e = e->next())
        out.push_back({e->time, e->status, e->data1, e->data2, e->duration, e->data()});
    return out;
}

} // namespace

class TestSongFile : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    Session session;
    Track* drums = nullptr;
    Track* melody = nullptr;
    MidiClip* melodyClip = nullptr;
    MidiClip* drumClip = nullptr;
    SongMarker marker;
    Host host;

    QString path(const QString& name) const { return dir.filePath(name); }

    Track* addMidiTrack(const QString& name, uint16_t channel, int program)
    {
        auto* track = new Track(&session, Track::MidiTrack);
        Track::Properties props = track->properties();
        props.name = name;
        props.channel = channel;
        props.program = program;
        track->setProperties(props);
        session.addTrack(track);
        return track;
    }
    MidiClip* addClip(Track* track)
    {
        auto* clip = new MidiClip(&session);
        track->addClip(clip);
        return clip;
    }
    uint32_t frame(uint32_t tick) { return session.scale().tickToFrame(tick); }

private Q_SLOTS:
    void init()
    {
        ErrorLog::clear();
        session.clear();
        session.midiEngine()->createBus(QStringLiteral("Master"), Bus::Duplex);
        session.addTrack(new Track(&session, Track::AudioTrack));
        drums = addMidiTrack(QStringLiteral("Drums"), 9, 0); // before the melody on purpose
        melody = addMidiTrack(QStringLiteral("Untitled.mid"), 2, 5);
        melodyClip = addClip(melody);
        drumClip = addClip(drums);
        marker = SongMarker();
        host = Host();
    }

    void aSavedSongOpensAgainWithItsMelodyTempoAndStructure()
    {
        session.setTempo(100.0f);
        session.scale().setNode(frame(7680), 90.0f, 2, 3, 2); // bar 2: 90, 3/4
        session.afterTempoChange();
        MidiSequence& m = melodyClip->sequence();
        m.insert(MidiEvent::meta(0, 0x01, "[Am"));
        m.insert(MidiEvent::note(0, 60, 100, 480));
        m.insert(MidiEvent::note(480, 60, 90, 960)); // the same key again
        m.insert(MidiEvent::channel(500, 0xB0, 11, 70));
        m.insert(MidiEvent::channel(600, 0xE0, 0x00, 0x50));
        m.insert(MidiEvent::meta(7680, 0x06, "Main A"));
        m.insert(MidiEvent::note(9000, 72, 80, 100));
        melodyClip->setLength(frame(9600));
        melodyClip->setModified(true);
        drumClip->sequence().insert(MidiEvent::note(0, 36, 120, 60));
        drumClip->setLength(frame(3840));
        const auto written = rows(m);
        marker.style = QStringLiteral("/no/such/Pop.sty");

        SongFile song(&session, melody, melodyClip, &host, &marker);
        const QString p = path(QStringLiteral("My Song.mid"));
        QVERIFY2(song.saveSong(p), qPrintable(ErrorLog::text()));
        QVERIFY(!melodyClip->isModified());
        QCOMPARE(marker.unchanged, 1);
        QCOMPARE(melody->name(), QStringLiteral("My Song.mid"));
        QCOMPARE(host.midiFolder, dir.path());
        QCOMPARE(host.refreshes, 1);

        // The file: conductor, then the melody although the drums come first in the session.
        MidiFile file;
        QVERIFY(file.open(p, MidiFile::Read));
        QCOMPARE(file.format(), 1);
        QCOMPARE(file.trackCount(), 3);
        file.close();

        m.clear();
        session.scale().reset();
        session.afterTempoChange();
        host.styleFolderPath = dir.path();
        QVERIFY(QFile(path(QStringLiteral("Pop.sty"))).open(QIODevice::WriteOnly));
        QVERIFY2(song.openSong(p), qPrintable(ErrorLog::text()));
        QVERIFY(marker.marked);
        QVERIFY(host.warnings.isEmpty());
        QCOMPARE(host.loadedStyle, path(QStringLiteral("Pop.sty"))); // found by its file name
        QCOMPARE(rows(m).size(), written.size());
        QCOMPARE(rows(m), written);
        QCOMPARE(m.channel(), 2);
        QCOMPARE(melodyClip->filePath(), p);
        // The melody keeps the length it was saved with, past the end of its last note.
        QCOMPARE(melodyClip->length(), frame(9600));
        QCOMPARE(marker.unchanged, 2);

        QCOMPARE(session.scale().nodeCount(), 2);
        const TempoNode* first = session.scale().firstNode();
        QCOMPARE(first->tempo, 100.0f);
        QCOMPARE(first->next->bar, 2);
        QCOMPARE(first->next->tempo, 90.0f);
        QCOMPARE(first->next->beatsPerBar, 3);
        QVERIFY(ErrorLog::isEmpty());
    }

    void exportCutsTheRangeAndFollowsTheClipGain()
    {
        MidiSequence& m = melodyClip->sequence();
        m.insert(MidiEvent::note(0, 60, 100, 100));     // before the range
        m.insert(MidiEvent::note(2000, 61, 100, 4000)); // crosses the end: shortened
        m.insert(MidiEvent::note(5000, 62, 100, 10));
        m.insert(MidiEvent::note(5760, 63, 100, 10)); // at the end: left out
        melodyClip->setLength(frame(7680));
        melodyClip->setGain(2.0f); // 200 would wrap to 72 in 7 bits: held at 127
        melodyClip->setFadeOut(frame(7680), Clip::Linear); // 2.0 down to 0 over the clip
        const QString p = path(QStringLiteral("range.mid"));
        QVERIFY(exportMidi(&session, p, frame(1920), frame(5760)));

        MidiFile file;
        QVERIFY(file.open(p, MidiFile::Read));
        MidiSequence conductor, drumTrack, melodyTrack;
        MidiSequence* all[] = {&conductor, &drumTrack, &melodyTrack};
        QVERIFY(file.readTracks(all, 0));
        QCOMPARE(drumTrack.name(), QStringLiteral("Drums"));
        QCOMPARE(drumTrack.program(), 0);
        QCOMPARE(melodyTrack.program(), 5);
        const MidiEvent* a = melodyTrack.first();
        QVERIFY(a && a->next() && !a->next()->next());
        QCOMPARE(a->time, 80u);
        QCOMPARE(a->duration, 3840u - 80u);
        QCOMPARE(a->data2, 127);
        const float gain = melodyClip->gainAt(frame(5000));
        QCOMPARE(int(a->next()->data2), int(gain * 100)); // truncated, inside the fade
        QVERIFY(a->next()->data2 < 100);
    }

    void format0MergesTracksByChannel()
    {
        Track* second = addMidiTrack(QStringLiteral("Perc"), 9, 3);
        addClip(second)->sequence().insert(MidiEvent::note(10, 38, 90, 10));
        drumClip->sequence().insert(MidiEvent::note(10, 36, 90, 10));
        melodyClip->sequence().insert(MidiEvent::note(10, 60, 90, 10));
        MidiExportOptions options;
        options.format = 0;
        const QString p = path(QStringLiteral("zero.mid"));
        QVERIFY(exportMidi(&session, p, 0, session.scale().tickToFrame(960), nullptr, options));
        MidiFile file;
        QVERIFY(file.open(p, MidiFile::Read));
        QCOMPARE(file.format(), 0);
        std::array<MidiSequence, 16> channels;
        std::vector<MidiSequence*> all;
        for (auto& s : channels)
            all.push_back(&s);
        QVERIFY(file.readTracks(all, 0));
        QCOMPARE(channels[9].count(), 2);
        QCOMPARE(channels[9].program(), 0); // the first track's program of that channel
        QCOMPARE(channels[2].program(), 5); // every channel keeps its program
        QCOMPARE(channels[2].count(), 1);
    }

    void aForeignOrFormat0FileOpensItsOnlyTrackWithTheWarning()
    {
        SongFile song(&session, melody, melodyClip, &host, &marker);
        const QString zero = path(QStringLiteral("zero0.mid"));
        smf::save(zero, smf::header(0, 1, 96) + smf::track(smf::ev(0, {0x90, 60, 1})));
        QVERIFY(song.openSong(zero));
        QCOMPARE(ErrorLog::text(), QString());
        QCOMPARE(melodyClip->sequence().count(), 1);
        QCOMPARE(host.loadedStyle, QString()); // the default style
        host.warnings.clear();

        const QString foreign = path(QStringLiteral("foreign.mid"));
        smf::save(foreign, smf::header(1, 2, 96) + smf::track(smf::tempo(0, 600000)) +
                               smf::track(smf::ev(0, {0x90, 64, 1}) + smf::ev(96, {0x80, 64, 0})));
        QVERIFY(song.openSong(foreign));
        QCOMPARE(host.warnings,
                 QStringList{QStringLiteral("This MIDI file is not created with Cantova.\n"
                                            "The first track will be loaded as a melody track.")});
        QCOMPARE(melodyClip->sequence().count(), 1);
        QCOMPARE(melodyClip->sequence().first()->duration, 960u); // 96 ticks at 960 per beat
        QCOMPARE(session.tempo(), 100.0f);

        const QString missing = path(QStringLiteral("missing.mid"));
        QVERIFY(!song.openSong(missing));
        QVERIFY(ErrorLog::text().startsWith(
            QStringLiteral("The file was not loaded:\n\n\"%1\"\nError > ").arg(missing)));
    }

    void aMissingStyleIsReportedAndReplacedByTheDefault()
    {
        marker.style = QStringLiteral("/nowhere/Gone.sty");
        melodyClip->sequence().insert(MidiEvent::note(0, 60, 100, 10));
        SongFile song(&session, melody, melodyClip, &host, &marker);
        const QString p = path(QStringLiteral("style.mid"));
        QVERIFY(song.saveSong(p));
        QVERIFY(song.openSong(p));
        QCOMPARE(host.warnings, QStringList{QStringLiteral("The style file does not exist:\n\n"
                                                           "\"/nowhere/Gone.sty\"")});
        QCOMPARE(host.loadedStyle, QString());
    }

    void setupMessagesLeadTheFirstTrackWithoutHidingTheSongMarker()
    {
        melodyClip->sequence().insert(MidiEvent::note(0, 60, 100, 10));
        SongFile song(&session, melody, melodyClip, &host, &marker);
        song.setSetupMessages({smf::bytes({0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7})});
        const QString p = path(QStringLiteral("setup.mid"));
        QVERIFY(song.saveSong(p));
        MidiFile file;
        QVERIFY(file.open(p, MidiFile::Read));
        MidiSequence first;
        QVERIFY(file.readTrack(first, 0));
        QCOMPARE(first.name(), QStringLiteral("setup"));
        QCOMPARE(first.count(), 3); // marker, key signature, setup message
        QCOMPARE(first.last()->status, 0xF0);
        file.close();
        QVERIFY(song.openSong(p));
        QVERIFY(marker.marked);
        QCOMPARE(melodyClip->sequence().count(), 1);
    }

    void saveFailuresAndRefusalsAreReported()
    {
        SongFile song(&session, melody, melodyClip, &host, &marker);
        melodyClip->sequence().insert(MidiEvent::note(0, 60, 100, 10));
        const QString bad = dir.filePath(QStringLiteral("no/folder/x.mid"));
        QVERIFY(!song.saveSong(bad));
        QVERIFY(ErrorLog::text().startsWith(
            QStringLiteral("The file was not saved:\n\n\"%1\"").arg(bad)));
        QCOMPARE(marker.unchanged, 0);

        ErrorLog::clear();
        session.midiEngine()->start();
        QVERIFY(!exportMidi(&session, path(QStringLiteral("playing.mid")), 0, 0));
        session.midiEngine()->stop();
        QVERIFY(!exportMidi(&session, path(QStringLiteral("late.mid")), frame(99999), 0));
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("playing.mid"))));
        QVERIFY(!ErrorLog::isEmpty());
    }

    // Faults injected between the user's steps: the file on disk must never cost the song.
    void aFullDiskKeepsTheSavedSongAndSaysSo()
    {
        SongFile song(&session, melody, melodyClip, &host, &marker);
        melodyClip->sequence().insert(MidiEvent::note(0, 60, 100, 10));
        const QString p = path(QStringLiteral("full.mid"));
        QVERIFY(song.saveSong(p));
        const QByteArray saved = smf::load(p);
        melodyClip->sequence().insert(MidiEvent::note(5, 62, 100, 5));
        {
            // The disk fills halfway through the new file.
            FileSizeLimit full(rlim_t(saved.size() / 2));
            QVERIFY(full.isActive());
            QVERIFY(!song.saveSong(p));
        }
        QCOMPARE(smf::load(p), saved);
        QVERIFY(ErrorLog::text().startsWith(
            QStringLiteral("The file was not saved:\n\n\"%1\"").arg(p)));
        // Nothing half-written beside it.
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("full*")}, QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("full.mid")});
        QCOMPARE(marker.unchanged, 1); // only the first save
    }

    void aSongFileReplacedByGarbageIsSavedOverWhole()
    {
        SongFile song(&session, melody, melodyClip, &host, &marker);
        melodyClip->sequence().insert(MidiEvent::note(0, 60, 100, 480));
        const QString p = path(QStringLiteral("garbage.mid"));
        QVERIFY(song.saveSong(p));
        QVERIFY(song.openSong(p));
        const auto opened = rows(melodyClip->sequence());
        QVERIFY(smf::save(p, QByteArray(3000, char(0xA5))));
        QVERIFY(song.saveSong(p));
        QVERIFY(song.openSong(p));
        QCOMPARE(rows(melodyClip->sequence()), opened);
        QVERIFY(ErrorLog::isEmpty());
    }

    void aReopenedSongSavesToTheSameBytes()
    {
        // Opening a song and saving it again must not change it, however often it is done:
        // a reader and writer that disagree would add to or lose from the file every time.
        melodyClip->sequence().insert(MidiEvent::note(0, 60, 100, 480));
        melodyClip->sequence().insert(MidiEvent::note(480, 64, 90, 240));
        SongFile song(&session, melody, melodyClip, &host, &marker);
        const QString p = path(QStringLiteral("again.mid"));
        auto bytes = [&p] {
            QFile f(p);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        // The first save still names the melody track after the untitled song; from then on
        // the file is its own fixed point.
        QVERIFY(song.saveSong(p));
        QVERIFY(song.openSong(p));
        QVERIFY(song.saveSong(p));
        const QByteArray second = bytes();
        for (int round = 0; round < 2; ++round) {
            QVERIFY(song.openSong(p));
            QVERIFY(song.saveSong(p));
            QCOMPARE(bytes(), second);
        }
    }

    void aStyleDeletedBetweenSaveAndReopenFallsBackToTheDefault()
    {
        const QString style = path(QStringLiteral("Mine.sty"));
        QVERIFY(smf::save(style, "MThd"));
        marker.style = style;
        melodyClip->sequence().insert(MidiEvent::note(0, 60, 100, 10));
        SongFile song(&session, melody, melodyClip, &host, &marker);
        const QString p = path(QStringLiteral("styled.mid"));
        QVERIFY(song.saveSong(p));
        QVERIFY(song.openSong(p));
        QCOMPARE(host.loadedStyle, style);
        QVERIFY(host.warnings.isEmpty());
        QVERIFY(QFile::remove(style));
        QVERIFY(song.openSong(p));
        QCOMPARE(host.loadedStyle, QString()); // the default style
        QCOMPARE(host.warnings, QStringList{QStringLiteral("The style file does not exist:\n\n"
                                                           "\"%1\"")
                                                .arg(style)});
        QCOMPARE(melodyClip->sequence().count(), 1); // the song itself opened
    }
};

QTEST_GUILESS_MAIN(TestSongFile)
#include "tst_song_file.moc"
