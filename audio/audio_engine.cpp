#include "audio_engine.h"

#include "audio_bus.h"
#include "audio_client.h"
#include "audio_monitor.h"
#include "portaudio_client.h"

#include "clip.h"
#include "session.h"
#include "session_cursor.h"
#include "track.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>

namespace {
constexpr int kFadeStepMs = 20;
// Every bus the program creates is stereo; more device channels are never bound.
constexpr int kBusChannels = 2;
} // namespace

vx23vx51::vx23vx51(vx20* session, ClientFactory clientFactory)
    : vx19(session, AudioKind), m_clientFactory(std::move(clientFactory))
{
}

vx23vx51::~vx23vx51()
{
    // The callback must have stopped before anything it reads goes away.
    m_processing.store(false, std::memory_order_release);
    if (m_client)
        m_client->deactivate();
}

// ---------------------------------------------------------------------------------------------
// The engine operation set

bool vx23vx51::init()
{
    if (isInitialized())
        return true;
    m_client = m_clientFactory ? m_clientFactory() : PortAudioClient::open();
    if (!m_client)
        return false;
    session()->setClientName(QStringLiteral("vx Jack"));
    if (session()->scale().sampleRate() != m_client->sampleRate())
        session()->setSampleRate(m_client->sampleRate());
    // TODO: the player and metronome buses of their own and the click samples, with the
    // audio metronome and the file preview player.
    return vx19::init();
}

bool vx23vx51::activate()
{
    if (isActivated())
        return true;
    if (!m_client)
        return false;
    m_client->setProcessCallback(&vx23vx51::processCallback, this);
    m_processing.store(true, std::memory_order_release);
    if (!m_drivenByCaller && m_client->activate() != 0) {
        m_processing.store(false, std::memory_order_release);
        return false;
    }
    return vx19::activate();
}

bool vx23vx51::start()
{
    if (!isActivated())
        return false;
    // TODO: the audio metronome recomputes its next beat from the play head here.
    vx19::start();
    if (m_transportMode & kTransportFollows)
        m_client->transportStart();
    return true;
}

bool vx23vx51::stop()
{
    if (m_client && (m_transportMode & kTransportFollows))
        m_client->transportStop();
    return vx19::stop();
}

bool vx23vx51::deactivate()
{
    if (isPlaying())
        stop();
    m_processing.store(false, std::memory_order_release);
    bool ok = true;
    if (m_client)
        ok = m_client->deactivate() == 0;
    vx19::deactivate();
    return ok;
}

bool vx23vx51::clean()
{
    if (isActivated())
        deactivate();
    m_fadeRequest.store(0, std::memory_order_release);
    m_stopping.store(false, std::memory_order_release);
    // Closing the client (PortAudio's terminate) reports its own failure to the error log.
    m_client.reset();
    return vx19::clean();
}

vx99Bus* vx23vx51::createBus(const QString& name, int flags)
{
    const uint32_t maxFrames = m_client ? m_client->bufferSize() : AudioClient::kBufferSize;
    return insertBus(std::make_unique<vx23Bus>(name, flags, kBusChannels, maxFrames));
}

std::unique_ptr<vx99Monitor> vx23vx51::createMonitor(vx18* track, vx99Bus* output)
{
    (void)track;
    const auto* bus = dynamic_cast<const vx23Bus*>(output);
    return std::make_unique<vx23Monitor>(bus ? bus->channels() : kBusChannels);
}

void vx23vx51::locateDeviceClient(uint32_t frame)
{
    if (m_client)
        m_client->transportLocate(frame);
}

// ---------------------------------------------------------------------------------------------
// Fades

void vx23vx51::requestFade(int direction)
{
    if (direction == 0 || !isPlaying())
        return;
    m_stopping.store(false, std::memory_order_release);
    m_fadeRequest.store(direction < 0 ? -1 : +1, std::memory_order_release);
    // Without a running stream the owner's next cycle takes the request.
    if (m_drivenByCaller || !m_client || !m_client->isActive())
        return;
    for (int waited = 0; m_fadeRequest.load(std::memory_order_acquire) != 0;
         waited += kFadeStepMs) {
        if (waited >= kFadeTimeoutMs) {
            // The stream stopped calling back (a failed callback ends it): do not hang the
            // user interface on it.
            discardFadeRequest();
            return;
        }
        if (QCoreApplication::instance())
            QCoreApplication::processEvents(QEventLoop::AllEvents, kFadeStepMs);
        QThread::msleep(kFadeStepMs);
    }
}

void vx23vx51::discardFadeRequest()
{
    m_fadeRequest.store(0, std::memory_order_release);
}

// ---------------------------------------------------------------------------------------------
// The process cycle

int vx23vx51::processCallback(uint32_t frames, void* engine)
{
    return static_cast<vx23vx51*>(engine)->process(frames);
}

vx23Bus* vx23vx51::audioBus(size_t index) const
{
    // Every bus of this engine is made by createBus(); the cast only guards against a foreign
    // bus inserted by mistake.
    return dynamic_cast<vx23Bus*>(buses()[index].get());
}

int vx23vx51::process(uint32_t frames)
{
    m_framesThisCycle.store(0, std::memory_order_relaxed);
    vx20* s = session();
    if (!m_processing.load(std::memory_order_acquire) || !s || !cursor() || !m_client)
        return 0;
    // The buses' scratch buffers hold one device cycle; a longer one cannot be rendered.
    if (frames == 0 || frames > m_client->bufferSize())
        return 0;
    // While the session is being changed the cycle stays silent and the play head waits.
    if (!s->tryLockEngine())
        return 0;

    prepareBuses(frames);
    // TODO: the file preview player mixes into its bus here.
    if (isPlaying()) {
        vx20Cursor* head = cursor();
        uint32_t b = head->frame();
        uint32_t c = b + frames;
        // TODO: the audio metronome mixes its clicks for [b, c) here.
        if (m_stopping.load(std::memory_order_acquire)) {
            // Faded out, waiting for stop(): keep time without sound.
            movePlayHead(c);
            head->addFrames(frames);
        } else {
            uint32_t rendered = 0;
            if (s->isLoopSet() && b < s->loopOut()) {
                const uint32_t loopIn = s->loopIn();
                const uint32_t loopOut = s->loopOut();
                // A loop shorter than the cycle wraps several times.
                while (c >= loopOut) {
                    renderTracks(b, loopOut);
                    rendered += loopOut - b;
                    m_framesThisCycle.store(rendered, std::memory_order_relaxed);
                    c -= loopOut - loopIn;
                    b = loopIn;
                    if (m_transportMode & kTransportFollows)
                        m_client->transportLocate(b);
                    movePlayHead(b);
                    // TODO: the audio metronome recomputes its beat from b at each wrap.
                }
            }
            renderTracks(b, c);
            rendered += c - b;
            m_framesThisCycle.store(rendered, std::memory_order_relaxed);
            commitBuses(frames);
            const int fade = m_fadeRequest.exchange(0, std::memory_order_acq_rel);
            if (fade != 0) {
                applyFade(fade, frames);
                if (fade < 0)
                    m_stopping.store(true, std::memory_order_release);
            }
            // TODO: while the session records, [b, c) of the input goes to the recording.
            movePlayHead(c);
            head->addFrames(frames);
            s->midiEngine()->wakeOutput();
        }
    }
    s->releaseEngine();
    return 0;
}

void vx23vx51::prepareBuses(uint32_t frames)
{
    const float* input[AudioClient::kChannels];
    float* output[AudioClient::kChannels];
    for (int i = 0; i < AudioClient::kChannels; ++i) {
        input[i] = m_client->inputBuffer(i);
        output[i] = m_client->outputBuffer(i);
    }
    for (size_t i = 0; i < buses().size(); ++i)
        if (vx23Bus* bus = audioBus(i))
            bus->prepare(input, output, AudioClient::kChannels, frames);
}

void vx23vx51::commitBuses(uint32_t frames)
{
    for (size_t i = 0; i < buses().size(); ++i)
        if (vx23Bus* bus = audioBus(i))
            bus->commit(frames);
}

void vx23vx51::renderTracks(uint32_t first, uint32_t last)
{
    vx20* s = session();
    vx20Cursor* head = cursor();
    const auto& tracks = s->tracks();
    for (uint32_t i = 0; i < tracks.size() && i < head->count(); ++i) {
        vx18* track = tracks[i];
        if (!track->isAudio() || !track->outputBus() || !s->isAudible(track))
            continue;
        // From the track's current clip on, every clip that starts before the range ends.
        for (vx21* clip = head->clip(i); clip && clip->start() < last; clip = clip->next())
            clip->process(first, last);
    }
}

void vx23vx51::applyFade(int direction, uint32_t frames)
{
    // Every output bus is bound to the same device channels: ramp each buffer once.
    float* ramped[vx23Monitor::kMaxChannels * 4];
    size_t count = 0;
    for (size_t i = 0; i < buses().size(); ++i) {
        vx23Bus* bus = audioBus(i);
        if (!bus || !bus->isOutput())
            continue;
        for (int channel = 0; channel < bus->channels(); ++channel) {
            float* samples = bus->outputChannels()[channel];
            if (!samples || std::find(ramped, ramped + count, samples) != ramped + count)
                continue;
            if (count == std::size(ramped))
                break;
            ramped[count++] = samples;
            const float step = 1.0f / float(frames);
            for (uint32_t k = 0; k < frames; ++k) {
                const float up = float(k) * step;
                samples[k] *= direction > 0 ? up : 1.0f - up;
            }
        }
    }
}

void vx23vx51::movePlayHead(uint32_t frame)
{
    cursor()->locate(frame, false);
}
