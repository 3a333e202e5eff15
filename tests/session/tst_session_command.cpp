#include "clip.h"
#include "clip_command.h"
#include "session.h"
#include "session_command.h"
#include "time_scale_command.h"
#include "track.h"

#include <QTest>

namespace {

/** A clip with the audio clip's stretch factor and transcription mark. */
class AudioLikeClip : public Clip
{
public:
    AudioLikeClip(uint32_t start, uint32_t length)
    {
        setStart(start);
        setLength(length);
    }
    float stretchFactor() const override { return stretch; }
    void setStretchFactor(float f) override { stretch = f; }
    bool needsTranscription() const override { return transcribe; }
    void setNeedsTranscription(bool on) override { transcribe = on; }
    float stretch = 1.5f;
    bool transcribe = false;
};

// One 4/4 bar at 44100 Hz and 120, 90 and 180 bpm.
constexpr uint32_t Bar = 88200;
constexpr uint32_t Bar90 = 117600;
constexpr uint32_t Bar180 = 58800;

/** Frame, bar and tempo of every node, to compare whole tempo maps. */
QList<QList<double>> nodes(TimeScale& scale)
{
    QList<QList<double>> list;
    for (const TempoNode* n = scale.firstNode(); n; n = n->next)
        list << QList<double>{double(n->frame), double(n->bar), n->tempo, double(n->beatsPerBar)};
    return list;
}

} // namespace

class TestSessionCommand : public QObject
{
    Q_OBJECT

    Session session;
    CommandList& list() { return session.commands(); }

    Track* addTrack(int kind)
    {
        auto* track = new Track(&session, kind);
        session.addTrack(track);
        return track;
    }

private Q_SLOTS:
    void init()
    {
        session.clear();
        session.setStretchAudio(false);
    }

    void tempoWithTheCurrentValuesChangesNothing()
    {
        auto* clip = new AudioLikeClip(0, 1000);
        addTrack(Track::AudioTrack)->addClip(clip);
        auto command = std::make_unique<TempoCommand>(&session, 120.0f, 2, 4, 2, 960);
        QVERIFY(command->isEmpty());
        QCOMPARE(command->clipCommand(), nullptr);
        const auto before = nodes(session.scale());
        QVERIFY(session.push(std::move(command)));
        QCOMPARE(nodes(session.scale()), before);
        QVERIFY(!clip->transcribe);
    }

    void newTempoKeepsMidiOnItsBeatsAndMarksAudio()
    {
        auto* audio = new AudioLikeClip(Bar, 1000);
        addTrack(Track::AudioTrack)->addClip(audio);
        auto* midi = new AudioLikeClip(Bar, Bar);
        addTrack(Track::MidiTrack)->addClip(midi);

        auto command = std::make_unique<TempoCommand>(&session, 60.0f);
        QCOMPARE(command->name(), QStringLiteral("session tempo"));
        QCOMPARE(command->clipCommand()->operationCount(), 1);
        QCOMPARE(command->clipCommand()->operationKind(0), ClipCommand::Length);
        session.push(std::move(command));
        QCOMPARE(session.tempo(), 60.0f);
        QCOMPARE(midi->start(), 2 * Bar);
        QCOMPARE(midi->length(), 2 * Bar);
        QCOMPARE(audio->start(), Bar);
        QCOMPARE(audio->length(), 1000u);
        QVERIFY(audio->transcribe);
        QVERIFY(!midi->transcribe);
        QCOMPARE(session.editDepth(), 0);

        list().revert();
        QCOMPARE(session.tempo(), 120.0f);
        QCOMPARE(midi->start(), Bar);
        QVERIFY(!audio->transcribe); // as it was: its melody fits the old tempo again
        audio->transcribe = true;    // a clip marked before stays marked
        list().redo();
        QVERIFY(audio->transcribe);
        list().revert();
        QVERIFY(audio->transcribe);
        audio->transcribe = false;

        // With stretching on, audio clips stretch by old tempo / new tempo.
        session.setStretchAudio(true);
        session.push(std::make_unique<TempoCommand>(&session, 80.0f));
        QCOMPARE(audio->stretch, 1.5f * 120.0f / 80.0f);
        list().revert();
        QCOMPARE(audio->stretch, 1.5f);
    }

    void undoingATempoAfterItsRecordingWasClosedForGood()
    {
        // Opening another recording closes the old one outside the undo list; the tempo change
        // before it still holds that clip, so undoing it must find the clip alive (the list
        // keeps a dropped command that owns a clip aside).
        auto* audio = new AudioLikeClip(Bar, 1000);
        addTrack(Track::AudioTrack)->addClip(audio);
        session.push(std::make_unique<TempoCommand>(&session, 60.0f));
        auto close = std::make_unique<ClipCommand>(&session, QStringLiteral("Close Audio"));
        close->removeClip(audio);
        QVERIFY(list().push(std::move(close)));
        QVERIFY(list().dropCurrent()); // closed for good
        QVERIFY(list().revert());
        QCOMPARE(session.tempo(), 120.0f);
        QVERIFY(list().redo());
        QCOMPARE(session.tempo(), 60.0f);
    }

    void meterUnitAndResolutionSwap()
    {
        auto* midi = new AudioLikeClip(Bar, Bar);
        addTrack(Track::MidiTrack)->addClip(midi);
        auto command = std::make_unique<TempoCommand>(&session, 90.0f, 3, 6, 3, 480);
        session.push(std::move(command));
        const TempoNode* first = session.scale().firstNode();
        QCOMPARE(session.tempo(), 90.0f);
        QCOMPARE(first->tempo, 180.0f); // counted in eighths
        QCOMPARE(first->tempoUnit, 3);
        QCOMPARE(first->beatsPerBar, 6);
        QCOMPARE(first->beatUnit, 3);
        QCOMPARE(session.scale().ticksPerBeat(), 480);
        QCOMPARE(midi->start(), Bar); // a new resolution keeps everything on its frames
        QCOMPARE(midi->startTick(), session.scale().frameToTick(Bar));

        list().revert();
        QCOMPARE(first->tempo, 120.0f);
        QCOMPARE(first->tempoUnit, 2);
        QCOMPARE(first->beatsPerBar, 4);
        QCOMPARE(first->beatUnit, 2);
        QCOMPARE(session.scale().ticksPerBeat(), 960);
        QCOMPARE(midi->startTick(), 1920u * 2);
    }

    void punchWhileLoopIsSetClearsTheLoop()
    {
        session.push(std::make_unique<LoopCommand>(&session, 1000, 5000));
        QCOMPARE(session.markerIn(), 1000u);
        QCOMPARE(session.markerOut(), 5000u);
        auto punch = std::make_unique<PunchCommand>(&session, 2000, 3000);
        QVERIFY(punch->exclusion());
        session.push(std::move(punch));
        QVERIFY(!session.isLoopSet());
        QCOMPARE(session.punchIn(), 2000u);
        QCOMPARE(session.punchOut(), 3000u);
        QCOMPARE(session.markerIn(), 2000u);

        list().revert();
        QCOMPARE(session.loopIn(), 1000u);
        QCOMPARE(session.loopOut(), 5000u);
        QVERIFY(!session.isPunchSet());
        QCOMPARE(session.markerIn(), 1000u);
        QCOMPARE(session.markerOut(), 5000u);
        list().revert();
        QVERIFY(!session.isLoopSet());
        QCOMPARE(session.markerIn(), 0u);

        // The other way round, and clearing a range leaves the other one alone.
        session.push(std::make_unique<PunchCommand>(&session, 2000, 3000));
        session.push(std::make_unique<LoopCommand>(&session, 4000, 6000));
        QVERIFY(!session.isPunchSet());
        list().revert();
        QVERIFY(session.isPunchSet());
        session.push(std::make_unique<LoopCommand>(&session, 0, 0));
        QVERIFY(session.isPunchSet());
        QCOMPARE(session.markerIn(), 2000u);
    }

    void sessionPropertiesSwap()
    {
        session.setSongName(QStringLiteral("old"));
        Session::Properties props = session.properties();
        props.songName = QStringLiteral("new");
        props.comment = QStringLiteral("text");
        auto scale = std::make_shared<TimeScale>();
        scale->setNode(4 * Bar, 90.0f, 2, 3, 2);
        props.scale = scale;
        session.push(std::make_unique<EditSessionCommand>(&session, props));
        QCOMPARE(session.songName(), QStringLiteral("new"));
        QCOMPARE(session.comment(), QStringLiteral("text"));
        QCOMPARE(session.scale().nodeCount(), 2);
        list().revert();
        QCOMPARE(session.songName(), QStringLiteral("old"));
        QCOMPARE(session.comment(), QString());
        QCOMPARE(session.scale().nodeCount(), 1);
    }

    void nodeCommandsKeepLaterNodesOnTheirBars()
    {
        TimeScale& scale = session.scale();
        scale.setNode(4 * Bar, 90.0f, 2, 4, 2);
        scale.setNode(4 * Bar + 4 * Bar90 + 1000, 60.0f, 2, 4, 2); // moves to bar 8
        auto* midi = new AudioLikeClip(0, 0);
        addTrack(Track::MidiTrack)->addClip(midi);
        midi->setStart(scale.nodeAtBar(8)->frame);
        const uint32_t midiTick = midi->startTick();
        const auto original = nodes(scale);
        QCOMPARE(scale.lastNode()->bar, 8);

        session.push(std::make_unique<AddTempoNodeCommand>(&session, 2 * Bar + 7, 240.0f, 2, 4, 2));
        QCOMPARE(scale.nodeCount(), 4);
        QCOMPARE(scale.firstNode()->next->frame, 2 * Bar);
        QCOMPARE(scale.lastNode()->bar, 8);
        QCOMPARE(scale.lastNode()->prev->bar, 4);
        QCOMPARE(scale.lastNode()->prev->frame, 3 * Bar);
        QCOMPARE(midi->startTick(), midiTick);
        QCOMPARE(midi->start(), scale.lastNode()->frame);

        session.push(std::make_unique<UpdateTempoNodeCommand>(&session, 3 * Bar, 180.0f, 2, 4, 2));
        QCOMPARE(scale.lastNode()->bar, 8);
        QCOMPARE(scale.lastNode()->frame, 3 * Bar + 4 * Bar180);
        QVERIFY(
            !session.push(std::make_unique<UpdateTempoNodeCommand>(&session, 17, 100.0f, 2, 4, 2)));

        session.push(std::make_unique<RemoveTempoNodeCommand>(&session, 3 * Bar));
        QCOMPARE(scale.nodeCount(), 3);
        QCOMPARE(scale.lastNode()->bar, 8);
        QCOMPARE(scale.lastNode()->frame, 2 * Bar + 6 * Bar / 2);

        for (int i = 0; i < 4; ++i)
            list().revert();
        QCOMPARE(nodes(scale), original);
        QCOMPARE(midi->start(), scale.lastNode()->frame);
        QCOMPARE(midi->startTick(), midiTick);
    }

    void revertRestoresNodesSetNodeChangedOrMoved()
    {
        TimeScale& scale = session.scale();
        scale.setNode(4 * Bar, 90.0f, 2, 4, 2);
        scale.setNode(8 * Bar + 1000, 90.0f, 2, 3, 2);
        const auto original = nodes(scale);
        // Overwrites the node at bar 4: undo gives its values back instead of removing it.
        session.push(std::make_unique<AddTempoNodeCommand>(&session, 4 * Bar, 100.0f, 2, 4, 2));
        QCOMPARE(scale.nodeCount(), 3);
        list().revert();
        QCOMPARE(nodes(scale), original);
        // Moves the next node (same values): undo puts it back.
        session.push(std::make_unique<AddTempoNodeCommand>(&session, 6 * Bar, 90.0f, 2, 3, 2));
        QCOMPARE(scale.nodeCount(), 3);
        list().revert();
        QCOMPARE(nodes(scale), original);
        // Removing a node followed by one with the same values, then undoing, keeps both.
        scale.setNode(4 * Bar + 3 * Bar90, 90.0f, 2, 4, 2); // overwrites the last node
        QVERIFY(scale.lastNode()->hasValues(90.0f, 2, 4, 2));
        const auto three = nodes(scale);
        session.push(std::make_unique<RemoveTempoNodeCommand>(&session, 4 * Bar));
        list().revert();
        QCOMPARE(nodes(scale), three);
        QVERIFY(!session.push(std::make_unique<RemoveTempoNodeCommand>(&session, 0)));
        QCOMPARE(scale.nodeCount(), 3);
    }
};

QTEST_GUILESS_MAIN(TestSessionCommand)
#include "tst_session_command.moc"
