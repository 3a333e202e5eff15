#include "lane_events.h"
#include "midi_clip.h"
#include "midi_sequence.h"
#include "session.h"
#include "song_file.h"
#include "song_host.h"
#include "song_state.h"
#include "track.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Records what opening a song asks of the window.
struct RecordingHost : SongHost
{
    QStringList warnings;
    QStringList styles;
    void warning(const QString& text) override { warnings << text; }
    void loadStyle(const QString& path) override { styles << path; }
};

} // namespace

class TestSongState : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    // A session with an audio track and a melody track holding one melody clip.
    struct Song
    {
        Session session;
        Track* melodyTrack = nullptr;
        MidiClip* melody = nullptr;
        SongState state{&session};
        RecordingHost host;
        Song()
        {
            session.addTrack(new Track(&session, Track::AudioTrack));
            melodyTrack = new Track(&session, Track::MidiTrack);
            session.addTrack(melodyTrack);
            melody = new MidiClip(&session);
            melodyTrack->addClip(melody);
        }
        SongFile file() { return SongFile(&session, melodyTrack, melody, &host, &state); }
    };

    static QStringList lanes(const MidiSequence& t)
    {
        QStringList out;
        for (const MidiEvent* e = t.first(); e; e = e->next())
            out << QStringLiteral("%1 %2 %3%4")
                       .arg(e->time)
                       .arg(laneKind(e))
                       .arg(e->isNote() ? QString::number(e->data1) : laneText(e))
                       .arg(isFixedChord(e) ? QStringLiteral(" fixed") : QString());
        return out;
    }

private Q_SLOTS:
    void resetGivesCMajorAndTheDefaultStyle()
    {
        SongState s;
        s.key = QStringLiteral("Dmin");
        s.keyFixed = s.sectionsFixed = s.chordsChanged = s.arrangementOff = true;
        s.stylePath = QStringLiteral("/x.sty");
        s.styleBeats = 3;
        s.reset();
        QCOMPARE(s.key, QStringLiteral("Cmaj"));
        QCOMPARE(s.suggestedKey, QStringLiteral("Cmaj"));
        QVERIFY(!s.keyFixed && !s.sectionsFixed && !s.chordsChanged && !s.arrangementOff);
        QCOMPARE(s.styleName, QStringLiteral("Default Piano"));
        QVERIFY(s.stylePath.isEmpty());
        QCOMPARE(s.styleBeats, 0);
    }

    void theSessionOwnsOneStateAndResetsItForANewSong()
    {
        Session session;
        SongState* state = SongState::of(&session);
        QCOMPARE(SongState::of(&session), state);
        state->key = QStringLiteral("Amin");
        state->chordsChanged = true;
        session.clear();
        QCOMPARE(state->key, QStringLiteral("Cmaj"));
        QVERIFY(!state->chordsChanged);
    }

    void headerIsWrittenAndReadBack()
    {
        SongState s;
        s.key = QStringLiteral("Emin");
        s.keyFixed = true;
        s.stylePath = QStringLiteral("/styles/Pop.sty");
        MidiSequence conductor;
        s.writeConductor(conductor);
        QCOMPARE(conductor.count(), 2);
        QCOMPARE(conductor.first()->data(), QByteArray("cantova3010/styles/Pop.sty"));
        QCOMPARE(conductor.last()->metaType, 0x59);
        QCOMPARE(conductor.last()->data(), QByteArray("\x01\x01", 2));

        SongState r;
        QSignalSpy keyButton(&r, &SongState::keyChanged);
        QString path;
        QVERIFY(r.readConductor(conductor, path));
        QCOMPARE(path, QStringLiteral("/styles/Pop.sty"));
        QVERIFY(r.keyFixed);
        QVERIFY(!r.sectionsFixed);
        QCOMPARE(r.key, QStringLiteral("Emin"));
        QCOMPARE(keyButton.count(), 1);
    }

    void onlyTheFirstKeySignatureCountsAndForeignHeadersAreNotOurs()
    {
        MidiSequence conductor;
        conductor.insert(MidiEvent::meta(0, 1, QByteArray("cantova31xx")));
        conductor.insert(MidiEvent::meta(0, 0x59, QByteArray("\x09\x00", 2))); // out of range
        conductor.insert(MidiEvent::meta(0, 0x59, QByteArray("\xfe\x00", 2))); // Bb major
        conductor.insert(MidiEvent::meta(0, 0x59, QByteArray("\x02\x00", 2)));
        SongState s;
        QString path = QStringLiteral("stale");
        QVERIFY(!s.readConductor(conductor, path));
        QVERIFY(path.isEmpty());
        QCOMPARE(s.key, QStringLiteral("Bbmaj"));
    }

    void aSongKeepsItsLanesKeyFlagsAndStyleThroughSaveAndOpen()
    {
        const QString path = dir.filePath(QStringLiteral("song.mid"));
        const QString style = dir.filePath(QStringLiteral("Ballad.sty"));
        QFile(style).open(QIODevice::WriteOnly);
        {
            Song song;
            MidiSequence& m = song.melody->sequence();
            m.insert(MidiEvent::note(0, 64, 100, 960));
            m.insert(MidiEvent::note(3840, 67, 100, 960));
            setLaneEvent(m, 0, SectionLane, QStringLiteral("Intro A"));
            setLaneEvent(m, 0, ChordLane, QStringLiteral("Em"), true);
            setLaneEvent(m, 0, SuggestedChordsLane, QStringLiteral("Em = 3.0\nC = 2.5\n"));
            setLaneEvent(m, 3840, ChordLane, QStringLiteral("C"));
            setLaneEvent(m, 3840, LyricLane, QStringLiteral("la"));
            m.setLength(7680);
            song.melody->setLength(song.session.scale().tickToFrame(7680));
            song.state.key = QStringLiteral("Gmaj");
            song.state.sectionsFixed = true;
            song.state.stylePath = style;
            song.state.chordsChanged = true;
            QVERIFY(song.file().saveSong(path));
            QVERIFY(!song.state.chordsChanged);
        }
        Song song;
        song.state.chordsChanged = true;
        QVERIFY(song.file().openSong(path));
        QVERIFY(song.host.warnings.isEmpty());
        QCOMPARE(song.host.styles, QStringList{style});
        QCOMPARE(song.state.key, QStringLiteral("Gmaj"));
        QVERIFY(!song.state.keyFixed);
        QVERIFY(song.state.sectionsFixed);
        QVERIFY(!song.state.chordsChanged);
        QCOMPARE(lanes(song.melody->sequence()),
                 (QStringList{"0 0 64", "0 2 Intro A", "0 1 Em fixed", "0 3 Em = 3.0\nC = 2.5\n",
                              "3840 0 67", "3840 1 C", "3840 4 la"}));
    }

    void aForeignSongWarnsAndLoadsItsFirstTrackAsTheMelody()
    {
        const QString path = dir.filePath(QStringLiteral("foreign.mid"));
        {
            Song song;
            song.melody->sequence().insert(MidiEvent::note(0, 72, 90, 480));
            song.melody->setLength(song.session.scale().tickToFrame(960));
            // Saved without song structure: no header text in the first track.
            QVERIFY(SongFile(&song.session, song.melodyTrack, song.melody).saveSong(path));
        }
        Song song;
        QVERIFY(song.file().openSong(path));
        QCOMPARE(song.host.warnings,
                 QStringList{QStringLiteral("This MIDI file is not created with Cantova.\n"
                                            "The first track will be loaded as a melody track.")});
        QCOMPARE(lanes(song.melody->sequence()), QStringList{"0 0 72"});
        QVERIFY(song.state.key.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSongState)
#include "tst_song_state.moc"
