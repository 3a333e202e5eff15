// Random sequences of commands, undo, redo, pushes after undo and clears, checked step by step
// against a plain model of the session, and for ownership: run under the sanitizers, a clip,
// track or event freed twice or never is a failure.
#include "clip_command.h"
#include "midi_clip.h"
#include "midi_edit_command.h"
#include "session.h"
#include "session_command.h"
#include "time_scale_command.h"
#include "track.h"
#include "track_command.h"
#include "track_state_command.h"
#include "track_value_command.h"

#include <QRandomGenerator>
#include <QTest>
#include <algorithm>

namespace {

class CountedAudioClip : public Clip
{
public:
    CountedAudioClip() { ++alive; }
    ~CountedAudioClip() override { --alive; }
    static inline int alive = 0;
};

class CountedMidiClip : public MidiClip
{
public:
    explicit CountedMidiClip(Session* session) : MidiClip(session) { ++alive; }
    ~CountedMidiClip() override { --alive; }
    static inline int alive = 0;
};

struct EventModel
{
    uint32_t time;
    int key, velocity;
};

struct ClipModel
{
    QString name;
    uint32_t start, length; // frames for audio clips, ticks for MIDI clips
    QList<EventModel> events;
};

struct TrackModel
{
    QString name;
    int kind;
    float gain = 1.0f;
    bool mute = false;
    QList<ClipModel> clips;
};

/** What the session should hold: the model the commands are checked against. */
struct Model
{
    QList<TrackModel> tracks;
    QStringList nodes;
    uint32_t loopIn = 0, loopOut = 0, punchIn = 0, punchOut = 0; // ticks

    int track(const QString& name) const
    {
        for (int i = 0; i < tracks.size(); ++i)
            if (tracks[i].name == name)
                return i;
        return -1;
    }
    // A clip joins after every clip that starts no later, as the track orders them.
    static void insertClip(QList<ClipModel>& clips, const ClipModel& clip)
    {
        int at = 0;
        while (at < clips.size() && clips[at].start <= clip.start)
            ++at;
        clips.insert(at, clip);
    }
    static void insertEvent(QList<EventModel>& events, const EventModel& e)
    {
        int at = 0;
        while (at < events.size() && events[at].time <= e.time)
            ++at;
        events.insert(at, e);
    }
    QStringList lines() const
    {
        QStringList out;
        for (const TrackModel& t : tracks) {
            out << QStringLiteral("track %1 kind %2 gain %3 mute %4")
                       .arg(t.name)
                       .arg(t.kind)
                       .arg(t.gain)
                       .arg(t.mute);
            for (const ClipModel& c : t.clips) {
                QString events;
                for (const EventModel& e : c.events)
                    events += QStringLiteral(" %1:%2:%3").arg(e.time).arg(e.key).arg(e.velocity);
                out << QStringLiteral("  clip %1 %2 %3%4")
                           .arg(c.name)
                           .arg(c.start)
                           .arg(c.length)
                           .arg(events);
            }
        }
        out << nodes;
        out << QStringLiteral("loop %1 %2 punch %3 %4")
                   .arg(loopIn)
                   .arg(loopOut)
                   .arg(punchIn)
                   .arg(punchOut);
        return out;
    }
};

QStringList nodeLines(const TimeScale& scale)
{
    QStringList lines;
    for (const TempoNode* n = scale.firstNode(); n; n = n->next)
        lines << QStringLiteral("node %1 bar %2 tempo %3").arg(n->frame).arg(n->bar).arg(n->tempo);
    return lines;
}

} // namespace

class TestCommandSequence : public QObject
{
    Q_OBJECT

    Session session;
    QRandomGenerator random;
    QList<Model> history; // history[position] is the state the session must be in
    int position = 0;
    int names = 0;

    Model& model() { return history[position]; }
    int pick(int n) { return int(random.bounded(quint32(n))); }
    Track* sessionTrack(int i) { return session.tracks()[size_t(i)]; }
    Clip* clipAt(Track* track, int i)
    {
        Clip* clip = track->firstClip();
        while (i-- > 0)
            clip = clip->next();
        return clip;
    }

    /** The session as the model describes it. */
    QStringList describe()
    {
        Model m;
        TimeScale& scale = session.scale();
        for (const Track* track : session.tracks()) {
            TrackModel t{
                track->name(), track->kind(), track->properties().gain, track->isMuted(), {}};
            for (Clip* clip = track->firstClip(); clip; clip = clip->next()) {
                ClipModel c{clip->name(), clip->start(), clip->length(), {}};
                if (auto* midi = dynamic_cast<MidiClip*>(clip)) {
                    c.start = clip->startTick();
                    c.length = clip->lengthTick();
                    for (const MidiEvent* e = midi->sequence().first(); e; e = e->next())
                        c.events.append({e->time, e->data1, e->data2});
                }
                t.clips << c;
            }
            m.tracks << t;
        }
        m.nodes = nodeLines(scale);
        m.loopIn = session.loopInTick();
        m.loopOut = session.loopOutTick();
        m.punchIn = scale.frameToTick(session.punchIn());
        m.punchOut = scale.frameToTick(session.punchOut());
        return m.lines();
    }

    /**
     * Notes the state the session must be in after a push: the next one, or a replacement of
     * the current one when the push merged into the current command.
     */
    void record(int indexBefore, const Model& next)
    {
        history.erase(history.begin() + position + 1, history.end());
        if (session.commands().currentIndex() == indexBefore) {
            history[position] = next;
        } else {
            history.append(next);
            ++position;
        }
    }
    void push(std::unique_ptr<Command> command, const Model& next)
    {
        const int before = session.commands().currentIndex();
        QVERIFY(session.push(std::move(command)));
        record(before, next);
    }

    QString newName() { return QStringLiteral("n%1").arg(++names); }

    /**
     * A random start: audio clips on a frame grid, MIDI clips on a tick grid, so clips of equal
     * start in the model (ticks for MIDI) are equal in the session (frames) too.
     */
    uint32_t randomStart(int kind)
    {
        if (kind == Track::MidiTrack)
            return session.scale().tickToFrame(480 * uint32_t(pick(100)));
        return 1000 * uint32_t(pick(200));
    }

    std::unique_ptr<Clip> newClip(int kind, uint32_t start, ClipModel& model)
    {
        const uint32_t length = 20000 + 1000 * pick(40);
        model.name = newName();
        std::unique_ptr<Clip> clip;
        if (kind == Track::MidiTrack) {
            auto midi = std::make_unique<CountedMidiClip>(&session);
            for (int i = pick(4); i > 0; --i) {
                EventModel e{uint32_t(pick(3840)), 40 + pick(40), 1 + pick(126)};
                midi->sequence().insert(
                    MidiEvent::note(e.time, uint8_t(e.key), uint8_t(e.velocity), 100));
                Model::insertEvent(model.events, e);
            }
            clip = std::move(midi);
        } else {
            clip = std::make_unique<CountedAudioClip>();
        }
        clip->setName(model.name);
        clip->setStart(start);
        clip->setLength(length);
        TimeScale& scale = session.scale();
        const bool midi = kind == Track::MidiTrack;
        model.start = midi ? scale.frameToTick(start) : start;
        model.length = midi ? scale.frameToTick(start + length) - scale.frameToTick(start) : length;
        return clip;
    }

    void addTrack()
    {
        const int kind = pick(2) ? Track::MidiTrack : Track::AudioTrack;
        auto track = std::make_unique<Track>(&session, kind);
        track->setName(newName());
        Model next = model();
        TrackModel t{track->name(), kind, 1.0f, false, {}};
        ClipModel c;
        track->addClip(newClip(kind, randomStart(kind), c).release());
        t.clips << c;
        const int after = next.tracks.isEmpty() ? -1 : pick(next.tracks.size() + 1) - 1;
        Track* afterTrack = after < 0 ? nullptr : sessionTrack(after);
        next.tracks.insert(after < 0 ? next.tracks.size() : after + 1, t);
        push(std::make_unique<AddTrackCommand>(&session, std::move(track), afterTrack), next);
    }

    void removeOrMoveTrack(int i)
    {
        Model next = model();
        const TrackModel t = next.tracks.takeAt(i);
        if (pick(2)) {
            push(std::make_unique<RemoveTrackCommand>(&session, sessionTrack(i)), next);
            return;
        }
        const int before = pick(session.trackCount() + 1);
        Track* beforeTrack = before < session.trackCount() ? sessionTrack(before) : nullptr;
        const int at = beforeTrack ? next.track(beforeTrack->name()) : next.tracks.size();
        next.tracks.insert(at < 0 ? i : at, t);
        push(std::make_unique<MoveTrackCommand>(&session, sessionTrack(i), beforeTrack), next);
    }

    void trackValue(int i)
    {
        Model next = model();
        if (pick(2)) {
            const float gain = 0.1f * float(pick(20));
            next.tracks[i].gain = gain;
            const int before = session.commands().currentIndex();
            QVERIFY(TrackGainCommand::change(&session, sessionTrack(i), gain));
            record(before, next);
            return;
        }
        const bool on = !next.tracks[i].mute;
        next.tracks[i].mute = on;
        push(std::make_unique<TrackStateCommand>(&session, std::vector<Track*>{sessionTrack(i)},
                                                 TrackStateCommand::Mute, on),
             next);
    }

    void clipOperation(int i)
    {
        Track* track = sessionTrack(i);
        Model next = model();
        QList<ClipModel>& clips = next.tracks[i].clips;
        auto command = std::make_unique<ClipCommand>(&session, QStringLiteral("clip"));
        const bool midi = track->isMidi();
        const int choice = track->clipCount() == 0 ? 0 : pick(4);
        if (choice == 0) {
            ClipModel c;
            command->addClip(newClip(track->kind(), randomStart(track->kind()), c), track);
            Model::insertClip(clips, c);
        } else if (choice == 1) {
            const int at = pick(track->clipCount());
            command->removeClip(clipAt(track, at));
            clips.removeAt(at);
        } else if (choice == 2) { // move to a track of the same kind
            const int at = pick(track->clipCount());
            int to = pick(session.trackCount());
            if (sessionTrack(to)->kind() != track->kind())
                to = i;
            Clip* clip = clipAt(track, at);
            // Often onto another clip's start: the order of equal starts must survive undo.
            Track* target = sessionTrack(to);
            const uint32_t start = target->clipCount() == 0 || pick(2)
                                       ? randomStart(track->kind())
                                       : clipAt(target, pick(target->clipCount()))->start();
            command->move(clip, sessionTrack(to), start, clip->offset(), clip->length());
            ClipModel c = clips.takeAt(at);
            TimeScale& scale = session.scale();
            if (midi) {
                c.start = scale.frameToTick(start);
                c.length = scale.frameToTick(start + clip->length()) - c.start;
            } else {
                c.start = start;
            }
            Model::insertClip(next.tracks[to].clips, c);
        } else { // resize at the end, keeping the start
            const int at = pick(track->clipCount());
            Clip* clip = clipAt(track, at);
            const uint32_t length = 5000 + 1000 * uint32_t(pick(40));
            command->resize(clip, clip->start(), clip->offset(), length);
            TimeScale& scale = session.scale();
            clips[at].length =
                midi ? scale.frameToTick(clip->start() + length) - scale.frameToTick(clip->start())
                     : length;
        }
        push(std::move(command), next);
    }

    void eventEdit(int i)
    {
        Track* track = sessionTrack(i);
        if (!track->isMidi() || track->clipCount() == 0)
            return;
        const int at = pick(track->clipCount());
        auto* clip = static_cast<MidiClip*>(clipAt(track, at));
        Model next = model();
        QList<EventModel>& events = next.tracks[i].clips[at].events;
        auto edit = std::make_unique<MidiEditCommand>(clip, QStringLiteral("edit"));
        const int count = clip->sequence().count();
        const int choice = count == 0 ? 0 : pick(4);
        MidiEvent* e = clip->sequence().first();
        const int index = count ? pick(count) : 0;
        for (int k = 0; k < index; ++k)
            e = e->next();
        if (choice == 0) {
            EventModel m{uint32_t(pick(8) * 480), pick(128), 1 + pick(126)};
            edit->insert(MidiEvent::note(m.time, uint8_t(m.key), uint8_t(m.velocity), 50));
            Model::insertEvent(events, m);
        } else if (choice == 1) {
            edit->remove(e);
            events.removeAt(index);
        } else if (choice == 2) {
            EventModel m = events.takeAt(index);
            // Often onto another event's time: the order of equal times must survive undo.
            m.time = events.isEmpty() || pick(2) ? uint32_t(pick(8) * 480)
                                                 : events[pick(events.size())].time;
            m.key = pick(128);
            edit->setKeyTime(e, uint8_t(m.key), m.time);
            Model::insertEvent(events, m);
        } else {
            events[index].velocity = pick(128);
            edit->setValue(e, events[index].velocity);
        }
        push(std::move(edit), next);
    }

    void scaleOperation()
    {
        TimeScale expected;
        expected.copyFrom(session.scale());
        const uint32_t frame = 88200 * uint32_t(1 + pick(12));
        const float tempo = float(60 + 10 * pick(12));
        std::unique_ptr<Command> command;
        TempoNode* last = expected.lastNode();
        const int choice = pick(4);
        if (choice == 0) {
            expected.setNode(frame, tempo, 2, 4, 2);
            command = std::make_unique<AddTempoNodeCommand>(&session, frame, tempo, 2, 4, 2);
        } else if (choice == 1 && last != expected.firstNode()) {
            command = std::make_unique<RemoveTempoNodeCommand>(&session, last->frame);
            expected.removeNode(last);
        } else if (choice == 2) {
            command =
                std::make_unique<UpdateTempoNodeCommand>(&session, last->frame, tempo, 2, 3, 2);
            last->tempo = tempo;
            last->beatsPerBar = 3;
            expected.recomputeFrom(last);
        } else {
            command = std::make_unique<TempoCommand>(&session, tempo);
            if (tempo == session.tempo())
                return; // an empty command: checked elsewhere
            expected.firstNode()->tempo = tempo;
            expected.recompute();
        }
        Model next = model();
        next.nodes = nodeLines(expected);
        push(std::move(command), next);
    }

    void rangeOperation()
    {
        Model next = model();
        const uint32_t in = 44100 * uint32_t(pick(10)), out = in + 44100 * uint32_t(pick(3));
        TimeScale& scale = session.scale();
        const uint32_t inTick = in < out ? scale.frameToTick(in) : 0;
        const uint32_t outTick = in < out ? scale.frameToTick(out) : 0;
        if (pick(2)) {
            next.loopIn = inTick;
            next.loopOut = outTick;
            if (in < out)
                next.punchIn = next.punchOut = 0;
            push(std::make_unique<LoopCommand>(&session, in, out), next);
        } else {
            next.punchIn = inTick;
            next.punchOut = outTick;
            if (in < out)
                next.loopIn = next.loopOut = 0;
            push(std::make_unique<PunchCommand>(&session, in, out), next);
        }
    }

    /** One random step; returns what it did, for the failure message. */
    QString step()
    {
        CommandList& list = session.commands();
        const int choice = pick(100);
        const int tracks = session.trackCount();
        if (choice < 15 && list.current()) {
            list.revert();
            --position;
            return QStringLiteral("revert");
        }
        if (choice < 22 && list.next()) {
            list.redo();
            ++position;
            return QStringLiteral("redo");
        }
        if (choice == 22) {
            list.clear();
            history = {model()};
            position = 0;
            return QStringLiteral("clear");
        }
        if (choice < 33 || tracks == 0) {
            if (tracks < 8)
                addTrack();
            return QStringLiteral("add track");
        }
        if (choice < 41)
            return removeOrMoveTrack(pick(tracks)), QStringLiteral("remove or move track");
        if (choice < 51)
            return trackValue(pick(tracks)), QStringLiteral("gain or mute");
        if (choice < 69)
            return clipOperation(pick(tracks)), QStringLiteral("clip operation");
        if (choice < 87)
            return eventEdit(pick(tracks)), QStringLiteral("event edit");
        if (choice < 94)
            return scaleOperation(), QStringLiteral("tempo map");
        return rangeOperation(), QStringLiteral("loop or punch");
    }

private Q_SLOTS:
    void randomSequencesMatchTheModel_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed = 1; seed <= 16; ++seed)
            QTest::addRow("seed %u", seed) << seed;
    }
    void randomSequencesMatchTheModel()
    {
        QFETCH(quint32, seed);
        random.seed(seed);
        session.clear();
        history = {Model{{}, nodeLines(session.scale())}};
        position = 0;
        QStringList steps;
        for (int i = 0; i < 250; ++i) {
            steps << step();
            if (QTest::currentTestFailed())
                QFAIL(qPrintable(steps.join(QStringLiteral(", "))));
            const QStringList actual = describe();
            if (actual != model().lines()) {
                qWarning("steps: %s", qPrintable(steps.join(QStringLiteral(", "))));
                QCOMPARE(actual.join(QLatin1Char('\n')), model().lines().join(QLatin1Char('\n')));
            }
        }
        QCOMPARE(session.muteCount(),
                 uint32_t(std::count_if(session.tracks().begin(), session.tracks().end(),
                                        [](const Track* t) { return t->isMuted(); })));
        session.clear();
        QCOMPARE(CountedAudioClip::alive, 0);
        QCOMPARE(CountedMidiClip::alive, 0);
    }
};

QTEST_GUILESS_MAIN(TestCommandSequence)
#include "tst_command_sequence.moc"
