#include "clip.h"
#include "clip_command.h"
#include "session.h"
#include "track.h"

#include <QTest>
#include <cmath>

namespace {

/**
 * A clip with the hooks of the audio and MIDI clips: it keeps what they would keep, counts the
 * live clips and notes every reload with the edit depth it saw.
 */
class HookClip : public Clip
{
public:
    HookClip(uint32_t start, uint32_t length, const QString& name = QString())
    {
        setName(name);
        setStart(start);
        setLength(length);
        ++alive;
    }
    ~HookClip() override { --alive; }

    bool open() override
    {
        reloads << (session() ? session()->editDepth() : -1);
        return true;
    }
    float stretchFactor() const override { return stretch; }
    void setStretchFactor(float f) override { stretch = f; }
    float pitchShift() const override { return shift; }
    void setPitchShift(float s) override { shift = s; }
    bool needsTranscription() const override { return transcribe; }
    void setNeedsTranscription(bool on) override { transcribe = on; }
    uint16_t fileTrackNumber() const override { return fileTrack; }
    void setFileTrackNumber(uint16_t n) override { fileTrack = n; }
    int bank() const override { return clipBank; }
    int program() const override { return clipProgram; }
    std::unique_ptr<Command> makeStretchEdit(float factor) const override;

    static inline int alive = 0;
    float stretch = 1.0f;
    float shift = 0.0f;
    bool transcribe = false;
    uint16_t fileTrack = 1;
    int clipBank = -1, clipProgram = -1;
    uint32_t eventTime = 480; // stands for the clip's MIDI events
    QList<int> reloads;
};

/** Stretches the event time of a HookClip, as the MIDI clip's edit stretches its events. */
class StretchEdit : public Command
{
public:
    StretchEdit(HookClip* clip, float factor)
        : Command(QStringLiteral("stretch")), m_clip(clip),
          m_time(uint32_t(std::lround(clip->eventTime * factor)))
    {
    }
    bool apply() override { return swap(); }
    bool revert() override { return swap(); }

private:
    bool swap()
    {
        std::swap(m_clip->eventTime, m_time);
        return true;
    }
    HookClip* m_clip;
    uint32_t m_time;
};

std::unique_ptr<Command> HookClip::makeStretchEdit(float factor) const
{
    return std::make_unique<StretchEdit>(const_cast<HookClip*>(this), factor);
}

} // namespace

class TestClipCommand : public QObject
{
    Q_OBJECT

    Session session;

    Track* addTrack(int kind)
    {
        auto* track = new Track(&session, kind);
        session.addTrack(track);
        return track;
    }
    HookClip* addClip(Track* track, uint32_t start, uint32_t length, const QString& name = {})
    {
        auto* clip = new HookClip(start, length, name);
        track->addClip(clip);
        return clip;
    }
    std::unique_ptr<ClipCommand> command(const QString& name = QStringLiteral("test"))
    {
        return std::make_unique<ClipCommand>(&session, name);
    }
    QStringList clipNames(const Track* track) const
    {
        QStringList names;
        for (Clip* clip = track->firstClip(); clip; clip = clip->next())
            names << clip->name();
        return names;
    }

private Q_SLOTS:
    void init()
    {
        session.clear();
        QCOMPARE(HookClip::alive, 0);
    }

    void addedClipIsOwnedWhileOutOfItsTrack()
    {
        Track* track = addTrack(Track::AudioTrack);
        addClip(track, 0, 100, QStringLiteral("a"));
        auto cmd = command();
        cmd->addClip(std::make_unique<HookClip>(500, 100, QStringLiteral("b")), track);
        Command* add = cmd.get();
        QVERIFY(add->ownsObject());
        QVERIFY(session.push(std::move(cmd)));
        QVERIFY(!add->ownsObject());
        QCOMPARE(clipNames(track), QStringList({"a", "b"}));
        QCOMPARE(session.endFrame(), 600u);

        session.commands().revert();
        QVERIFY(add->ownsObject());
        QCOMPARE(clipNames(track), QStringList({"a"}));
        QCOMPARE(session.endFrame(), 100u);
        QCOMPARE(HookClip::alive, 2);
        session.commands().clear();
        QCOMPARE(HookClip::alive, 1);

        // Applied, the track owns it: clearing the list leaves it alone.
        auto again = command();
        again->addClip(std::make_unique<HookClip>(500, 100), track);
        session.push(std::move(again));
        session.commands().clear();
        QCOMPARE(track->clipCount(), 2);
        QCOMPARE(HookClip::alive, 2);
    }

    void removedClipReturnsAndDiesWithTheCommand()
    {
        Track* track = addTrack(Track::AudioTrack);
        HookClip* a = addClip(track, 0, 100, QStringLiteral("a"));
        addClip(track, 200, 100, QStringLiteral("b"));
        auto cmd = command();
        cmd->removeClip(a);
        session.push(std::move(cmd));
        QCOMPARE(clipNames(track), QStringList({"b"}));
        QCOMPARE(a->track(), nullptr);
        session.commands().revert();
        QCOMPARE(clipNames(track), QStringList({"a", "b"}));
        session.commands().redo();
        session.commands().clear();
        QCOMPARE(HookClip::alive, 1);

        // Clips of equal start get their order back.
        HookClip* c = addClip(track, 200, 50, QStringLiteral("c"));
        addClip(track, 200, 10, QStringLiteral("d"));
        auto moves = command();
        moves->move(c, track, 900, 0, 50);
        moves->removeClip(c);
        session.push(std::move(moves));
        QCOMPARE(clipNames(track), QStringList({"b", "d"}));
        session.commands().revert();
        QCOMPARE(clipNames(track), QStringList({"b", "c", "d"}));
    }

    void midiTrackTakesTheClipsInstrumentUntilRevert()
    {
        Track* track = addTrack(Track::MidiTrack);
        auto clip = std::make_unique<HookClip>(0, 100);
        clip->clipBank = 3;
        clip->clipProgram = 24;
        Track::Properties props = track->properties();
        props.bank = 5; // the track's own bank stays
        track->setProperties(props);
        auto cmd = command();
        cmd->addClip(std::move(clip), track);
        session.push(std::move(cmd));
        QCOMPARE(track->properties().bank, 5);
        QCOMPARE(track->properties().program, 24);
        session.commands().revert();
        QCOMPARE(track->properties().program, -1);
        QCOMPARE(track->properties().bank, 5);
    }

    void moveBetweenTracksKeepsFadesOnlyWhereTheMaterialStays()
    {
        Track* from = addTrack(Track::AudioTrack);
        Track* to = addTrack(Track::AudioTrack);
        HookClip* clip = addClip(from, 1000, 1000);
        clip->setOffset(100);
        clip->setFadeIn(200);
        clip->setFadeOut(300);

        auto same = command(QStringLiteral("move clip"));
        same->move(clip, to, 5000, 100, 1000); // same material: both fades stay
        session.push(std::move(same));
        QCOMPARE(clip->track(), to);
        QCOMPARE(from->clipCount(), 0);
        QCOMPARE(clip->start(), 5000u);
        QCOMPARE(clip->fadeIn(), 200u);
        QCOMPARE(clip->fadeOut(), 300u);
        QCOMPARE(clip->startTick(), session.scale().frameToTick(5000));

        auto trimmed = command();
        trimmed->move(clip, to, 5000, 150, 950); // new offset, same end in the material
        session.push(std::move(trimmed));
        QCOMPARE(clip->fadeIn(), 0u);
        QCOMPARE(clip->fadeOut(), 300u);

        session.commands().revert();
        session.commands().revert();
        QCOMPARE(clip->track(), from);
        QCOMPARE(clip->start(), 1000u);
        QCOMPARE(clip->offset(), 100u);
        QCOMPARE(clip->fadeIn(), 200u);
        QCOMPARE(clip->fadeOut(), 300u);
    }

    void resizeMovesFadesWithTheMaterial_data()
    {
        QTest::addColumn<uint>("offset");
        QTest::addColumn<uint>("length");
        QTest::addColumn<uint>("fadeIn");
        QTest::addColumn<uint>("fadeOut");
        // Clip: offset 1000, length 4000, fade-in 500, fade-out 600.
        QTest::newRow("start later by 200") << 1200u << 3800u << 300u << 600u;
        QTest::newRow("start earlier by 200") << 800u << 4200u << 700u << 600u;
        QTest::newRow("start past the fade") << 2000u << 3000u << 0u << 600u;
        QTest::newRow("end later by 100") << 1000u << 4100u << 500u << 700u;
        QTest::newRow("end before the fade") << 1000u << 3000u << 500u << 0u;
    }
    void resizeMovesFadesWithTheMaterial()
    {
        QFETCH(uint, offset);
        QFETCH(uint, length);
        QFETCH(uint, fadeIn);
        QFETCH(uint, fadeOut);
        Track* track = addTrack(Track::AudioTrack);
        HookClip* clip = addClip(track, 10000, 4000);
        clip->setOffset(1000);
        clip->setFadeIn(500);
        clip->setFadeOut(600);
        auto cmd = command(QStringLiteral("clip resize"));
        cmd->resize(clip, 10000 + offset - 1000, offset, length);
        session.push(std::move(cmd));
        QCOMPARE(clip->offset(), offset);
        QCOMPARE(clip->length(), length);
        QCOMPARE(clip->fadeIn(), fadeIn);
        QCOMPARE(clip->fadeOut(), fadeOut);
        QCOMPARE(clip->stretch, 1.0f); // no factor given
        session.commands().revert();
        QCOMPARE(clip->offset(), 1000u);
        QCOMPARE(clip->length(), 4000u);
        QCOMPARE(clip->fadeIn(), 500u);
        QCOMPARE(clip->fadeOut(), 600u);
    }

    void resizeReordersAndStretches()
    {
        Track* audio = addTrack(Track::AudioTrack);
        HookClip* a = addClip(audio, 0, 100, QStringLiteral("a"));
        addClip(audio, 500, 100, QStringLiteral("b"));
        auto cmd = command();
        cmd->resize(a, 800, 0, 200, 2.0f);
        session.push(std::move(cmd));
        QCOMPARE(clipNames(audio), QStringList({"b", "a"}));
        QCOMPARE(a->stretch, 2.0f);
        QCOMPARE(a->reloads.size(), 1);
        session.commands().revert();
        QCOMPARE(clipNames(audio), QStringList({"a", "b"}));
        QCOMPARE(a->stretch, 1.0f);

        // On a MIDI track the events are stretched instead, and nothing is reloaded.
        Track* midi = addTrack(Track::MidiTrack);
        HookClip* m = addClip(midi, 0, 1000);
        auto onMidi = command();
        onMidi->resize(m, 0, 0, 1500, 1.5f);
        session.push(std::move(onMidi));
        QCOMPARE(m->eventTime, 720u);
        QCOMPARE(m->stretch, 1.0f);
        QVERIFY(m->reloads.isEmpty());
        session.commands().revert();
        QCOMPARE(m->eventTime, 480u);
        session.commands().redo();
        QCOMPARE(m->eventTime, 720u);
    }

    void valueOperationsSwapAndReloadUnderTheLock()
    {
        Track* track = addTrack(Track::AudioTrack);
        HookClip* clip = addClip(track, 0, 1000, QStringLiteral("old"));
        clip->setFilePath(QStringLiteral("/tmp/old.wav"));
        clip->setFadeOut(100);
        auto cmd = command();
        cmd->rename(clip, QStringLiteral("new"));
        cmd->changeFile(clip, QStringLiteral("/tmp/new.mid"), 4);
        cmd->setGain(clip, 0.5f);
        cmd->setFadeIn(clip, 50, Clip::Cubic);
        cmd->stretch(clip, 1.25f);
        cmd->pitch(clip, -2.0f);
        cmd->setLength(clip, 800);
        QCOMPARE(cmd->operationCount(), 7);
        session.push(std::move(cmd));
        QCOMPARE(clip->name(), QStringLiteral("new"));
        QCOMPARE(clip->filePath(), QStringLiteral("/tmp/new.mid"));
        QCOMPARE(int(clip->fileTrack), 4);
        QCOMPARE(clip->gain(), 0.5f);
        QCOMPARE(clip->fadeIn(), 50u);
        QCOMPARE(clip->fadeInShape(), int(Clip::Cubic));
        QCOMPARE(clip->stretch, 1.25f);
        QCOMPARE(clip->shift, -2.0f);
        QCOMPARE(clip->length(), 800u);
        QCOMPARE(clip->fadeOut(), 0u); // the fade lay in the part cut off
        // file, stretch, pitch and length reload, each inside the edit lock
        QCOMPARE(clip->reloads, QList<int>({1, 1, 1, 1}));
        QCOMPARE(session.editDepth(), 0);

        session.commands().revert();
        QCOMPARE(clip->name(), QStringLiteral("old"));
        QCOMPARE(clip->filePath(), QStringLiteral("/tmp/old.wav"));
        QCOMPARE(int(clip->fileTrack), 1);
        QCOMPARE(clip->gain(), 1.0f);
        QCOMPARE(clip->fadeIn(), 0u);
        QCOMPARE(clip->fadeInShape(), int(Clip::Quadratic));
        QCOMPARE(clip->stretch, 1.0f);
        QCOMPARE(clip->shift, 0.0f);
        QCOMPARE(clip->length(), 1000u);
        QCOMPARE(clip->fadeOut(), 100u);
    }

    void operationsOnOneClipRevertInReverseOrder()
    {
        Track* track = addTrack(Track::AudioTrack);
        HookClip* clip = addClip(track, 0, 1000, QStringLiteral("a"));
        auto cmd = command();
        cmd->rename(clip, QStringLiteral("b"));
        cmd->rename(clip, QStringLiteral("c"));
        cmd->setGain(clip, 0.5f);
        cmd->setGain(clip, 0.25f);
        session.push(std::move(cmd));
        QCOMPARE(clip->name(), QStringLiteral("c"));
        session.commands().revert();
        QCOMPARE(clip->name(), QStringLiteral("a"));
        QCOMPARE(clip->gain(), 1.0f);
        session.commands().redo();
        QCOMPARE(clip->name(), QStringLiteral("c"));
        QCOMPARE(clip->gain(), 0.25f);
    }

    void emptyCommandIsNotPushed()
    {
        auto cmd = command(QStringLiteral("record clip"));
        cmd->removeClip(nullptr);
        QVERIFY(cmd->isEmpty());
        QVERIFY(!ClipCommand::push(&session, std::move(cmd)));
        QCOMPARE(session.commands().count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestClipCommand)
#include "tst_clip_command.moc"
