#include "sequencer_layer.h"

#include "error_log.h"
#include "midi_output.h"
#include "midi_outputs.h"
#include "output_mixer_slot.h"
#include "scheduler_clock.h"
#include "short_message.h"

#include <fluidsynth.h>

#include <algorithm>

namespace {

constexpr int kChannelCount = 16;
constexpr double kTimeScale = 1000.0; // scheduler units per second: milliseconds
constexpr int64_t kLongestCatchUpMs = 1000;

/** One reusable scheduler event per calling thread (the scheduler copies what it is sent). */
fluid_event_t* threadEvent()
{
    struct Holder
    {
        fluid_event_t* event = new_fluid_event();
        ~Holder() { delete_fluid_event(event); }
    };
    thread_local Holder holder;
    return holder.event;
}

} // namespace

SequencerLayer::SequencerLayer() = default;

SequencerLayer::~SequencerLayer()
{
    close();
}

SequencerLayer& SequencerLayer::shared()
{
    // What the layer uses when it closes at exit is made first, so it is destroyed after it.
    ErrorLog::isEmpty();
    OutputMixerSlot::shared();
    SchedulerClock::systemNanoseconds();
    static SequencerLayer layer;
    return layer;
}

void SequencerLayer::setOutput(MidiOutput* output)
{
    m_chosenOutput = output;
}

int SequencerLayer::open(Clock clock)
{
    if (m_sequencer)
        return 0;
    m_ticksPerBeat.store(500);
    m_tempo.store(500000);
    m_ticksPerSecond.store(1000.0);
    m_timeScale.store(1000.0);
    m_startTime.store(0);
    m_clock = clock;

    fluid_sequencer_t* sequencer = new_fluid_sequencer2(0); // we advance it ourselves
    if (!sequencer) {
        ErrorLog::add(QStringLiteral("Out of memory < 0 < new_ _sequencer < _seq_open"));
        return -1;
    }
    fluid_sequencer_set_time_scale(sequencer, kTimeScale);
    m_timeScale.store(fluid_sequencer_get_time_scale(sequencer));
    const short id = fluid_sequencer_register_client(sequencer, "Cantova", deliver, this);
    if (id < 0) {
        ErrorLog::add(QStringLiteral("%1 < _sequencer_register_client < _seq_open").arg(id));
        delete_fluid_sequencer(sequencer);
        return -1;
    }
    if (openOutput() != 0) {
        fluid_sequencer_unregister_client(sequencer, id);
        delete_fluid_sequencer(sequencer);
        return -1;
    }
    m_sequencer = sequencer;
    m_clientId = id;
    m_errors.start();
    if (clock == Clock::System) {
        m_lastProcessedMs.store(SchedulerClock::systemNowMs() - 1);
        m_timer.start(tick, this);
    } else {
        m_lastProcessedMs.store(-1);
    }
    return 0;
}

int SequencerLayer::close()
{
    if (!m_sequencer)
        return 0;
    m_timer.stop();
    fluid_sequencer_unregister_client(m_sequencer, m_clientId);
    delete_fluid_sequencer(m_sequencer);
    m_sequencer = nullptr;
    m_clientId = -1;
    closeOutput();
    m_errors.stop();
    m_errors.flush();
    return 0;
}

int SequencerLayer::openOutput()
{
    MidiOutput* output = m_chosenOutput;
    QString error;
    if (!output) {
        m_ownOutput = MidiOutputs::create(MidiOutputs::selectedId(), &error);
        output = m_ownOutput.get();
    }
    if (!output || !output->open(&error)) {
        ErrorLog::add(QStringLiteral("%1 < midiOutOpen < _seq_open").arg(error));
        m_ownOutput.reset();
        return -1;
    }
    m_output = output;
    if (AudioOutputMixer* mixer = output->mixer())
        OutputMixerSlot::shared().attach(mixer);
    return 0;
}

void SequencerLayer::closeOutput()
{
    if (!m_output)
        return;
    if (AudioOutputMixer* mixer = m_output->mixer())
        OutputMixerSlot::shared().detach(mixer); // waits until the audio callback has let go
    m_output->close();
    m_output = nullptr;
    m_ownOutput.reset();
}

void SequencerLayer::setPlaybackLatency(double seconds)
{
    // A negative latency would put events before the start time, which the scheduler's unsigned
    // clock cannot hold.
    m_latency.store(std::max(0.0, seconds), std::memory_order_relaxed);
}

int SequencerLayer::setQueueTempo(uint32_t ticksPerBeat, uint32_t microsecondsPerQuarter)
{
    if (!m_sequencer || ticksPerBeat == 0 || microsecondsPerQuarter == 0)
        return -1;
    m_ticksPerBeat.store(ticksPerBeat);
    m_tempo.store(microsecondsPerQuarter);
    m_ticksPerSecond.store(1000000.0 * ticksPerBeat / microsecondsPerQuarter);
    m_timeScale.store(fluid_sequencer_get_time_scale(m_sequencer));
    return 0;
}

int SequencerLayer::queueTempo(uint32_t* ticksPerBeat, uint32_t* microsecondsPerQuarter) const
{
    if (!m_sequencer)
        return -1;
    const uint32_t ppq = m_ticksPerBeat.load();
    *ticksPerBeat = ppq;
    *microsecondsPerQuarter = static_cast<uint32_t>(1000000.0 * ppq / m_ticksPerSecond.load());
    return 0;
}

int SequencerLayer::controlQueue(int type)
{
    if (!m_sequencer)
        return -1;
    if (type == kQueueStart)
        m_startTime.store(nowMs());
    else if (type == kQueueStop)
        stopQueue();
    return 0;
}

void SequencerLayer::stopQueue()
{
    fluid_sequencer_remove_events(m_sequencer, -1, m_clientId, -1);
    fluid_event_t* event = threadEvent();
    const int64_t now = nowMs();
    for (int channel = 0; channel < kChannelCount; ++channel) {
        fluid_event_all_notes_off(event, channel);
        schedule(event, now);
    }
}

uint32_t SequencerLayer::queuePosition() const
{
    if (!m_sequencer)
        return 0;
    const int64_t elapsed = std::max<int64_t>(0, nowMs() - m_startTime.load());
    return static_cast<uint32_t>(elapsed * m_ticksPerSecond.load() / m_timeScale.load());
}

int64_t SequencerLayer::nowMs() const
{
    if (m_clock == Clock::System)
        return SchedulerClock::systemNowMs();
    return m_lastProcessedMs.load(std::memory_order_acquire) + 1;
}

int64_t SequencerLayer::scheduledTime(uint64_t tick) const
{
    // Each product is truncated toward zero on its own, as the queue times have always been.
    const double scale = m_timeScale.load();
    const auto latency = static_cast<int64_t>(m_latency.load() * scale);
    const auto offset = static_cast<int64_t>(tick * scale / m_ticksPerSecond.load());
    return latency + m_startTime.load() + offset;
}

void SequencerLayer::schedule(fluid_event_t* event, int64_t timeMs)
{
    fluid_event_set_source(event, -1);
    fluid_event_set_dest(event, m_clientId);
    fluid_sequencer_send_at(m_sequencer, event,
                            static_cast<unsigned int>(std::max<int64_t>(0, timeMs)), 1);
}

int SequencerLayer::outputEvent(const SequencerEvent& event)
{
    if (!m_sequencer)
        return -1;
    fluid_event_t* scheduled = threadEvent();
    const bool direct = event.queue == SequencerEvent::kDirectQueue;
    const SequencerEvent::Note& note = event.data.note;
    const SequencerEvent::Control& control = event.data.control;
    switch (event.type) {
    case SequencerEvent::NoteWithDuration:
        return direct ? 0 : scheduleNote(event, scheduled);
    case SequencerEvent::NoteOn:
        fluid_event_noteon(scheduled, note.channel, note.key, note.velocity);
        break;
    case SequencerEvent::NoteOff:
        fluid_event_noteoff(scheduled, note.channel, note.key);
        break;
    case SequencerEvent::Controller:
        fluid_event_control_change(scheduled, control.channel,
                                   static_cast<short>(control.parameter & 0xFFFF),
                                   control.value & 0xFFFF);
        break;
    case SequencerEvent::ProgramChange:
        fluid_event_program_change(scheduled, control.channel, control.value & 0xFFFF);
        break;
    case SequencerEvent::PitchBend:
        // Scheduled like the rest but dropped by the delivery table.
        fluid_event_pitch_bend(scheduled, control.channel, control.value);
        break;
    default:
        // Pressure and SysEx would be empty events that delivery ignores; tempo, song position
        // and transport events are not scheduled at all.
        return 0;
    }
    schedule(scheduled, direct ? nowMs() : scheduledTime(event.time));
    return 0;
}

int SequencerLayer::scheduleNote(const SequencerEvent& event, fluid_event_t* scheduled)
{
    const SequencerEvent::Note& note = event.data.note;
    // The note off goes at tick t + d - 1. A duration of 0 is taken as 1 (t - 1 would come
    // before the note on), and the off is kept at least one millisecond after the on: the
    // scheduler delivers note offs before note ons of the same millisecond, which would leave
    // the note hanging.
    const uint64_t offTick = uint64_t{event.time} + std::max<uint32_t>(note.duration, 1) - 1;
    const int64_t onTime = scheduledTime(event.time);
    const int64_t offTime = std::max(scheduledTime(offTick), onTime + 1);
    fluid_event_noteon(scheduled, note.channel, note.key, note.velocity);
    schedule(scheduled, onTime);
    fluid_event_noteoff(scheduled, note.channel, note.key);
    schedule(scheduled, offTime);
    return 0;
}

void SequencerLayer::advanceToFrame(int64_t endFrame)
{
    if (m_clock == Clock::AudioFrames && m_sequencer)
        advanceToMs(SchedulerClock::msOfFrame(endFrame - 1));
}

void SequencerLayer::tick(int64_t nowMs, void* layer)
{
    static_cast<SequencerLayer*>(layer)->advanceToMs(nowMs);
}

void SequencerLayer::advanceToMs(int64_t ms)
{
    // One millisecond at a time, so every message is tagged with the millisecond it was due in.
    int64_t last = m_lastProcessedMs.load(std::memory_order_relaxed);
    if (m_clock == Clock::System && ms - last > kLongestCatchUpMs) {
        // After a long stall (a suspended machine) deliver everything overdue at once.
        last = ms - kLongestCatchUpMs;
        fluid_sequencer_process(m_sequencer, static_cast<unsigned int>(last));
    }
    for (int64_t m = last + 1; m <= ms; ++m) {
        fluid_sequencer_process(m_sequencer, static_cast<unsigned int>(m));
        m_lastProcessedMs.store(m, std::memory_order_release);
    }
}

void SequencerLayer::deliver(unsigned int time, fluid_event_t* event, fluid_sequencer_t*,
                             void* data)
{
    // Runs on the delivery thread: no locks, no allocation, no logging.
    auto* layer = static_cast<SequencerLayer*>(data);
    uint32_t word = 0;
    if (!layer->m_output || !ShortMessage::fromSchedulerEvent(event, &word))
        return;
    const int result = layer->m_output->send(word, time);
    if (result < 0)
        layer->m_errors.post("%1 < midiOutShortMsg < Cantova", result);
}
