#include "error_log.h"
#include "recording_midi_output.h"
#include "scheduler_clock.h"
#include "sequencer_layer.h"
#include "short_message.h"

#include <QSet>
#include <QTest>

#include <alsa/asoundlib.h>
#include <fluidsynth.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <tuple>

namespace {

/** An output whose device cannot be opened. */
class BrokenOutput : public MidiOutput
{
public:
    bool open(QString* error) override
    {
        *error = QStringLiteral("no device");
        return false;
    }
    void close() override {}
    int send(uint32_t, int64_t) override { return 0; }
};

uint32_t word(uint32_t status, int data1, int data2)
{
    return status | uint32_t(data1) << 8 | uint32_t(data2) << 16;
}

} // namespace

/** The sequencer layer on the audio-frame clock: every delivery time is exact. */
class TestSequencerLayer : public QObject
{
    Q_OBJECT

    RecordingMidiOutput m_output;
    SequencerLayer m_layer;

    /** Delivers everything due up to and including millisecond `ms`. */
    void advanceTo(int64_t ms) { m_layer.advanceToFrame(SchedulerClock::firstFrameOfMs(ms + 1)); }

    std::vector<RecordingMidiOutput::Message> messages() const { return m_output.messages(); }

private Q_SLOTS:
    void init()
    {
        ErrorLog::clear();
        m_output.clear();
        m_layer.setPlaybackLatency(0.0);
        m_layer.setOutput(&m_output);
        QCOMPARE(m_layer.open(SequencerLayer::Clock::AudioFrames), 0);
    }

    void cleanup() { QCOMPARE(m_layer.close(), 0); }

    void eventTimeFollowsTempoStartAndLatency()
    {
        QCOMPARE(m_layer.setQueueTempo(480, 500000), 0);
        m_layer.setPlaybackLatency(0.25);
        advanceTo(99);
        QCOMPARE(m_layer.controlQueue(SequencerLayer::kQueueStart), 0);
        const int64_t start = 100;
        QCOMPARE(m_layer.outputEvent(SequencerEvent::note(960, 0, 60, 100, 480)), 0);

        advanceTo(start + 1249);
        QVERIFY(messages().empty());
        advanceTo(start + 1250);
        QCOMPARE(messages().size(), size_t(1));
        QCOMPARE(messages()[0].word, word(0x90, 60, 100));
        QCOMPARE(messages()[0].timeMs, start + 1250);
        // 960 ticks per second: 1250 ms after the start the queue stands at tick 1200.
        QCOMPARE(m_layer.queuePosition(), 1200u);

        uint32_t ticksPerBeat = 0;
        uint32_t tempo = 0;
        QCOMPARE(m_layer.queueTempo(&ticksPerBeat, &tempo), 0);
        QCOMPARE(ticksPerBeat, 480u);
        QCOMPARE(tempo, 500000u);
    }

    void noteOffComesAtTickPlusDurationMinusOne_data()
    {
        QTest::addColumn<uint32_t>("duration");
        QTest::addColumn<int64_t>("offAfterOn");
        QTest::newRow("10 ticks") << 10u << int64_t(9);
        QTest::newRow("2 ticks") << 2u << int64_t(1);
        // t + d - 1 = t would put the off before the on of the same millisecond.
        QTest::newRow("1 tick") << 1u << int64_t(1);
        QTest::newRow("no duration") << 0u << int64_t(1);
    }

    void noteOffComesAtTickPlusDurationMinusOne()
    {
        QFETCH(uint32_t, duration);
        QFETCH(int64_t, offAfterOn);
        QCOMPARE(m_layer.setQueueTempo(500, 500000), 0); // 1000 ticks per second
        m_layer.controlQueue(SequencerLayer::kQueueStart);
        m_layer.outputEvent(SequencerEvent::note(40, 2, 70, 80, duration));
        advanceTo(200);
        const auto received = messages();
        QCOMPARE(received.size(), size_t(2));
        QCOMPARE(received[0].word, word(0x92, 70, 80));
        QCOMPARE(received[1].word, word(0x82, 70, 0));
        QCOMPARE(received[0].timeMs, int64_t(40));
        QCOMPARE(received[1].timeMs - received[0].timeMs, offAfterOn);
    }

    void stopRemovesPendingNotesAndSilencesAllChannels()
    {
        m_layer.controlQueue(SequencerLayer::kQueueStart);
        m_layer.outputEvent(SequencerEvent::note(10, 0, 60, 100, 500));
        m_layer.outputEvent(SequencerEvent::note(300, 1, 62, 100, 100));
        advanceTo(50);
        QCOMPARE(messages().size(), size_t(1));

        QCOMPARE(m_layer.controlQueue(SequencerLayer::kQueueStop), 0);
        advanceTo(2000);
        const auto received = messages();
        QCOMPARE(received.size(), size_t(17));
        QSet<uint32_t> silenced;
        for (size_t i = 1; i < received.size(); ++i) {
            QCOMPARE(received[i].word & 0xFFFFF0u, word(0xB0, 123, 0));
            QCOMPARE(received[i].timeMs, int64_t(51)); // at once
            silenced.insert(received[i].word & 0x0Fu);
        }
        QCOMPARE(silenced.size(), 16);
    }

    void unsentEventsNeverReachTheOutput()
    {
        m_layer.controlQueue(SequencerLayer::kQueueStart);
        const uint8_t sysex[] = {0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x40, 0xF7};
        SequencerEvent master = SequencerEvent::control(SequencerEvent::SysEx, 5, 0, 0, 0);
        master.flags = SequencerEvent::kVariableLengthFlag;
        master.data.ext = {sizeof sysex, sysex};
        const SequencerEvent events[] = {
            SequencerEvent::control(SequencerEvent::PitchBend, 1, 0, 0, 4000),
            SequencerEvent::control(SequencerEvent::PitchBend, 2, 0, 0, -8192),
            SequencerEvent::control(SequencerEvent::KeyPressure, 3, 0, 60, 50),
            SequencerEvent::control(SequencerEvent::ChannelPressure, 4, 0, 0, 50),
            master,
            SequencerEvent::control(SequencerEvent::SongPosition, 6, 0, 0, 16),
            SequencerEvent::control(SequencerEvent::Tempo, 7, 0, 0, 400000),
            SequencerEvent::control(SequencerEvent::Continue, 8, 0, 0, 0),
            SequencerEvent::control(SequencerEvent::ChannelPressure, 0, 0, 0, 50).direct(),
            SequencerEvent::control(SequencerEvent::PitchBend, 0, 0, 0, 100).direct(),
        };
        for (const SequencerEvent& event : events)
            QCOMPARE(m_layer.outputEvent(event), 0);
        m_layer.outputEvent(SequencerEvent::control(SequencerEvent::Controller, 20, 0, 7, 99));
        advanceTo(100);
        const auto received = messages();
        QCOMPARE(received.size(), size_t(1));
        QCOMPARE(received[0].word, word(0xB0, 7, 99));
    }

    void eventsBecomeShortMessages_data()
    {
        QTest::addColumn<SequencerEvent>("event");
        QTest::addColumn<uint32_t>("expected");
        QTest::newRow("note on") << SequencerEvent::noteOn(0, 3, 64, 90) << word(0x93, 64, 90);
        QTest::newRow("note off") << SequencerEvent::noteOff(0, 3, 64) << word(0x83, 64, 0);
        QTest::newRow("controller")
            << SequencerEvent::control(SequencerEvent::Controller, 0, 1, 7, 100)
            << word(0xB1, 7, 100);
        QTest::newRow("controller, low 16 bits")
            << SequencerEvent::control(SequencerEvent::Controller, 0, 0, 0x10007, 0x10064)
            << word(0xB0, 7, 100);
        QTest::newRow("program change")
            << SequencerEvent::control(SequencerEvent::ProgramChange, 0, 9, 0, 5)
            << word(0xC9, 5, 0);
        // Data bytes of a short message are 7 bits; a wider value must not spill into the next.
        QTest::newRow("controller value 300")
            << SequencerEvent::control(SequencerEvent::Controller, 0, 0, 10, 300)
            << word(0xB0, 10, 44);
    }

    void eventsBecomeShortMessages()
    {
        QFETCH(SequencerEvent, event);
        QFETCH(uint32_t, expected);
        m_layer.controlQueue(SequencerLayer::kQueueStart);
        QCOMPARE(m_layer.outputEvent(event), 0);
        advanceTo(10);
        QCOMPARE(messages().size(), size_t(1));
        QCOMPARE(messages()[0].word, expected);
    }

    void directEventsGoOutAtOnce()
    {
        advanceTo(30);
        m_layer.controlQueue(SequencerLayer::kQueueStart);
        m_layer.outputEvent(SequencerEvent::noteOn(5000, 0, 60, 100).direct());
        // A note with duration has no direct form: it is not sent.
        m_layer.outputEvent(SequencerEvent::note(0, 0, 61, 100, 10).direct());
        advanceTo(31);
        QCOMPARE(messages().size(), size_t(1));
        QCOMPARE(messages()[0].word, word(0x90, 60, 100));
        QCOMPARE(messages()[0].timeMs, int64_t(31));
        advanceTo(6000);
        QCOMPARE(messages().size(), size_t(1));
    }

    void secondOpenKeepsTheOpenLayer()
    {
        m_layer.setQueueTempo(96, 600000);
        m_layer.controlQueue(SequencerLayer::kQueueStart);
        m_layer.outputEvent(SequencerEvent::noteOn(96, 0, 60, 100));
        QCOMPARE(m_layer.open(SequencerLayer::Clock::AudioFrames), 0);
        uint32_t ticksPerBeat = 0;
        uint32_t tempo = 0;
        m_layer.queueTempo(&ticksPerBeat, &tempo);
        QCOMPARE(ticksPerBeat, 96u);
        QCOMPARE(tempo, 600000u);
        advanceTo(600);
        QCOMPARE(messages().size(), size_t(1));
        QCOMPARE(messages()[0].timeMs, int64_t(600));
    }

    void operationsThatDoNothing()
    {
        SequencerEvent* input = reinterpret_cast<SequencerEvent*>(this);
        QCOMPARE(m_layer.poll(), -1);
        QCOMPARE(m_layer.inputPending(), -1);
        QCOMPARE(m_layer.eventInput(&input), 0);
        QCOMPARE(input, nullptr);
        QCOMPARE(m_layer.allocQueue(), 0);
        QCOMPARE(m_layer.createPort("Master"), 0);
        QCOMPARE(m_layer.clientCount(), 0);
        QCOMPARE(m_layer.drainOutput(), 0);
        // A tempo of 0 would divide by zero.
        QCOMPARE(m_layer.setQueueTempo(480, 0), -1);
        QCOMPARE(m_layer.setQueueTempo(0, 500000), -1);
    }

    void closedLayerRefusesEvents()
    {
        m_layer.close();
        QCOMPARE(m_layer.outputEvent(SequencerEvent::noteOn(0, 0, 60, 100)), -1);
        QCOMPARE(m_layer.controlQueue(SequencerLayer::kQueueStart), -1);
        QVERIFY(!m_output.isOpen());
        m_layer.open(SequencerLayer::Clock::AudioFrames);
    }

    void outputThatCannotOpenFailsTheLayer()
    {
        m_layer.close();
        BrokenOutput broken;
        m_layer.setOutput(&broken);
        QCOMPARE(m_layer.open(SequencerLayer::Clock::AudioFrames), -1);
        QVERIFY(!m_layer.isOpen());
        QCOMPARE(ErrorLog::take(), QStringLiteral("no device < midiOutOpen < _seq_open"));
        m_layer.setOutput(&m_output);
        m_layer.open(SequencerLayer::Clock::AudioFrames);
    }

    // The program's layer plays on without MIDI rather than keep the audio from playing.
    void layerAllowedToOpenWithoutOutputDeliversToNothingAndSaysWhy()
    {
        m_layer.close();
        BrokenOutput broken;
        m_layer.setOutput(&broken);
        m_layer.setOpensWithoutOutput(true);
        QCOMPARE(m_layer.open(SequencerLayer::Clock::AudioFrames), 0);
        m_layer.setOpensWithoutOutput(false);
        QVERIFY(m_layer.isOpen());
        QCOMPARE(m_layer.outputProblem(), QStringLiteral("no device"));
        QVERIFY(ErrorLog::isEmpty()); // the window tells the user in its own words
        QCOMPARE(m_layer.controlQueue(SequencerLayer::kQueueStart), 0);
        QCOMPARE(m_layer.outputEvent(SequencerEvent::noteOn(0, 0, 60, 100)), 0);
        advanceTo(10);
        m_layer.flushErrors();
        QVERIFY(ErrorLog::isEmpty());

        // Reopened with an output that works, the problem is gone.
        m_layer.close();
        QVERIFY(m_layer.outputProblem().isEmpty());
        m_layer.setOutput(&m_output);
        m_layer.open(SequencerLayer::Clock::AudioFrames);
        QVERIFY(m_layer.outputProblem().isEmpty());
    }

    // The window thread and the MIDI output thread hand events over while the delivery thread
    // takes them: every event arrives, at its own millisecond, in time order.
    void eventsFromTwoThreadsArriveInTimeOrder()
    {
        QCOMPARE(m_layer.setQueueTempo(500, 500000), 0); // 1000 ticks per second: tick = ms
        QCOMPARE(m_layer.controlQueue(SequencerLayer::kQueueStart), 0);
        constexpr int kPerThread = 1000;
        const auto tickOf = [](int i) { return uint32_t(1000 + i * 7 % 2000); };
        std::atomic<int> refused{0};
        const auto push = [this, tickOf, &refused](uint8_t channel) {
            for (int i = 0; i < kPerThread; ++i)
                if (m_layer.outputEvent(SequencerEvent::noteOn(tickOf(i), channel, uint8_t(i % 128),
                                                               uint8_t(1 + i / 128))) != 0)
                    refused.fetch_add(1);
        };
        std::atomic<bool> pushing{true};
        std::thread delivery([this, &pushing] {
            for (int64_t ms = 0; ms < 1000 && pushing.load(); ++ms) {
                advanceTo(ms);
                std::this_thread::yield();
            }
        });
        std::thread outputThread(push, uint8_t(0));
        push(1);
        outputThread.join();
        pushing.store(false);
        delivery.join();
        advanceTo(3100);
        QCOMPARE(refused.load(), 0);

        std::vector<std::tuple<int64_t, uint32_t>> expected, received;
        for (uint8_t channel : {0, 1})
            for (int i = 0; i < kPerThread; ++i)
                expected.emplace_back(tickOf(i), word(0x90 | channel, i % 128, 1 + i / 128));
        const auto delivered = messages();
        for (size_t i = 0; i < delivered.size(); ++i) {
            if (i > 0)
                QVERIFY(delivered[i - 1].timeMs <= delivered[i].timeMs);
            received.emplace_back(delivered[i].timeMs, delivered[i].word);
        }
        std::sort(expected.begin(), expected.end());
        std::sort(received.begin(), received.end());
        QCOMPARE(received.size(), expected.size());
        QVERIFY(received == expected);
        QVERIFY(ErrorLog::isEmpty());
    }

    // Nothing delivers while the ring fills: further events are refused at once and counted.
    void fullRingRefusesAndReports()
    {
        RecordingMidiOutput output(SequencerLayer::kRequestCapacity + 16);
        SequencerLayer layer;
        layer.setOutput(&output);
        QCOMPARE(layer.open(SequencerLayer::Clock::AudioFrames), 0);
        QCOMPARE(layer.controlQueue(SequencerLayer::kQueueStart), 0);
        size_t refused = 0;
        for (size_t i = 0; i < SequencerLayer::kRequestCapacity + 10; ++i)
            if (layer.outputEvent(SequencerEvent::noteOn(uint32_t(i % 500), 0, 60, 100)) != 0)
                ++refused;
        QCOMPARE(refused, size_t(10));
        // A note and its off are one request: refused whole, never an on without its off.
        QCOMPARE(layer.outputEvent(SequencerEvent::note(10, 1, 62, 100, 20)), -1);

        layer.advanceToFrame(SchedulerClock::firstFrameOfMs(1000));
        QCOMPARE(output.messages().size(), SequencerLayer::kRequestCapacity);
        layer.flushErrors();
        QCOMPARE(ErrorLog::take(),
                 QStringLiteral("11 MIDI events were dropped: the scheduler's queue was full"));
        // Taken and scheduled: there is room again.
        QCOMPARE(layer.outputEvent(SequencerEvent::note(1000, 1, 62, 100, 20)), 0);
        layer.advanceToFrame(SchedulerClock::firstFrameOfMs(2000));
        QCOMPARE(output.messages().size(), SequencerLayer::kRequestCapacity + 2);
        QCOMPARE(layer.close(), 0);
    }

    void systemClockDeliversOnTime()
    {
        m_layer.close();
        QCOMPARE(m_layer.open(SequencerLayer::Clock::System), 0);
        m_layer.controlQueue(SequencerLayer::kQueueStart);
        m_layer.outputEvent(SequencerEvent::note(30, 0, 60, 100, 20));
        QTRY_COMPARE_WITH_TIMEOUT(messages().size(), size_t(2), 5000);
        for (const auto& message : messages()) // never early
            QVERIFY(message.arrivalNs >= message.timeMs * 1000000);
        QCOMPARE(messages()[1].timeMs - messages()[0].timeMs, int64_t(19));
        m_layer.close();
        m_layer.open(SequencerLayer::Clock::AudioFrames);
    }
};

/** The delivery table and the record layout, without a scheduler running. */
class TestDeliveryTable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void schedulerEventsBecomeWords()
    {
        fluid_event_t* event = new_fluid_event();
        const auto convert = [event](uint32_t* result) {
            return ShortMessage::fromSchedulerEvent(event, result);
        };
        uint32_t result = 0;
        const struct
        {
            void (*make)(fluid_event_t*);
            uint32_t expected;
        } rows[] = {
            {[](fluid_event_t* e) { fluid_event_noteon(e, 15, 127, 1); }, word(0x9F, 127, 1)},
            {[](fluid_event_t* e) { fluid_event_noteoff(e, 4, 30); }, word(0x84, 30, 0)},
            {[](fluid_event_t* e) { fluid_event_all_notes_off(e, 5); }, word(0xB5, 123, 0)},
            {[](fluid_event_t* e) { fluid_event_program_change(e, 6, 40); }, word(0xC6, 40, 0)},
            {[](fluid_event_t* e) { fluid_event_modulation(e, 1, 33); }, word(0xB1, 1, 33)},
            {[](fluid_event_t* e) { fluid_event_sustain(e, 1, 127); }, word(0xB1, 64, 127)},
            {[](fluid_event_t* e) { fluid_event_control_change(e, 2, 74, 9); }, word(0xB2, 74, 9)},
            {[](fluid_event_t* e) { fluid_event_pan(e, 3, 0); }, word(0xB3, 10, 0)},
            {[](fluid_event_t* e) { fluid_event_volume(e, 3, 100); }, word(0xB3, 7, 100)},
            {[](fluid_event_t* e) { fluid_event_reverb_send(e, 3, 20); }, word(0xB3, 91, 20)},
            {[](fluid_event_t* e) { fluid_event_chorus_send(e, 3, 21); }, word(0xB3, 93, 21)},
        };
        for (const auto& row : rows) {
            row.make(event);
            QVERIFY(convert(&result));
            QCOMPARE(result, row.expected);
        }
        fluid_event_pitch_bend(event, 0, 9000);
        QVERIFY(!convert(&result));
        fluid_event_key_pressure(event, 0, 60, 20);
        QVERIFY(!convert(&result));
        fluid_event_channel_pressure(event, 0, 20);
        QVERIFY(!convert(&result));
        delete_fluid_event(event);
    }

    void recordLayoutIsTheAlsaOne()
    {
        QCOMPARE(sizeof(SequencerEvent), sizeof(snd_seq_event_t));
        QCOMPARE(offsetof(SequencerEvent, type), offsetof(snd_seq_event_t, type));
        QCOMPARE(offsetof(SequencerEvent, queue), offsetof(snd_seq_event_t, queue));
        QCOMPARE(offsetof(SequencerEvent, time), offsetof(snd_seq_event_t, time));
        QCOMPARE(offsetof(SequencerEvent, sourceClient), offsetof(snd_seq_event_t, source));
        QCOMPARE(offsetof(SequencerEvent, destinationClient), offsetof(snd_seq_event_t, dest));
        QCOMPARE(offsetof(SequencerEvent, data), offsetof(snd_seq_event_t, data));
        QCOMPARE(offsetof(SequencerEvent::Note, duration), offsetof(snd_seq_ev_note_t, duration));
        QCOMPARE(offsetof(SequencerEvent::Control, value), offsetof(snd_seq_ev_ctrl_t, value));
        QCOMPARE(offsetof(SequencerEvent::Extended, bytes), offsetof(snd_seq_ev_ext_t, ptr));
        QCOMPARE(int(SequencerEvent::NoteWithDuration), int(SND_SEQ_EVENT_NOTE));
        QCOMPARE(int(SequencerEvent::PitchBend), int(SND_SEQ_EVENT_PITCHBEND));
        QCOMPARE(int(SequencerEvent::Tempo), int(SND_SEQ_EVENT_TEMPO));
        QCOMPARE(int(SequencerEvent::SysEx), int(SND_SEQ_EVENT_SYSEX));
        QCOMPARE(int(SequencerEvent::kDirectQueue), int(SND_SEQ_QUEUE_DIRECT));
    }
};

int main(int argc, char** argv)
{
    TestDeliveryTable table;
    TestSequencerLayer layer;
    return QTest::qExec(&table, argc, argv) | QTest::qExec(&layer, argc, argv);
}

Q_DECLARE_METATYPE(SequencerEvent)

#include "tst_sequencer_layer.moc"
