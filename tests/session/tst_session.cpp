#include "session.h"
#include "session_cursor.h"
#include "spy_clip.h"
#include "track.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSession : public QObject
{
    Q_OBJECT

    static std::unique_ptr<Engine> spyFactory(Session* s, int kind)
    {
        return std::make_unique<SpyEngine>(s, kind);
    }
    Session session{&TestSession::spyFactory};

    Track* addTrack(int kind, const QString& name = QString())
    {
        auto* track = new Track(&session, kind);
        track->setName(name);
        session.addTrack(track);
        return track;
    }
    SpyEngine* midiSpy() { return static_cast<SpyEngine*>(session.midiEngine()); }
    SpyEngine* audioSpy() { return static_cast<SpyEngine*>(session.audioEngine()); }

private Q_SLOTS:
    void init()
    {
        if (session.isPlaying())
            session.setPlaying(false);
        session.clear();
        midiSpy()->changes.clear();
        audioSpy()->changes.clear();
    }

    void freedMidiTrackNumbersAreReusedFirst()
    {
        Track* a = addTrack(Track::MidiTrack);
        Track* b = addTrack(Track::MidiTrack);
        Track* audio = addTrack(Track::AudioTrack);
        QCOMPARE(a->trackNumber(), 1);
        QCOMPARE(b->trackNumber(), 2);
        QCOMPARE(audio->trackNumber(), 0);

        session.removeTrack(a);
        QCOMPARE(a->trackNumber(), 0);
        delete a;
        QCOMPARE(addTrack(Track::MidiTrack)->trackNumber(), 1);
        QCOMPARE(addTrack(Track::MidiTrack)->trackNumber(), 3);
        session.clear();
        QCOMPARE(addTrack(Track::MidiTrack)->trackNumber(), 1);
    }

    void tracksAreInsertedAfterTheGivenTrack()
    {
        Track* a = addTrack(Track::AudioTrack, QStringLiteral("a"));
        Track* c = addTrack(Track::AudioTrack, QStringLiteral("c"));
        auto* b = new Track(&session, Track::AudioTrack);
        session.addTrack(b, a);
        QCOMPARE(session.indexOf(a), 0);
        QCOMPARE(session.indexOf(b), 1);
        QCOMPARE(session.indexOf(c), 2);
        session.moveTrack(a, nullptr);
        QCOMPARE(session.indexOf(a), 2);
    }

    void newTrackColours_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("1") << 1 << QColor(204, 255, 255);
        QTest::newRow("4") << 4 << QColor(204, 204, 255);
        QTest::newRow("13") << 13 << QColor(204, 204, 204);
        QTest::newRow("26") << 26 << QColor(153, 153, 153);
    }
    void newTrackColours()
    {
        QFETCH(int, number);
        QFETCH(QColor, colour);
        Track track(&session, Track::MidiTrack);
        track.setColoursForNumber(number);
        QCOMPARE(track.properties().background.rgb(), colour.rgb());
        QCOMPARE(track.properties().background.alpha(), 192);
        QCOMPARE(track.properties().foreground.rgb(), colour.darker(200).rgb());
    }

    void counterFollowFlagsAndRemovedTracks()
    {
        Track* a = addTrack(Track::MidiTrack);
        Track* b = addTrack(Track::AudioTrack);
        session.mute(a, true);
        session.mute(a, true); // no change, no count
        session.solo(a, true);
        session.solo(b, true);
        session.record(b, true);
        QCOMPARE(session.muteCount(), 1u);
        QCOMPARE(session.soloCount(), 2u);
        QCOMPARE(session.recordCount(), 1u);
        session.removeTrack(a);
        delete a;
        QCOMPARE(session.muteCount(), 0u);
        QCOMPARE(session.soloCount(), 1u);
        session.removeTrack(b);
        delete b;
        QCOMPARE(session.soloCount(), 0u);
        QCOMPARE(session.recordCount(), 0u);
    }

    void audibilityChangesArePassedOnWhilePlaying()
    {
        Track* midi = addTrack(Track::MidiTrack);
        Track* audio = addTrack(Track::AudioTrack);
        session.mute(midi, true); // stopped: nothing passed on
        QVERIFY(midiSpy()->changes.isEmpty());
        session.mute(midi, false);

        session.setPlaying(true);
        QVERIFY(session.isPlaying());
        session.solo(midi, true); // silences the audio track only
        QCOMPARE(audioSpy()->changes, (QList<QPair<Track*, bool>>{{audio, false}}));
        QVERIFY(midiSpy()->changes.isEmpty());
        session.mute(midi, true);
        QCOMPARE(midiSpy()->changes, (QList<QPair<Track*, bool>>{{midi, false}}));
        session.solo(midi, false); // audio comes back; the muted MIDI track stays silent
        QCOMPARE(audioSpy()->changes.last(), (QPair<Track*, bool>{audio, true}));
        QCOMPARE(midiSpy()->changes.size(), 1);
        QVERIFY(session.isAudible(audio));
        QVERIFY(!session.isAudible(midi));
    }

    void rangesAreSetOnlyWhenInIsBeforeOut()
    {
        session.setLoop(44100, 88200);
        QVERIFY(session.isLoopSet());
        QCOMPARE(session.loopInTick(), 1920u);
        QCOMPARE(session.loopOutTick(), 3840u);
        session.setLoop(500, 500);
        QVERIFY(!session.isLoopSet());
        QCOMPARE(session.loopIn(), 0u);
        QCOMPARE(session.loopOut(), 0u);
        session.setPunch(10, 5);
        QVERIFY(!session.isPunchSet());
        QCOMPARE(session.editDepth(), 0);
    }

    void loopWindowsArePartsOfTheLoopInsideEachClip()
    {
        Track* track = addTrack(Track::AudioTrack);
        auto* before = new SpyClip(0, 100);
        auto* across = new SpyClip(150, 200);
        auto* inside = new SpyClip(400, 50);
        for (Clip* c :
             {static_cast<Clip*>(before), static_cast<Clip*>(across), static_cast<Clip*>(inside)})
            track->addClip(c);
        session.setLoop(200, 500);
        QCOMPARE(before->windowIn(), 0u);
        QCOMPARE(before->windowOut(), 0u);
        QCOMPARE(across->windowIn(), 50u);
        QCOMPARE(across->windowOut(), 200u);
        QCOMPARE(inside->windowIn(), 0u);
        QCOMPARE(inside->windowOut(), 50u);
    }

    void tempoChangeKeepsMidiOnItsBeatsAndAudioOnItsFrames()
    {
        Track* midi = addTrack(Track::MidiTrack);
        Track* audio = addTrack(Track::AudioTrack);
        auto* m = new SpyClip(44100, 22050); // beat 2, half a second long at 120 bpm
        auto* a = new SpyClip(44100, 22050);
        midi->addClip(m);
        audio->addClip(a);
        session.setMarkerIn(44100);
        session.setLoop(0, 88200);
        QCOMPARE(m->startTick(), 1920u);
        QCOMPARE(m->lengthTick(), 960u);

        session.setTempo(60.0f);
        session.afterTempoChange();
        QCOMPARE(session.tempo(), 60.0f);
        QCOMPARE(m->start(), 88200u);
        QCOMPARE(m->length(), 44100u);
        QCOMPARE(a->start(), 44100u);
        QCOMPARE(session.markerIn(), 88200u);
        QCOMPARE(session.loopOut(), 176400u);
        QCOMPARE(session.endFrame(), 132300u);
    }

    void meterChangeRecomputesTicksAndReloadsMidiClips()
    {
        Track* midi = addTrack(Track::MidiTrack);
        auto* m = new SpyClip(44100, 22050);
        midi->addClip(m);
        m->take();
        session.setTicksPerBeat(480);
        session.afterMeterChange();
        QCOMPARE(m->startTick(), 960u);
        QCOMPARE(m->start(), 44100u);
        QCOMPARE(m->take(), (QStringList{QStringLiteral("close"), QStringLiteral("open")}));
    }

    void quarterTempoOfAnEighthNoteNode()
    {
        session.setMeter(3, 6, 3);
        session.setTempo(90.0f);
        QCOMPARE(session.scale().firstNode()->tempo, 180.0f);
        QCOMPARE(session.tempo(), 90.0f);
    }

    void fileNames()
    {
        QCOMPARE(Session::sanitizeName(QStringLiteral("  My   song. - live ")),
                 QStringLiteral("My_song_live"));
        QCOMPARE(Session::sanitizeName(QStringLiteral("a|b")), QStringLiteral("a_b"));

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        session.setSessionDir(dir.path());
        session.setSongName(QStringLiteral("My song"));
        const QString first = dir.filePath(QStringLiteral("My_song-Track_1-1.mid"));
        QCOMPARE(session.uniqueFileName(QStringLiteral("Track 1"), 0, QStringLiteral("mid")), first);
        QFile(first).open(QIODevice::WriteOnly);
        QCOMPARE(session.uniqueFileName(QStringLiteral("Track 1"), 0, QStringLiteral("mid")),
                 dir.filePath(QStringLiteral("My_song-Track_1-2.mid")));
        QCOMPARE(session.uniqueFileName(QStringLiteral("Track 1"), 5, QStringLiteral("mid")),
                 dir.filePath(QStringLiteral("My_song-Track_1-5.mid")));
        session.setSongName(QString());
        QCOMPARE(session.uniqueFileName(QStringLiteral("Vox"), 1, QStringLiteral("wav")),
                 dir.filePath(QStringLiteral("Vox-1.wav")));
    }

    void clearEmptiesTheSession()
    {
        addTrack(Track::MidiTrack);
        session.setSongName(QStringLiteral("x"));
        session.setLoop(0, 1000);
        session.scale().setNode(44100 * 4, 90.0f, 2, 3, 2);
        session.ensureMasterBuses();
        QCOMPARE(session.audioEngine()->buses().size(), size_t(1));
        session.clear();
        QCOMPARE(session.trackCount(), 0);
        QVERIFY(session.songName().isEmpty());
        QVERIFY(!session.isLoopSet());
        QCOMPARE(session.scale().nodeCount(), 1);
        QVERIFY(session.audioEngine()->buses().empty());
        QCOMPARE(session.sessionDir(), QDir::currentPath());
    }

    void masterBusesAttachTracksOnceTheEnginesRun()
    {
        Track* midi = addTrack(Track::MidiTrack);
        QVERIFY(!session.ensureMasterBuses()); // engines not activated yet
        QCOMPARE(session.midiEngine()->findBus(QStringLiteral("Master"))->flags(),
                 int(Bus::Duplex));
        session.audioEngine()->activate();
        session.midiEngine()->activate();
        QVERIFY(session.ensureMasterBuses());
        QCOMPARE(session.midiEngine()->buses().size(), size_t(1)); // not created twice
        QVERIFY(midi->monitor());
        QCOMPARE(midi->properties().outputBus, QStringLiteral("Master"));
        QCOMPARE(midi->properties().inputBus, QStringLiteral("Master"));
        session.audioEngine()->deactivate();
        session.midiEngine()->deactivate();
    }

    void parameterTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("empty") << QString() << 0x4000;
        QTest::newRow("star") << QStringLiteral("*") << 0x4000;
        QTest::newRow("wildcard") << QStringLiteral("TrackParam") << 0x4000;
        QTest::newRow("solo") << QStringLiteral("TrackSolo") << 6;
        QTest::newRow("number") << QStringLiteral("5") << 5;
        QTest::newRow("wraps") << QStringLiteral("65537") << 1;
    }
    void parameterTexts()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(int(trackParamFromText(text)), value);
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
