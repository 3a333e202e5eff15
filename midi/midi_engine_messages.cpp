// The MIDI engine's immediate messages, buses, metronome settings and the re-scheduling of a
// track during playback.
#include "midi_engine.h"

#include "midi_bus.h"
#include "midi_monitor.h"

#include "session.h"
#include "session_cursor.h"
#include "track.h"

#include <algorithm>
#include <array>

namespace {

constexpr int kBankSelect = 0;
constexpr int kBankSelectFine = 32;
constexpr int kVolume = 7;
constexpr int kPan = 10;
constexpr int kAllSoundOff = 120;
constexpr int kResetAllControllers = 121;
constexpr int kAllNotesOff = 123;

/** 14 bits of a value from 0.0 to 1.0, for the universal master volume and balance. */
int fourteenBits(double value)
{
    return std::clamp(int(value * 16383.0 + 0.5), 0, 16383);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Direct events

void MidiEngine::sendDirect(MidiBus* bus, SequencerEvent event, MidiMonitor* monitor)
{
    if (!layerOpen() || !bus || !bus->isOpen())
        return;
    event.direct();
    event.sourceClient = uint8_t(m_clientId);
    event.sourcePort = uint8_t(bus->port());
    m_layer->outputEvent(event);
    handOver(event);
    const bool noteOn = event.type == SequencerEvent::NoteOn && event.data.note.velocity > 0;
    const int status = noteOn ? 0x90 : 0;
    const int velocity = noteOn ? event.data.note.velocity : 0;
    if (monitor)
        monitor->countNow(status, velocity);
    if (MidiMonitor* out = bus->midiOutputMonitor())
        out->countNow(status, velocity);
}

void MidiEngine::sendController(MidiBus* bus, int channel, int controller, int value)
{
    sendDirect(bus, SequencerEvent::control(SequencerEvent::Controller, 0, uint8_t(channel & 0x0F),
                                            uint32_t(controller & 0x7F), value & 0x7F));
}

void MidiEngine::sendSysEx(MidiBus* bus, const uint8_t* bytes, uint32_t length)
{
    SequencerEvent event;
    event.type = SequencerEvent::SysEx;
    event.flags = SequencerEvent::kVariableLengthFlag;
    event.data.ext.length = length;
    event.data.ext.bytes = bytes; // the layer takes what it needs before it returns
    sendDirect(bus, event);
}

void MidiEngine::playNote(Track* track, int key, int velocity)
{
    if (!track || !track->isMidi())
        return;
    playNote(midiBus(track->outputBus()), track->properties().channel, key, velocity,
             trackMonitor(track));
}

void MidiEngine::playNote(MidiBus* bus, int channel, int key, int velocity, MidiMonitor* monitor)
{
    const auto ch = uint8_t(channel & 0x0F);
    const auto k = uint8_t(key & 0x7F);
    if (velocity > 0)
        sendDirect(bus, SequencerEvent::noteOn(0, ch, k, uint8_t(velocity & 0x7F)), monitor);
    else
        sendDirect(bus, SequencerEvent::noteOff(0, ch, k), monitor);
}

bool MidiEngine::setPatch(MidiBus* bus, int channel, const QString& instrument, int bankMethod,
                          int bank, int program)
{
    if (!bus || program < 0)
        return false;
    if (!instrument.isEmpty())
        bus->setPatch(channel, {instrument, bankMethod, bank, program, true});
    if (!layerOpen() || !bus->isOpen())
        return false;
    if (bank >= 0) {
        switch (bankMethod) {
        case 0:
            sendController(bus, channel, kBankSelect, (bank / 128) & 0x7F);
            sendController(bus, channel, kBankSelectFine, bank & 0x7F);
            break;
        case 1:
            sendController(bus, channel, kBankSelect, bank & 0x7F);
            break;
        case 2:
            sendController(bus, channel, kBankSelectFine, bank & 0x7F);
            break;
        default:
            break; // no bank select
        }
    }
    sendDirect(bus, SequencerEvent::control(SequencerEvent::ProgramChange, 0,
                                            uint8_t(channel & 0x0F), 0, program & 0x7F));
    return true;
}

void MidiEngine::shutOff(MidiBus* bus, bool reset)
{
    if (!bus)
        return;
    for (int channel = 0; channel < 16; ++channel) {
        if (!bus->patch(channel).set)
            continue;
        sendController(bus, channel, kAllSoundOff, 0);
        sendController(bus, channel, kAllNotesOff, 0);
        if (reset)
            sendController(bus, channel, kResetAllControllers, 0);
    }
}

int MidiEngine::volumeValue(float gain)
{
    return std::clamp(int(127.0 * double(gain)), 0, 127);
}

int MidiEngine::panValue(float pan)
{
    return std::clamp(int(63.0 * double(pan)) + 64, 0, 127);
}

void MidiEngine::sendTrackPatches()
{
    for (Track* track : session()->tracks()) {
        MidiBus* bus = track->isMidi() ? midiBus(track->outputBus()) : nullptr;
        if (!bus)
            continue;
        const Track::Properties& props = track->properties();
        // Bank 0 is every output's default: no bank select, so a drum channel keeps its kit.
        if (props.program >= 0)
            setPatch(bus, props.channel, QString(), 0, props.bank > 0 ? props.bank : -1,
                     props.program);
        if (track->monitor()) {
            sendTrackVolume(track);
            sendTrackPan(track);
        }
    }
}

void MidiEngine::sendTrackVolume(Track* track)
{
    if (MidiMonitor* monitor = trackMonitor(track))
        sendTrackVolume(track, monitor->gain());
}

void MidiEngine::sendTrackPan(Track* track)
{
    if (MidiMonitor* monitor = trackMonitor(track))
        sendTrackPan(track, monitor->panning());
}

void MidiEngine::sendTrackVolume(Track* track, float gain)
{
    MidiBus* bus = track ? midiBus(track->outputBus()) : nullptr;
    if (!layerOpen() || !bus || !bus->isOpen()) {
        ++m_deferredResets; // resetControls() sends it once the port is there
        return;
    }
    sendController(bus, track->properties().channel, kVolume, volumeValue(gain));
}

void MidiEngine::sendTrackPan(Track* track, float pan)
{
    MidiBus* bus = track ? midiBus(track->outputBus()) : nullptr;
    if (!layerOpen() || !bus || !bus->isOpen()) {
        ++m_deferredResets;
        return;
    }
    sendController(bus, track->properties().channel, kPan, panValue(pan));
}

void MidiEngine::sendMasterVolume(MidiBus* bus)
{
    const MidiMonitor* out = bus ? bus->midiOutputMonitor() : nullptr;
    if (!out)
        return;
    const int value = fourteenBits(double(out->gain()));
    const std::array<uint8_t, 8> bytes{
        0xF0, 0x7F, 0x7F, 0x04, 0x01, uint8_t(value & 0x7F), uint8_t(value >> 7), 0xF7};
    sendSysEx(bus, bytes.data(), uint32_t(bytes.size()));
}

void MidiEngine::sendMasterBalance(MidiBus* bus)
{
    const MidiMonitor* out = bus ? bus->midiOutputMonitor() : nullptr;
    if (!out)
        return;
    const int value = fourteenBits((double(out->panning()) + 1.0) / 2.0);
    const std::array<uint8_t, 8> bytes{
        0xF0, 0x7F, 0x7F, 0x04, 0x02, uint8_t(value & 0x7F), uint8_t(value >> 7), 0xF7};
    sendSysEx(bus, bytes.data(), uint32_t(bytes.size()));
}

// ---------------------------------------------------------------------------------------------
// Buses

Bus* MidiEngine::createBus(const QString& name, int flags)
{
    return insertBus(std::make_unique<MidiBus>(name, flags));
}

void MidiEngine::clearBuses()
{
    holdOutput();
    for (const auto& bus : buses())
        closeBus(bus.get());
    if (!m_metronomeOwnBus)
        m_metronomeBus = nullptr;
    Engine::clearBuses();
    releaseOutput();
}

void MidiEngine::openBus(Bus* bus)
{
    MidiBus* b = midiBus(bus);
    if (!b || b->isOpen() || !layerOpen() || !isInitialized())
        return;
    m_layer->createPort(b->name().toUtf8().constData());
    // The layer has no ports of its own; the id only tells the buses' events apart.
    b->setPort(m_nextPort);
    m_nextPort = (m_nextPort + 1) & 0xFF;
    // The first output bus plays the metronome unless it has a bus of its own.
    if (!m_metronomeOwnBus && !m_metronomeBus && b->isOutput()) {
        holdOutput();
        m_metronomeBus = b;
        releaseOutput();
    }
}

void MidiEngine::closeBus(Bus* bus)
{
    MidiBus* b = midiBus(bus);
    if (!b)
        return;
    holdOutput();
    if (b->isOpen()) {
        shutOff(b, true);
        m_layer->deletePort(b->port());
        b->setPort(-1);
    }
    if (b == m_metronomeBus && !m_metronomeOwnBus)
        m_metronomeBus = nullptr; // re-picked by busesChanged()
    releaseOutput();
}

void MidiEngine::busesChanged()
{
    holdOutput();
    if (!m_metronomeOwnBus && isInitialized())
        m_metronomeBus = midiBus(firstBus(Bus::Output));
    releaseOutput();
}

void MidiEngine::busGainChanged(Bus* bus)
{
    sendMasterVolume(midiBus(bus));
}

void MidiEngine::busPanningChanged(Bus* bus)
{
    sendMasterBalance(midiBus(bus));
}

std::unique_ptr<Monitor> MidiEngine::createMonitor(Track* track, Bus* output)
{
    (void)output;
    auto monitor = std::make_unique<MidiMonitor>();
    monitor->setTrack(this, track);
    return monitor;
}

// ---------------------------------------------------------------------------------------------
// Metronome

void MidiEngine::setMetronomeSound(const MetronomeSound& sound)
{
    holdOutput();
    m_metronome = sound;
    releaseOutput();
}

void MidiEngine::setMetronomeOn(bool on)
{
    m_metronomeOn.store(on, std::memory_order_release);
}

void MidiEngine::setMetronomeOwnBus(bool own)
{
    if (own == m_metronomeOwnBus)
        return;
    holdOutput();
    const bool initialized = isInitialized();
    if (initialized)
        closeMetronomeBus();
    m_metronomeOwnBus = own;
    if (initialized)
        openMetronomeBus();
    releaseOutput();
}

void MidiEngine::openMetronomeBus()
{
    holdOutput();
    if (m_metronomeOwnBus) {
        m_ownMetronomeBus = std::make_unique<MidiBus>(QStringLiteral("Metronome"), Bus::Output);
        openBus(m_ownMetronomeBus.get());
        m_metronomeBus = m_ownMetronomeBus.get();
    } else {
        m_metronomeBus = midiBus(firstBus(Bus::Output));
    }
    releaseOutput();
}

void MidiEngine::closeMetronomeBus()
{
    holdOutput();
    if (m_ownMetronomeBus) {
        closeBus(m_ownMetronomeBus.get());
        m_ownMetronomeBus.reset();
    }
    m_metronomeBus = nullptr;
    releaseOutput();
}

// ---------------------------------------------------------------------------------------------
// Re-scheduling a track during playback

void MidiEngine::trackAudibilityChanged(Track* track, bool audible)
{
    if (!track || !track->isMidi() || !isPlaying())
        return;
    holdOutput();
    auto kept = std::find_if(m_silenced.begin(), m_silenced.end(),
                             [track](const Silenced& s) { return s.track == track; });
    if (!audible) {
        // What sounds stops now; notes it already queued may still start within the window.
        MidiBus* bus = midiBus(track->outputBus());
        const int channel = track->properties().channel;
        sendController(bus, channel, kAllSoundOff, 0);
        sendController(bus, channel, kAllNotesOff, 0);
        if (kept == m_silenced.end())
            m_silenced.push_back({track, windowCount(), cursor()->frame()});
    } else if (kept != m_silenced.end()) {
        const Silenced silenced = *kept;
        m_silenced.erase(kept);
        // Windows processed while it was silenced left out its note-ons: queue them again
        // from the play head on (or from where scheduling stood when it was silenced).
        if (windowCount() > silenced.window)
            rescheduleNoteOns(track, silenced.scheduled);
    }
    releaseOutput();
}

void MidiEngine::rescheduleNoteOns(Track* track, uint32_t from)
{
    Session* s = session();
    const uint32_t head = s->playHead();
    const uint32_t scheduled = cursor()->frame();
    m_noteOnsOnly = true;
    if (scheduled >= head) {
        // No wrap in between when the play head is still behind the scheduled end.
        const uint32_t start = from <= scheduled ? std::max(head, from) : head;
        processTrackClips(track, nullptr, start, scheduled);
    } else if (s->isLoopSet()) {
        // The schedule wrapped: the part up to the loop end was queued one loop length earlier.
        const int64_t loop = int64_t(s->loopOut()) - int64_t(s->loopIn());
        m_frameOffset += loop;
        processTrackClips(track, nullptr, head, s->loopOut());
        m_frameOffset -= loop;
        processTrackClips(track, nullptr, s->loopIn(), scheduled);
    }
    m_noteOnsOnly = false;
}
