// The MIDI engine's immediate messages, buses, defaults and the MIDI side of the bus commands.
#include "bus_command.h"
#include "midi_engine_harness.h"
#include "midi_monitor.h"

#include <QTest>
#include <tuple>

namespace {

struct Sent
{
    int type;
    int channel;
    uint32_t parameter;
    int32_t value;
};

std::vector<Sent> directControls(const MidiEngineHarness& h)
{
    std::vector<Sent> out;
    for (const SequencerEvent& e : h.events)
        if (e.queue == SequencerEvent::kDirectQueue &&
            (e.type == SequencerEvent::Controller || e.type == SequencerEvent::ProgramChange))
            out.push_back(
                {e.type, e.data.control.channel, e.data.control.parameter, e.data.control.value});
    return out;
}

} // namespace

class TestMidiEngineMessages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaultsBeforeAnyOption()
    {
        MidiEngineHarness h;
        const MetronomeSound& m = h.engine->metronomeSound();
        QCOMPARE(m, MetronomeSound());
        QCOMPARE(m.channel, 9);
        QCOMPARE(m.barNote, 76);
        QCOMPARE(m.barVelocity, 96);
        QCOMPARE(m.barDuration, 48);
        QCOMPARE(m.beatNote, 77);
        QCOMPARE(m.beatVelocity, 64);
        QCOMPARE(m.beatDuration, 24);
        QVERIFY(!h.engine->isMetronomeOn());
        QVERIFY(!h.engine->metronomeOwnBus());
        QCOMPARE(h.engine->tickOffset(), int64_t(0));
        QCOMPARE(h.engine->lastTempo(), 0.0f);
        QCOMPARE(h.engine->deferredResets(), 0);
    }

    void volumeAndPanValues_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<int>("volume");
        QTest::addColumn<int>("pan");
        QTest::newRow("-1") << -1.0f << 0 << 1;
        QTest::newRow("0") << 0.0f << 0 << 64;
        QTest::newRow("0.5") << 0.5f << 63 << 95;
        QTest::newRow("+1") << 1.0f << 127 << 127;
        QTest::newRow("out of range stays within 7 bits") << 2.0f << 127 << 127;
    }

    void volumeAndPanValues()
    {
        QFETCH(float, value);
        QFETCH(int, volume);
        QFETCH(int, pan);
        QCOMPARE(MidiEngine::volumeValue(value), volume);
        QCOMPARE(MidiEngine::panValue(value), pan);
    }

    void trackGainAndPanSendControllersOrDefer()
    {
        MidiEngineHarness h;
        // Not initialised yet: the requests are counted and made good by resetControls().
        MidiBus* early = dynamic_cast<MidiBus*>(h.engine->createBus(QStringLiteral("Master"), 3));
        QVERIFY(early && !early->isOpen());
        Track* track = h.addTrack(4);
        QVERIFY(track->monitor());
        track->setGain(0.5f);
        QVERIFY(h.engine->deferredResets() > 0);
        QVERIFY(h.events.empty());

        QVERIFY(h.open());
        QVERIFY(early->isOpen());
        h.events.clear();
        h.engine->resetControls();
        QCOMPARE(h.engine->deferredResets(), 0);
        auto sent = directControls(h);
        QCOMPARE(sent.size(), size_t(2));
        QCOMPARE(sent[0].channel, 4);
        QCOMPARE(sent[0].parameter, 7u);
        QCOMPARE(sent[0].value, 63);
        QCOMPARE(sent[1].parameter, 10u);
        QCOMPARE(sent[1].value, 64);

        h.events.clear();
        track->setPanning(-1.0f);
        sent = directControls(h);
        QCOMPARE(sent.size(), size_t(1));
        QCOMPARE(sent[0].parameter, 10u);
        QCOMPARE(sent[0].value, 1);
        QCOMPARE(int(h.events[0].sourcePort), early->port());
    }

    void bankSelectMethods_data()
    {
        QTest::addColumn<int>("method");
        QTest::addColumn<QList<int>>("expected"); // controller, value pairs, then the program
        const int bank = 3 * 128 + 5;
        QTest::newRow("0: MSB and LSB") << 0 << QList<int>{0, 3, 32, 5, -1, 17};
        QTest::newRow("1: controller 0 only") << 1 << QList<int>{0, bank & 0x7F, -1, 17};
        QTest::newRow("2: controller 32 only") << 2 << QList<int>{32, bank & 0x7F, -1, 17};
        QTest::newRow("3: none") << 3 << QList<int>{-1, 17};
    }

    void bankSelectMethods()
    {
        QFETCH(int, method);
        QFETCH(QList<int>, expected);
        MidiEngineHarness h;
        QVERIFY(h.open());
        MidiBus* bus = h.master();
        h.events.clear();
        QVERIFY(h.engine->setPatch(bus, 2, QStringLiteral("GM"), method, 3 * 128 + 5, 17));
        QList<int> actual;
        for (const Sent& s : directControls(h)) {
            QCOMPARE(s.channel, 2);
            if (s.type == SequencerEvent::ProgramChange)
                actual << -1 << s.value;
            else
                actual << int(s.parameter) << s.value;
        }
        QCOMPARE(actual, expected);
        QVERIFY(bus->patch(2).set);
        QCOMPARE(bus->patch(2 + 16).program, 17); // the channel is masked to 4 bits

        // A program below 0 sends nothing; no instrument name leaves the map alone.
        h.events.clear();
        QVERIFY(!h.engine->setPatch(bus, 5, QString(), 0, 1, -1));
        QVERIFY(h.engine->setPatch(bus, 6, QString(), 0, -1, 3));
        QCOMPARE(directControls(h).size(), size_t(1));
        QVERIFY(!bus->patch(5).set && !bus->patch(6).set);
    }

    // Every start tells the output each track's instrument, so the song plays its parts on
    // their programs wherever playing begins; bank 0 needs no bank select.
    void playingSendsEachTracksProgramVolumeAndPan()
    {
        MidiEngineHarness h;
        QVERIFY(h.open());
        const std::tuple<int, int, int> tracks[] = {{0, 0, 33}, {9, 0, 0}, {3, 130, 48}};
        for (const auto& [channel, bank, program] : tracks) {
            Track* track = h.addTrack(channel);
            Track::Properties props = track->properties();
            props.bank = bank;
            props.program = program;
            track->setProperties(props);
        }
        h.addTrack(5); // no program: only volume and pan
        h.events.clear();
        h.play();
        QList<int> sent; // channel, then controller and value or -1 and the program
        for (const Sent& s : directControls(h)) {
            sent << s.channel;
            if (s.type == SequencerEvent::ProgramChange)
                sent << -1 << s.value;
            else
                sent << int(s.parameter) << s.value;
        }
        QCOMPARE(sent, (QList<int>{0, -1, 33, 0, 7, 127, 0, 10, 64,
                                   9, -1, 0, 9, 7, 127, 9, 10, 64,
                                   3, 0, 1, 3, 32, 2, 3, -1, 48, 3, 7, 127, 3, 10, 64,
                                   5, 7, 127, 5, 10, 64}));
    }

    void shutOffSilencesPatchedChannels()
    {
        MidiEngineHarness h;
        QVERIFY(h.open());
        MidiBus* bus = h.master();
        h.engine->setPatch(bus, 1, QStringLiteral("GM"), 0, -1, 0);
        h.engine->setPatch(bus, 9, QStringLiteral("GM"), 0, -1, 0);
        for (bool reset : {false, true}) {
            h.events.clear();
            h.engine->shutOff(bus, reset);
            std::vector<std::pair<int, uint32_t>> sent;
            for (const Sent& s : directControls(h))
                sent.emplace_back(s.channel, s.parameter);
            std::vector<std::pair<int, uint32_t>> expected;
            for (int channel : {1, 9}) {
                expected.emplace_back(channel, 120);
                expected.emplace_back(channel, 123);
                if (reset)
                    expected.emplace_back(channel, 121);
            }
            QCOMPARE(sent, expected);
        }
    }

    void previewNotesAreDirectAndCounted()
    {
        MidiEngineHarness h;
        QVERIFY(h.open());
        Track* track = h.addTrack(5);
        auto* monitor = dynamic_cast<MidiMonitor*>(track->monitor());
        QVERIFY(monitor);
        h.events.clear();
        h.engine->playNote(track, 64, 110);
        h.layer.advanceToFrame(512); // the scheduler sends offs before ons of one millisecond
        h.engine->playNote(track, 64, 0);
        QCOMPARE(h.events.size(), size_t(2));
        QCOMPARE(int(h.events[0].type), int(SequencerEvent::NoteOn));
        QCOMPARE(int(h.events[1].type), int(SequencerEvent::NoteOff));
        QCOMPARE(int(h.events[0].queue), int(SequencerEvent::kDirectQueue));
        QCOMPARE(int(h.events[0].data.note.channel), 5);
        QCOMPARE(monitor->peak(), 110);
        QCOMPARE(monitor->eventCount(), 2);
        QCOMPARE(h.master()->midiOutputMonitor()->eventCount(), 2);
        h.layer.advanceToFrame(1024);
        const auto delivered = h.delivered();
        QCOMPARE(delivered.size(), size_t(2));
        QCOMPARE(delivered[0].word, shortWord(0x95, 64, 110));
    }

    void monitorRingCountsScheduledEvents()
    {
        MidiMonitor monitor;
        monitor.setSlotWidth(100, 0);
        monitor.count(50, 0x90, 80);    // slot 0
        monitor.count(250, 0x90, 90);   // slot 2
        monitor.count(250, 0xB0, 0);    // counts, no peak
        monitor.count(99999, 0x90, 70); // capped at slot 15
        monitor.count(0, 0x90, 30);     // at the base time: running peak
        QCOMPARE(monitor.slotPeak(0), 80);
        QCOMPARE(monitor.slotPeak(2), 90);
        QCOMPARE(monitor.slotCount(2), 2);
        QCOMPARE(monitor.slotPeak(15), 70);
        QCOMPARE(monitor.peak(), 30);
        QCOMPARE(monitor.eventCount(), 1);
        // A narrower width from time 1000 on leaves earlier events on the old width.
        monitor.setSlotWidth(10, 1000);
        monitor.count(350, 0x90, 60);
        QCOMPARE(monitor.slotPeak(3), 60);
        monitor.advance(300);
        QCOMPARE(monitor.peak(), 90);
        QCOMPARE(monitor.eventCount(), 4);
        monitor.reset();
        QCOMPARE(monitor.peak(), 0);
        QCOMPARE(monitor.slotCount(15), 0);
    }

    void metronomeBusOfItsOwn()
    {
        MidiEngineHarness h;
        QVERIFY(h.open());
        QCOMPARE(h.engine->metronomeBus(), h.master());
        h.engine->setMetronomeOwnBus(true);
        MidiBus* own = h.engine->metronomeBus();
        QVERIFY(own && own != h.master());
        QCOMPARE(own->name(), QStringLiteral("Metronome"));
        QVERIFY(own->isOpen() && own->isOutput() && !own->isInput());
        h.engine->setMetronomeOn(true);
        h.play();
        const auto clicks = h.eventsOfType(SequencerEvent::NoteWithDuration);
        QCOMPARE(clicks.size(), size_t(1));
        QCOMPARE(int(clicks[0].sourcePort), own->port());
        h.stop();
        h.engine->setMetronomeOwnBus(false);
        QCOMPARE(h.engine->metronomeBus(), h.master());
    }

    void busGainSendsMasterVolumeAndUndoes()
    {
        MidiEngineHarness h;
        QVERIFY(h.open());
        MidiBus* bus = h.master();
        h.events.clear();
        QVERIFY(h.session->push(
            std::make_unique<BusGainCommand>(h.session.get(), Engine::MidiKind, bus, 0.5f)));
        QCOMPARE(bus->midiOutputMonitor()->gain(), 0.5f);
        QCOMPARE(bus->midiInputMonitor()->gain(), 0.5f);
        const auto sysex = h.eventsOfType(SequencerEvent::SysEx);
        QCOMPARE(sysex.size(), size_t(1));
        QCOMPARE(sysex[0].data.ext.length, 8u);
        QCOMPARE(int(sysex[0].queue), int(SequencerEvent::kDirectQueue));
        h.session->commands().revert();
        QCOMPARE(bus->midiOutputMonitor()->gain(), 1.0f);
        QCOMPARE(h.eventsOfType(SequencerEvent::SysEx).size(), size_t(2));

        QVERIFY(h.session->push(
            std::make_unique<BusPanningCommand>(h.session.get(), Engine::MidiKind, bus, -1.0f)));
        QCOMPARE(bus->midiOutputMonitor()->panning(), -1.0f);
        QCOMPARE(h.eventsOfType(SequencerEvent::SysEx).size(), size_t(3));
    }

    void updateBusReopensPortAndKeepsTracks()
    {
        MidiEngineHarness h;
        QVERIFY(h.open());
        MidiBus* bus = h.master();
        Track* track = h.addTrack(0);
        QCOMPARE(track->outputBus(), static_cast<Bus*>(bus));
        QVERIFY(h.session->push(std::make_unique<UpdateBusCommand>(
            h.session.get(), Engine::MidiKind, bus, QStringLiteral("Synth"), Bus::Output, false,
            QStringLiteral("General MIDI"))));
        QCOMPARE(bus->name(), QStringLiteral("Synth"));
        QVERIFY(bus->isOpen());
        QVERIFY(!bus->midiInputMonitor() && bus->midiOutputMonitor());
        QCOMPARE(bus->instrumentName(), QStringLiteral("General MIDI"));
        QCOMPARE(track->outputBus(), static_cast<Bus*>(bus));
        QCOMPARE(track->properties().outputBus, QStringLiteral("Synth"));
        QVERIFY(track->monitor());
        h.session->commands().revert();
        QCOMPARE(bus->name(), QStringLiteral("Master"));
        QVERIFY(bus->midiInputMonitor());
        QCOMPARE(track->properties().outputBus, QStringLiteral("Master"));
        QCOMPARE(track->outputBus(), static_cast<Bus*>(bus));
    }
};

QTEST_GUILESS_MAIN(TestMidiEngineMessages)
#include "tst_midi_engine_messages.moc"
