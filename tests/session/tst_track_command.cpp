#include "clip.h"
#include "clip_command.h"
#include "engine.h"
#include "session.h"
#include "track_command.h"
#include "track_state_command.h"
#include "track_value_command.h"

#include <QSignalSpy>
#include <QTest>

namespace {

/** A clip that counts the live clips, so a destroyed track shows in the count. */
class CountedClip : public Clip
{
public:
    CountedClip(uint32_t start = 0, uint32_t length = 100)
    {
        setStart(start);
        setLength(length);
        ++alive;
    }
    ~CountedClip() override { --alive; }
    void close(bool removeIfEmpty) override { closed = removeIfEmpty ? 2 : 1; }
    int bank() const override { return 2; }
    int program() const override { return 33; }
    static inline int alive = 0;
    int closed = 0;
};

/** An engine that records into counted clips. */
class RecordingEngine : public Engine
{
public:
    using Engine::Engine;
    Clip* createRecordingClip(Track*, uint32_t start) override { return new CountedClip(start, 0); }
};

} // namespace

class TestTrackCommand : public QObject
{
    Q_OBJECT

    static std::unique_ptr<Engine> factory(Session* s, int kind)
    {
        return std::make_unique<RecordingEngine>(s, kind);
    }
    Session session{&TestTrackCommand::factory};
    CommandList& list() { return session.commands(); }

    Track* addTrack(int kind, const QString& name)
    {
        auto* track = new Track(&session, kind);
        track->setName(name);
        track->addClip(new CountedClip);
        session.addTrack(track);
        return track;
    }
    QStringList trackNames() const
    {
        QStringList names;
        for (const Track* track : session.tracks())
            names << track->name();
        return names;
    }
    void setInstrument(Track* track, uint16_t channel, int program)
    {
        Track::Properties props = track->properties();
        props.channel = channel;
        props.program = program;
        track->setProperties(props);
    }

private Q_SLOTS:
    void init()
    {
        if (session.isPlaying())
            session.setPlaying(false);
        session.clear();
        QCOMPARE(CountedClip::alive, 0);
    }

    void removedTrackReturnsToItsPlaceAndDiesWithTheCommand()
    {
        Track* a = addTrack(Track::MidiTrack, QStringLiteral("a"));
        addTrack(Track::AudioTrack, QStringLiteral("b"));
        session.mute(a, true);
        session.solo(a, true);
        auto remove = std::make_unique<RemoveTrackCommand>(&session, a);
        Command* command = remove.get();
        session.push(std::move(remove));
        QVERIFY(command->ownsObject());
        QCOMPARE(trackNames(), QStringList({"b"}));
        list().revert();
        QVERIFY(!command->ownsObject());
        QCOMPARE(trackNames(), QStringList({"a", "b"}));
        QCOMPARE(a->trackNumber(), 1);
        QCOMPARE(session.muteCount(), 1u); // the counters follow the track back in
        QCOMPARE(session.soloCount(), 1u);
        list().redo();
        QCOMPARE(CountedClip::alive, 2);
        list().clear();
        QCOMPARE(CountedClip::alive, 1);
    }

    void addedMidiTrackSharesItsInstrumentOnItsChannel()
    {
        Track* same = addTrack(Track::MidiTrack, QStringLiteral("same"));
        Track* other = addTrack(Track::MidiTrack, QStringLiteral("other"));
        setInstrument(same, 3, 10);
        setInstrument(other, 4, 11);
        auto track = std::make_unique<Track>(&session, Track::MidiTrack);
        setInstrument(track.get(), 3, 40);
        session.push(std::make_unique<AddTrackCommand>(&session, std::move(track)));
        QCOMPARE(same->properties().program, 40);
        QCOMPARE(other->properties().program, 11);
        list().revert();
        QCOMPARE(same->properties().program, 10);
    }

    void importMakesAColouredTrackWithTheClip()
    {
        addTrack(Track::AudioTrack, QStringLiteral("a"));
        auto import = std::make_unique<ImportTrackCommand>(
            &session, std::make_unique<CountedClip>(0, 500), QStringLiteral("Bass"), 19);
        session.push(std::move(import));
        QCOMPARE(session.trackCount(), 2);
        const Track* track = session.tracks().back();
        QVERIFY(track->isMidi());
        QCOMPARE(track->name(), QStringLiteral("Bass"));
        QCOMPARE(track->properties().channel, 3);
        QCOMPARE(track->properties().program, 33);
        QCOMPARE(track->properties().background.rgb(), Track::colourForNumber(2).rgb());
        QCOMPARE(track->clipCount(), 1);
        QCOMPARE(list().current()->name(), QStringLiteral("import track"));
    }

    void swapCommandsAppliedTwiceRestoreTheSession()
    {
        Track* a = addTrack(Track::AudioTrack, QStringLiteral("a"));
        addTrack(Track::AudioTrack, QStringLiteral("b"));
        Track* c = addTrack(Track::MidiTrack, QStringLiteral("c"));
        Track::Properties props = c->properties();
        props.name = QStringLiteral("renamed");
        props.mute = true;
        props.solo = true;
        props.kind = Track::AudioTrack; // never changes
        props.gain = 0.5f;
        const Track::Properties before = c->properties();

        std::vector<std::unique_ptr<Command>> swaps;
        swaps.push_back(std::make_unique<MoveTrackCommand>(&session, a, nullptr));
        swaps.push_back(std::make_unique<ResizeTrackCommand>(&session, a, 10));
        swaps.push_back(std::make_unique<EditTrackCommand>(&session, c, props));
        swaps.push_back(std::make_unique<TrackMonitorCommand>(&session, a, true));
        swaps.push_back(std::make_unique<TrackGainCommand>(&session, a, 2.0f));
        swaps.push_back(std::make_unique<TrackPanningCommand>(&session, a, -1.0f));
        for (auto& swap : swaps)
            QVERIFY(swap->apply());
        QCOMPARE(trackNames(), QStringList({"b", "renamed", "a"}));
        QCOMPARE(a->zoomedHeight(), Track::MinimumHeight);
        QVERIFY(a->properties().monitor);
        QCOMPARE(a->properties().panning, -1.0f);
        QVERIFY(c->isMidi());
        QCOMPARE(session.muteCount(), 1u);
        QCOMPARE(session.soloCount(), 1u);
        QVERIFY(!session.isAudible(a));

        for (auto& swap : swaps)
            QVERIFY(swap->apply());
        QCOMPARE(trackNames(), QStringList({"a", "b", "c"}));
        QCOMPARE(a->zoomedHeight(), Track::DefaultHeight);
        QCOMPARE(a->properties().gain, 1.0f);
        QVERIFY(!a->properties().monitor);
        QVERIFY(c->properties() == before);
        QCOMPARE(session.muteCount(), 0u);
        QCOMPARE(session.soloCount(), 0u);
    }

    void gainDragUpwardLeavesOneCommand()
    {
        Track* a = addTrack(Track::AudioTrack, QStringLiteral("a"));
        a->setGain(0.3f);
        QSignalSpy spy(&list(), &CommandList::changed);
        for (int i = 1; i <= 10; ++i)
            QVERIFY(TrackGainCommand::change(&session, a, 0.3f + 0.1f * i));
        QCOMPARE(list().count(), 1);
        QCOMPARE(list().current()->name(), QStringLiteral("track gain"));
        QVERIFY(!spy.last().at(0).toBool());
        QCOMPARE(a->properties().gain, 1.3f);
        list().revert();
        QCOMPARE(a->properties().gain, 0.3f);
        list().redo();
        QCOMPARE(a->properties().gain, 1.3f);
    }

    void gainMergesOnlyInOneDirectionOnOneTrack()
    {
        Track* a = addTrack(Track::AudioTrack, QStringLiteral("a"));
        Track* b = addTrack(Track::AudioTrack, QStringLiteral("b"));
        for (float gain : {1.2f, 1.4f, 1.1f, 0.8f}) // up, up, down, down
            TrackGainCommand::change(&session, a, gain);
        QCOMPARE(list().count(), 2);
        list().revert();
        QCOMPARE(a->properties().gain, 1.4f);
        list().revert();
        QCOMPARE(a->properties().gain, 1.0f);

        list().clear();
        TrackGainCommand::change(&session, a, 1.5f);
        TrackGainCommand::change(&session, b, 1.6f); // another track
        TrackPanningCommand::change(&session, b, 0.5f);
        TrackGainCommand::change(&session, b, 1.7f); // not current any more
        TrackPanningCommand::change(&session, b, 0.6f);
        TrackPanningCommand::change(&session, b, 0.7f);
        QCOMPARE(list().count(), 5);
        list().revert();
        QCOMPARE(b->properties().panning, 0.5f);
    }

    void stateCommandKeepsCountersAndTellsTheControlSurface()
    {
        Track* a = addTrack(Track::AudioTrack, QStringLiteral("a"));
        Track* b = addTrack(Track::MidiTrack, QStringLiteral("b"));
        QSignalSpy surface(&list(), &CommandList::trackParamChanged);
        session.push(std::make_unique<TrackStateCommand>(&session, std::vector<Track*>{a, b},
                                                         TrackStateCommand::Mute, true));
        QCOMPARE(list().current()->name(), QStringLiteral("track mute"));
        QCOMPARE(session.muteCount(), 2u);
        QCOMPARE(surface.count(), 2);
        QCOMPARE(surface.at(1), QList<QVariant>({int(TrackMute), 1, true}));
        list().revert();
        QCOMPARE(session.muteCount(), 0u);
        QCOMPARE(surface.last(), QList<QVariant>({int(TrackMute), 1, false}));

        surface.clear();
        session.push(std::make_unique<TrackStateCommand>(&session, std::vector<Track*>{b},
                                                         TrackStateCommand::Solo, true, true));
        QCOMPARE(session.soloCount(), 1u);
        QCOMPARE(surface.count(), 0); // the surface set it itself
        list().revert();
        QCOMPARE(surface.count(), 1);
    }

    void recordOffWhileRecordingFinishesTheClip()
    {
        Track* a = addTrack(Track::AudioTrack, QStringLiteral("a"));
        Track* b = addTrack(Track::MidiTrack, QStringLiteral("b"));
        session.locateCursors(1000, false);
        session.record(a, true);
        session.record(b, true);
        session.startRecording(true);
        QCOMPARE(session.audioTrackCount(), 1);
        session.locateCursors(3000, false);

        auto off = std::make_unique<TrackStateCommand>(&session, std::vector<Track*>{a},
                                                       TrackStateCommand::Record, false);
        TrackStateCommand* command = off.get();
        session.push(std::move(off));
        QVERIFY(command->recordedClips());
        QCOMPARE(session.audioTrackCount(), 0);
        QCOMPARE(session.recordCount(), 1u);
        QVERIFY(session.isRecording());
        QCOMPARE(a->clipCount(), 2);
        const auto* recorded = static_cast<CountedClip*>(a->lastClip());
        QCOMPARE(recorded->start(), 1000u);
        QCOMPARE(recorded->length(), 2000u);
        QCOMPARE(recorded->closed, 2);

        list().revert(); // armed again: a new recording clip, the finished one leaves
        QCOMPARE(a->clipCount(), 1);
        QVERIFY(command->ownsObject());
        QCOMPARE(session.audioTrackCount(), 1);
        list().redo();
        QCOMPARE(a->clipCount(), 2);
        QVERIFY(!command->ownsObject());
    }
};

QTEST_GUILESS_MAIN(TestTrackCommand)
#include "tst_track_command.moc"
