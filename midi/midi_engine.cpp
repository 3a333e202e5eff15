// The MIDI engine's life cycle and its ahead-of-time scheduling. The immediate messages, the
// buses and the metronome settings are in midi_engine_messages.cpp.
#include "midi_engine.h"

#include "midi_bus.h"
#include "midi_clip.h"
#include "midi_monitor.h"
#include "midi_output_thread.h"

#include "engine_barrier.h"
#include "rounding.h"
#include "session.h"
#include "session_cursor.h"
#include "time_scale.h"
#include "track.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

/** A node's tempo as the queue can take it: not a number or below 1 bpm counts as 1. */
float playableTempo(float tempo)
{
    return std::isfinite(tempo) ? std::clamp(tempo, 1.0f, 1.0e6f) : 1.0f;
}

} // namespace

MidiEngine::MidiEngine(Session* session, SequencerLayer* layer)
    : Engine(session, MidiKind), m_layer(layer)
{
}

MidiEngine::~MidiEngine()
{
    if (isPlaying())
        stop();
    if (isInitialized())
        clean();
    endThread();
}

// ---------------------------------------------------------------------------------------------
// Operation set

void MidiEngine::resetControls()
{
    if (m_deferredResets <= 0 || !layerOpen())
        return;
    m_deferredResets = 0;
    for (Track* track : session()->tracks())
        if (track->isMidi() && track->outputBus() && track->monitor()) {
            sendTrackVolume(track);
            sendTrackPan(track);
        }
}

bool MidiEngine::init()
{
    if (isInitialized())
        return true;
    if (!m_layer || m_layer->open(m_layerClock) != 0)
        return false;
    m_layer->setClientName(session()->clientName().toUtf8().constData());
    m_clientId = m_layer->clientId();
    m_queueId = m_layer->allocQueue();
    m_tempoCursor = std::make_unique<TimeScaleCursor>(session()->scale());
    Engine::init();
    // Buses made before the layer was open get their ports now.
    for (const auto& bus : buses())
        openBus(bus.get());
    openMetronomeBus();
    return true;
}

bool MidiEngine::activate()
{
    if (!isInitialized())
        return false;
    if (!m_thread) {
        m_thread = std::make_unique<MidiOutputThread>(this, session(), &m_outputMutex, 0);
        m_readAhead = m_thread->readAhead();
        m_thread->begin();
        m_wakeTarget.store(m_thread.get(), std::memory_order_release);
    }
    m_tickOffset = 0;
    m_frameOffset = 0;
    resetMonitors();
    return Engine::activate();
}

bool MidiEngine::start()
{
    if (!isActivated() || !session() || !m_thread || !layerOpen())
        return false;
    if (scheduleOnCycle() && !scheduleOnCycleAllowed())
        m_scheduleOnCycle.store(false, std::memory_order_release);
    holdOutput();
    SessionCursor* playHead = session()->audioEngine()->cursor();
    const uint32_t head = playHead->frame();
    cursor()->locate(head, true);
    // The scheduled count starts level with the play head's, one window is added below.
    cursor()->resetCount();
    cursor()->addFrames(playHead->frameCount());
    m_scheduledCount.store(cursor()->frameCount(), std::memory_order_release);
    m_tempoCursor->reset();
    m_silenced.clear(); // what was withheld in an earlier run is not scheduled again
    sendTrackPatches();
    startQueue(head);
    Engine::start();
    processWindow();
    releaseOutput();
    return true;
}

bool MidiEngine::stop()
{
    if (!isActivated()) {
        Engine::stop();
        return true;
    }
    holdOutput();
    Engine::stop();
    if (layerOpen()) {
        m_layer->dropOutput();
        m_layer->drainOutput();
        m_layer->controlQueue(SequencerLayer::kQueueStop);
        SequencerEvent event;
        event.type = SequencerEvent::Stop;
        event.queue = uint8_t(m_queueId);
        handOver(event);
    }
    for (const auto& bus : buses())
        shutOff(midiBus(bus.get()), false);
    if (m_ownMetronomeBus)
        shutOff(m_ownMetronomeBus.get(), false);
    releaseOutput();
    return true;
}

bool MidiEngine::deactivate()
{
    return Engine::deactivate();
}

bool MidiEngine::clean()
{
    if (isPlaying())
        stop();
    closeMetronomeBus();
    endThread();
    m_tempoCursor.reset();
    for (const auto& bus : buses())
        closeBus(bus.get());
    if (m_layer && m_layer->isOpen()) {
        m_layer->freeQueue(m_queueId);
        m_layer->close();
    }
    m_clientId = -1;
    m_queueId = -1;
    Engine::deactivate();
    return Engine::clean();
}

void MidiEngine::endThread()
{
    if (!m_thread)
        return;
    // An audio cycle that read the thread before it was cleared finishes before it goes.
    m_wakeTarget.store(nullptr, std::memory_order_release);
    waitForEngineCycleEnd(*session());
    // The thread may wait for the mutex before it sees it must end: a GUI hold steps aside.
    if (m_outputHolds > 0)
        m_outputMutex.unlock();
    m_thread->end();
    m_thread.reset();
    if (m_outputHolds > 0)
        m_outputMutex.lock();
}

// ---------------------------------------------------------------------------------------------
// Output mutex holds of the GUI thread

void MidiEngine::holdOutput()
{
    if (m_outputHolds++ == 0)
        m_outputMutex.lock();
}

void MidiEngine::releaseOutput()
{
    if (m_outputHolds > 0 && --m_outputHolds == 0)
        m_outputMutex.unlock();
}

void MidiEngine::editLocked()
{
    if (m_editHeld)
        return;
    m_editHeld = true;
    holdOutput();
}

void MidiEngine::editUnlocked()
{
    if (!m_editHeld)
        return;
    m_editHeld = false;
    releaseOutput();
}

// ---------------------------------------------------------------------------------------------
// Wake-up and windows

bool MidiEngine::setScheduleOnCycle(bool on)
{
    if (on && !scheduleOnCycleAllowed())
        return false;
    m_scheduleOnCycle.store(on, std::memory_order_release);
    return true;
}

bool MidiEngine::scheduleOnCycleAllowed() const
{
    const Engine* audio = session() ? session()->audioEngine() : nullptr;
    const bool realTime = audio && audio->hasRealTimeClient();
    Q_ASSERT_X(!realTime, "MidiEngine::setScheduleOnCycle",
               "windows would be scheduled, allocating, in a device's audio callback");
    return !realTime;
}

void MidiEngine::wakeOutput()
{
    if (!isPlaying())
        return;
    const SessionCursor* playHead = session()->audioEngine()->cursor();
    const uint64_t due = uint64_t(playHead->frameCount()) + m_readAhead;
    if (due < m_scheduledCount.load(std::memory_order_acquire))
        return;
    if (scheduleOnCycle()) {
        // Offline render: the window is processed right here, unless the GUI holds the mutex.
        if (m_outputMutex.try_lock()) {
            processWindow();
            m_outputMutex.unlock();
        }
        return;
    }
    if (MidiOutputThread* thread = m_wakeTarget.load(std::memory_order_acquire))
        thread->wake();
}

void MidiEngine::processWindow()
{
    Session* s = session();
    SessionCursor* midiCursor = cursor();
    uint32_t a = midiCursor->frame();
    uint32_t b = a + m_readAhead;
    if (s->isLoopSet() && a < s->loopOut()) {
        const uint32_t in = s->loopIn();
        const uint32_t out = s->loopOut();
        // A loop shorter than the read-ahead wraps several times in one window.
        while (b >= out) {
            processRange(a, out);
            a = in;
            moveMidiCursor(in);
            wrapOffsets(in, out);
            b -= out - in;
        }
    }
    processRange(a, b);
    moveMidiCursor(b);
    midiCursor->addFrames(m_readAhead);
    m_scheduledCount.store(midiCursor->frameCount(), std::memory_order_release);
    m_layer->drainOutput();
    m_windowCount.fetch_add(1, std::memory_order_acq_rel);
}

void MidiEngine::moveMidiCursor(uint32_t frame)
{
    // Clips passed over are rewound; each clip seeks its own events when it processes.
    cursor()->locate(frame, false);
}

void MidiEngine::wrapOffsets(uint32_t loopIn, uint32_t loopOut)
{
    Session* s = session();
    m_tickOffset -= int64_t(s->loopOutTick()) - int64_t(s->loopInTick());
    m_frameOffset -= int64_t(loopOut) - int64_t(loopIn);
}

void MidiEngine::processRange(uint32_t a, uint32_t b)
{
    if (a >= b)
        return;
    queueTempoChange(a, b);
    queueMetronome(a, b);
    processTracks(a, b);
}

void MidiEngine::processTracks(uint32_t a, uint32_t b)
{
    const auto& tracks = session()->tracks();
    const SessionCursor* midiCursor = cursor();
    for (size_t i = 0; i < tracks.size(); ++i)
        if (tracks[i]->isMidi())
            processTrackClips(tracks[i], midiCursor->clip(uint32_t(i)), a, b);
}

void MidiEngine::processTrackClips(Track* track, Clip* from, uint32_t a, uint32_t b)
{
    for (Clip* clip = from ? from : track->firstClip(); clip && clip->start() < b;
         clip = clip->next())
        if (clip->end() > a)
            clip->process(a, b);
}

// ---------------------------------------------------------------------------------------------
// Time

uint32_t MidiEngine::frameToTick(uint32_t frame)
{
    return m_tempoCursor ? m_tempoCursor->frameToTick(frame) : frame;
}

uint32_t MidiEngine::tickToFrame(uint32_t tick)
{
    return m_tempoCursor ? m_tempoCursor->tickToFrame(tick) : tick;
}

uint32_t MidiEngine::queueTimeOfFrame(uint32_t frame) const
{
    // Frames before queue time 0 are sent at once (queue time 0).
    const int64_t frames = int64_t(frame) - m_frameOffset;
    if (frames <= 0)
        return 0;
    const long long ticks = roundHalfAway((long double)frames * m_queueRate);
    return uint32_t(std::min<long long>(ticks, std::numeric_limits<uint32_t>::max()));
}

uint32_t MidiEngine::queueTimeOfTick(uint32_t tick)
{
    return queueTimeOfFrame(tickToFrame(tick));
}

void MidiEngine::startQueue(uint32_t frame)
{
    TimeScale& scale = session()->scale();
    const TempoNode* node = m_tempoCursor->nodeAtFrame(frame);
    const float tempo = playableTempo(node ? node->tempo : 120.0f);
    const auto microseconds = uint32_t(std::max(60000000.0 / double(tempo), 1.0));
    const uint32_t ticksPerBeat = std::max<uint32_t>(scale.ticksPerBeat(), 1);
    m_layer->setQueueTempo(ticksPerBeat, microseconds);
    m_lastTempo = tempo;
    // The layer's clock is linear at this tempo: queue ticks per frame.
    const double ticksPerSecond = 1000000.0 * ticksPerBeat / microseconds;
    m_queueRate = ticksPerSecond / double(std::max<uint32_t>(scale.sampleRate(), 1));
    m_tickOffset = frameToTick(frame);
    m_frameOffset = frame;
    resetMonitors();
    retimeMonitors();
    m_layer->controlQueue(SequencerLayer::kQueueStart);
    SequencerEvent event;
    event.type = SequencerEvent::Start;
    event.queue = uint8_t(m_queueId);
    handOver(event);
}

void MidiEngine::queueTempoChange(uint32_t a, uint32_t b)
{
    const TempoNode* node = m_tempoCursor->nodeAtFrame(b);
    if (!node || playableTempo(node->tempo) == m_lastTempo)
        return;
    const uint32_t frame = std::max(a, node->frame);
    SequencerEvent event;
    event.type = SequencerEvent::Tempo;
    event.queue = uint8_t(m_queueId);
    event.time = queueTimeOfFrame(frame);
    event.sourceClient = uint8_t(m_clientId);
    event.destinationClient = 0; // the system timer
    event.destinationPort = 0;
    event.data.queueControl.queue = uint8_t(m_queueId);
    m_lastTempo = playableTempo(node->tempo);
    event.data.queueControl.value = int32_t(60000000.0 / double(m_lastTempo));
    m_layer->outputEvent(event);
    handOver(event);
    retimeMonitors();
}

void MidiEngine::queueMetronome(uint32_t a, uint32_t b)
{
    if (!isMetronomeOn() || !m_metronomeBus || !m_metronomeBus->isOpen())
        return;
    const TempoNode* n = m_tempoCursor->nodeAtFrame(a);
    if (!n || n->ticksPerMeterBeat == 0)
        return;
    const uint32_t tickA = frameToTick(a);
    const uint32_t tickB = frameToTick(b);
    uint32_t beat = (tickA - n->tick) / n->ticksPerMeterBeat + n->beat;
    uint32_t t = n->tick + n->ticksPerMeterBeat * ((tickA - n->tick) / n->ticksPerMeterBeat);
    // A beat on tickA plays here; one on tickB is left to the next window.
    while (t < tickB) {
        if (t >= tickA)
            queueClick(t, (beat - n->beat) % std::max<uint16_t>(n->beatsPerBar, 1) == 0);
        ++beat;
        const TempoNode* next = m_tempoCursor->nodeAtMeterBeat(beat);
        if (next && next->ticksPerMeterBeat > 0)
            n = next;
        t = n->tick + n->ticksPerMeterBeat * (beat - n->beat);
    }
}

void MidiEngine::queueClick(uint32_t tick, bool bar)
{
    const MetronomeSound& m = m_metronome;
    const uint32_t time = queueTimeOfTick(tick);
    const uint32_t duration = uint32_t(std::max(bar ? m.barDuration : m.beatDuration, 0));
    SequencerEvent event = SequencerEvent::note(
        time, uint8_t(m.channel & 0x0F), uint8_t((bar ? m.barNote : m.beatNote) & 0x7F),
        uint8_t((bar ? m.barVelocity : m.beatVelocity) & 0x7F),
        queueTimeOfTick(tick + duration) - time);
    event.tag = SequencerEvent::kMetronomeTag;
    sendScheduled(event, m_metronomeBus, nullptr);
}

// ---------------------------------------------------------------------------------------------
// Clip events

void MidiEngine::enqueue(MidiClip* clip, const MidiEvent& event, uint32_t tick, float gain)
{
    Track* track = clip->track();
    MidiBus* bus = track ? midiBus(track->outputBus()) : nullptr;
    if (!bus || !bus->isOpen())
        return;
    if (m_noteOnsOnly && event.status != MidiEvent::NoteOn)
        return;
    const uint8_t channel = uint8_t(track->properties().channel & 0x0F);
    const uint32_t time = queueTimeOfTick(tick);
    SequencerEvent out;
    switch (event.status) {
    case MidiEvent::NoteOn: {
        // Velocities are kept within 7 bits by clamping: a gain above 1 never wraps them.
        const int velocity = std::clamp(int(gain * float(event.data2)), 0, 127);
        const uint32_t duration = queueTimeOfTick(tick + event.duration) - time;
        out = SequencerEvent::note(time, channel, event.data1 & 0x7F, uint8_t(velocity), duration);
        break;
    }
    case MidiEvent::KeyPressure:
        out = SequencerEvent::control(SequencerEvent::KeyPressure, time, channel,
                                      event.data1 & 0x7F, event.data2 & 0x7F);
        break;
    case MidiEvent::Controller:
        out = SequencerEvent::control(SequencerEvent::Controller, time, channel, event.data1 & 0x7F,
                                      event.data2 & 0x7F);
        break;
    case MidiEvent::Program:
        out = SequencerEvent::control(SequencerEvent::ProgramChange, time, channel, 0,
                                      event.data1 & 0x7F);
        break;
    case MidiEvent::ChannelPressure:
        out = SequencerEvent::control(SequencerEvent::ChannelPressure, time, channel, 0,
                                      event.data2 & 0x7F);
        break;
    case MidiEvent::PitchBend:
        out = SequencerEvent::control(SequencerEvent::PitchBend, time, channel, 0,
                                      (event.data2 & 0x7F) * 128 + (event.data1 & 0x7F) - 8192);
        break;
    case MidiEvent::SysEx:
        out.type = SequencerEvent::SysEx;
        out.time = time;
        out.flags = SequencerEvent::kVariableLengthFlag;
        out.data.ext.length = uint32_t(event.data().size());
        out.data.ext.bytes = event.data().constData();
        break;
    default:
        return; // meta events stay in the file
    }
    sendScheduled(out, bus, trackMonitor(track));
}

void MidiEngine::handOver(const SequencerEvent& event)
{
    if (m_tap)
        m_tap(m_tapContext, event);
}

void MidiEngine::setEventTap(EventTap tap, void* context)
{
    m_tap = tap;
    m_tapContext = context;
}

void MidiEngine::sendScheduled(SequencerEvent event, MidiBus* bus, MidiMonitor* monitor)
{
    event.queue = uint8_t(m_queueId);
    event.sourceClient = uint8_t(m_clientId);
    event.sourcePort = uint8_t(bus->port());
    m_layer->outputEvent(event);
    handOver(event);
    const bool note = event.type == SequencerEvent::NoteWithDuration;
    const int status = note ? 0x90 : 0;
    const int velocity = note ? event.data.note.velocity : 0;
    if (monitor)
        monitor->count(event.time, status, velocity);
    if (MidiMonitor* out = bus->midiOutputMonitor())
        out->count(event.time, status, velocity);
}

// ---------------------------------------------------------------------------------------------
// Monitors

void MidiEngine::resetMonitors()
{
    auto resetBus = [](MidiBus* bus) {
        if (!bus)
            return;
        if (MidiMonitor* in = bus->midiInputMonitor())
            in->reset();
        if (MidiMonitor* out = bus->midiOutputMonitor())
            out->reset();
    };
    for (const auto& bus : buses())
        resetBus(midiBus(bus.get()));
    resetBus(m_ownMetronomeBus.get());
    for (Track* track : session()->tracks())
        if (MidiMonitor* monitor = trackMonitor(track))
            monitor->reset();
}

void MidiEngine::retimeMonitors()
{
    // Two read-aheads over the 16 slots; queue ticks run at the queue tempo, so the width in
    // queue ticks is the same whatever tempo the song has reached.
    const uint32_t width =
        std::max<uint32_t>(1, uint32_t(roundHalfAway(m_readAhead * 2.0L / 16 * m_queueRate)));
    auto retime = [width](MidiMonitor* monitor) {
        if (monitor)
            monitor->setSlotWidth(width, 0);
    };
    for (const auto& bus : buses())
        if (MidiBus* b = midiBus(bus.get()))
            retime(b->midiOutputMonitor());
    if (m_ownMetronomeBus)
        retime(m_ownMetronomeBus->midiOutputMonitor());
    for (Track* track : session()->tracks())
        retime(trackMonitor(track));
}

MidiBus* MidiEngine::midiBus(Bus* bus) const
{
    return dynamic_cast<MidiBus*>(bus);
}

MidiMonitor* MidiEngine::trackMonitor(Track* track) const
{
    return track ? dynamic_cast<MidiMonitor*>(track->monitor()) : nullptr;
}
