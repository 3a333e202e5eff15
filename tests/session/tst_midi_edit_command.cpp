#include "clip_command.h"
#include "midi_clip.h"
#include "midi_edit_command.h"
#include "session.h"
#include "spy_clip.h"
#include "track.h"

#include <QTest>

class TestMidiEditCommand : public QObject
{
    Q_OBJECT

    static std::unique_ptr<Engine> spyFactory(Session* s, int kind)
    {
        return std::make_unique<SpyEngine>(s, kind);
    }
    Session session{&TestMidiEditCommand::spyFactory};
    Track* track = nullptr;
    MidiClip* clip = nullptr;

    MidiSequence& sequence() { return clip->sequence(); }
    MidiEvent* add(uint32_t time, uint8_t key, uint32_t duration = 120)
    {
        return sequence().insert(MidiEvent::note(time, key, 100, duration));
    }
    std::unique_ptr<MidiEditCommand> command(const QString& name = QStringLiteral("edit"))
    {
        return std::make_unique<MidiEditCommand>(clip, name);
    }
    /** The events in list order, each as "time:key". */
    QStringList events()
    {
        QStringList list;
        for (const MidiEvent* e = sequence().first(); e; e = e->next())
            list << QStringLiteral("%1:%2").arg(e->time).arg(e->data1);
        return list;
    }

private Q_SLOTS:
    void init()
    {
        if (session.isPlaying())
            session.setPlaying(false);
        session.clear();
        track = new Track(&session, Track::MidiTrack);
        session.addTrack(track);
        clip = new MidiClip(&session);
        clip->setLength(4 * 22050); // four beats at 120 bpm: 3840 ticks
        track->addClip(clip);
    }

    void undoRestoresTheOrderAmongEqualTimes()
    {
        add(0, 60);
        MidiEvent* b = add(100, 62);
        MidiEvent* c = add(100, 64);
        add(100, 65);
        auto edit = command(QStringLiteral("move"));
        edit->setKeyTime(b, 72, 300);
        edit->setTimeLength(c, 0, 480);
        edit->setKeyTime(b, 200, 100); // back to its time; the key is limited to 127
        session.push(std::move(edit));
        QCOMPARE(events(), QStringList({"0:60", "0:64", "100:65", "100:127"}));
        QCOMPARE(c->duration, 480u);
        session.commands().revert();
        QCOMPARE(events(), QStringList({"0:60", "100:62", "100:64", "100:65"}));
        QCOMPARE(c->duration, 120u);
        session.commands().redo();
        QCOMPARE(events(), QStringList({"0:60", "0:64", "100:65", "100:127"}));
    }

    void valuesSwapWithPitchBendCentred()
    {
        MidiEvent* bend = sequence().insert(MidiEvent::channel(0, MidiEvent::PitchBend, 0, 64));
        MidiEvent* note = add(10, 60);
        MidiEvent* controller =
            sequence().insert(MidiEvent::channel(20, MidiEvent::Controller, 7, 90));
        QCOMPARE(MidiEditCommand::valueOf(bend), 0);
        auto edit = command();
        edit->setValue(bend, -9000);
        edit->setValue(note, 300);
        edit->setValue(controller, 5);
        session.push(std::move(edit));
        QCOMPARE(MidiEditCommand::valueOf(bend), -8192);
        QCOMPARE(int(bend->data1), 0);
        QCOMPARE(int(bend->data2), 0);
        QCOMPARE(int(note->data2), 127);
        QCOMPARE(int(controller->data2), 5);
        session.commands().revert();
        QCOMPARE(int(bend->data2), 64);
        QCOMPARE(int(note->data2), 100);
        QCOMPARE(int(controller->data2), 90);

        auto top = command();
        top->setValue(bend, 8191);
        session.push(std::move(top));
        QCOMPARE(int(bend->data1), 127);
        QCOMPARE(int(bend->data2), 127);
    }

    void resizeByAFactorStretchesTheMaterial()
    {
        add(0, 60, 240);
        add(480, 62, 240);
        add(1000, 64, 100);
        add(4000, 65, 100); // past the clip's length: not part of the material
        auto resize = std::make_unique<ClipCommand>(&session, QStringLiteral("clip resize"));
        resize->resize(clip, 0, 0, 2 * clip->length(), 2.0f, MidiEditCommand::stretch(clip, 2.0f));
        session.push(std::move(resize));
        QCOMPARE(events(), QStringList({"0:60", "960:62", "2000:64", "4000:65"}));
        QCOMPARE(sequence().first()->duration, 480u);
        QCOMPARE(sequence().last()->duration, 100u);
        QCOMPARE(clip->length(), 8u * 22050);
        session.commands().revert();
        QCOMPARE(events(), QStringList({"0:60", "480:62", "1000:64", "4000:65"}));
        QCOMPARE(sequence().first()->duration, 240u);
        QCOMPARE(MidiEditCommand::stretch(clip, 1.0f), nullptr);
    }

    void aClipResizeByAFactorStretchesAMidiClipByItself()
    {
        add(0, 60, 240);
        add(480, 62, 240);
        sequence().setProgram(5);
        clip->setTrackNumber(3);
        QCOMPARE(clip->fileTrackNumber(), 3);
        QCOMPARE(clip->program(), 5);
        auto resize = std::make_unique<ClipCommand>(&session, QStringLiteral("clip resize"));
        resize->resize(clip, 0, 0, 2 * clip->length(), 2.0f);
        session.push(std::move(resize));
        QCOMPARE(events(), QStringList({"0:60", "960:62"}));
        session.commands().revert();
        QCOMPARE(events(), QStringList({"0:60", "480:62"}));
    }

    void trackIsSilencedWhilePlaying()
    {
        MidiEvent* e = add(0, 60);
        auto* spy = static_cast<SpyEngine*>(session.midiEngine());
        session.setPlaying(true);
        auto edit = command();
        edit->setValue(e, 1);
        session.push(std::move(edit));
        QCOMPARE(spy->changes.size(), 2);
        QCOMPARE(spy->changes[0], qMakePair(track, false));
        QCOMPARE(spy->changes[1], qMakePair(track, true));
        QCOMPARE(session.editDepth(), 0);
    }
};

QTEST_GUILESS_MAIN(TestMidiEditCommand)
#include "tst_midi_edit_command.moc"
