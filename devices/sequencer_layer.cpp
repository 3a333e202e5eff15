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
    m_event = new_fluid_event();
    m_requests.clear();
    m_droppedRequests.store(0);
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
    delete_fluid_event(m_event);
    m_event = nullptr;
    closeOutput();
    m_outputProblem.clear();
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
    m_outputProblem.clear();
    if (!output || !output->open(&error)) {
        m_ownOutput.reset();
        if (m_opensWithoutOutput) {
            m_outputProblem = error;
            return 0;
        }
        ErrorLog::add(QStringLiteral("%1 < midiOutOpen < _seq_open").arg(error));
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
    Request stop;
    stop.kind = Request::StopAll;
    stop.timeMs = nowMs();
    request(stop);
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
    const bool direct = event.queue == SequencerEvent::kDirectQueue;
    const SequencerEvent::Note& note = event.data.note;
    const SequencerEvent::Control& control = event.data.control;
    Request r;
    r.channel = note.channel; // the same byte in both layouts
    switch (event.type) {
    case SequencerEvent::NoteWithDuration:
        return direct ? 0 : scheduleNote(event);
    case SequencerEvent::NoteOn:
        r.kind = Request::NoteOn;
        r.parameter = note.key;
        r.value = note.velocity;
        break;
    case SequencerEvent::NoteOff:
        r.kind = Request::NoteOff;
        r.parameter = note.key;
        break;
    case SequencerEvent::Controller:
        r.kind = Request::Controller;
        r.parameter = static_cast<int16_t>(control.parameter & 0xFFFF);
        r.value = control.value & 0xFFFF;
        break;
    case SequencerEvent::ProgramChange:
        r.kind = Request::ProgramChange;
        r.value = control.value & 0xFFFF;
        break;
    case SequencerEvent::PitchBend:
        // Scheduled like the rest but dropped by the delivery table.
        r.kind = Request::PitchBend;
        r.value = control.value;
        break;
    default:
        // Pressure and SysEx would be empty events that delivery ignores; tempo, song position
        // and transport events are not scheduled at all.
        return 0;
    }
    r.timeMs = direct ? nowMs() : scheduledTime(event.time);
    return request(r) ? 0 : -1;
}

int SequencerLayer::scheduleNote(const SequencerEvent& event)
{
    const SequencerEvent::Note& note = event.data.note;
    // The note off goes at tick t + d - 1. A duration of 0 is taken as 1 (t - 1 would come
    // before the note on), and the off is kept at least one millisecond after the on: the
    // scheduler delivers note offs before note ons of the same millisecond, which would leave
    // the note hanging.
    const uint64_t offTick = uint64_t{event.time} + std::max<uint32_t>(note.duration, 1) - 1;
    Request r;
    r.kind = Request::Note; // one request, so a full ring never keeps the on without its off
    r.channel = note.channel;
    r.parameter = note.key;
    r.value = note.velocity;
    r.timeMs = scheduledTime(event.time);
    r.offTimeMs = std::max(scheduledTime(offTick), r.timeMs + 1);
    return request(r) ? 0 : -1;
}

bool SequencerLayer::request(const Request& request)
{
    if (m_requests.push(request))
        return true;
    m_droppedRequests.fetch_add(1, std::memory_order_relaxed);
    return false;
}

void SequencerLayer::takeRequests()
{
    if (const unsigned dropped = m_droppedRequests.exchange(0, std::memory_order_relaxed))
        m_errors.post("%1 MIDI events were dropped: the scheduler's queue was full", dropped);
    Request r;
    while (m_requests.pop(r))
        scheduleRequest(r);
}

void SequencerLayer::scheduleRequest(const Request& r)
{
    fluid_event_t* event = m_event;
    switch (r.kind) {
    case Request::Note:
        fluid_event_noteon(event, r.channel, r.parameter, static_cast<short>(r.value));
        schedule(event, r.timeMs);
        fluid_event_noteoff(event, r.channel, r.parameter);
        schedule(event, r.offTimeMs);
        return;
    case Request::NoteOn:
        fluid_event_noteon(event, r.channel, r.parameter, static_cast<short>(r.value));
        break;
    case Request::NoteOff:
        fluid_event_noteoff(event, r.channel, r.parameter);
        break;
    case Request::Controller:
        fluid_event_control_change(event, r.channel, r.parameter, r.value);
        break;
    case Request::ProgramChange:
        fluid_event_program_change(event, r.channel, r.value);
        break;
    case Request::PitchBend:
        fluid_event_pitch_bend(event, r.channel, r.value);
        break;
    case Request::StopAll:
        fluid_sequencer_remove_events(m_sequencer, -1, m_clientId, -1);
        for (int channel = 0; channel < kChannelCount; ++channel) {
            fluid_event_all_notes_off(event, channel);
            schedule(event, r.timeMs);
        }
        return;
    }
    schedule(event, r.timeMs);
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
    takeRequests();
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
