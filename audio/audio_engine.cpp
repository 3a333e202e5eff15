#include "audio_engine.h"

#include "audio_bus.h"
#include "audio_client.h"
#include "audio_clip.h"
#include "audio_format_registry.h"
#include "audio_metronome.h"
#include "audio_monitor.h"
#include "audio_player.h"
#include "audio_recorder.h"
#include "portaudio_client.h"

#include "clip.h"
#include "engine_barrier.h"
#include "error_log.h"
#include "session.h"
#include "session_cursor.h"
#include "temp_folder.h"
#include "track.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QStringList>
#include <QThread>
#include <algorithm>
#include <cmath>

namespace {
constexpr int kFadeStepMs = 2;
// Every bus the program creates is stereo; more device channels are never bound.
constexpr int kBusChannels = 2;
} // namespace

AudioEngine::AudioEngine(Session* session, ClientFactory clientFactory)
    : Engine(session, AudioKind), m_clientFactory(std::move(clientFactory)),
      m_metronome(std::make_unique<AudioMetronome>(session->scale())),
      m_player(std::make_unique<AudioPlayer>())
{
}

AudioEngine::~AudioEngine()
{
    // The callback must have stopped before anything it reads goes away.
    m_processing.store(false, std::memory_order_release);
    if (m_client)
        m_client->deactivate();
}

bool AudioEngine::setMetronomeClicks(const QString& barClick, const QString& beatClick)
{
    m_barClick = barClick;
    m_beatClick = beatClick;
    if (!isInitialized() || m_barClick.isEmpty() || m_beatClick.isEmpty())
        return true;
    return m_metronome->loadClicks(m_barClick, m_beatClick, int(session()->scale().sampleRate()));
}

bool AudioEngine::previewFile(const QString& path)
{
    if (!m_player->play(path, int(session()->scale().sampleRate())))
        return false;
    // The client runs cycles only while its transport rolls: a preview while the song stands
    // still rolls it (the play head does not move while the engine is not playing).
    if (m_client && !isPlaying()) {
        m_client->transportStart();
        m_previewRolls = true;
    }
    return true;
}

void AudioEngine::stopPreview()
{
    m_player->stop();
    if (m_client && !isPlaying()) {
        m_client->transportStop();
        // The preview moved the device's transport on: back to where the song stands, or the
        // window would follow the device there.
        if (m_previewRolls)
            m_client->transportLocate(session()->playHead());
    }
    m_previewRolls = false;
}

void AudioEngine::createOwnBuses()
{
    const uint32_t maxFrames = m_client ? m_client->bufferSize() : AudioClient::kBufferSize;
    if (m_metronomeOwnBus && !m_ownMetronomeBus)
        m_ownMetronomeBus = std::make_unique<AudioBus>(QStringLiteral("Metronome"), Bus::Output,
                                                       kBusChannels, maxFrames);
    if (m_playerOwnBus && !m_ownPlayerBus)
        m_ownPlayerBus = std::make_unique<AudioBus>(QStringLiteral("Player"), Bus::Output,
                                                    kBusChannels, maxFrames);
    busesChanged();
}

void AudioEngine::clearBuses()
{
    Engine::clearBuses();
    busesChanged();
}

void AudioEngine::busesChanged()
{
    auto* first = dynamic_cast<AudioBus*>(firstBus(Bus::Output));
    m_metronomeBus = m_ownMetronomeBus ? m_ownMetronomeBus.get() : first;
    m_playerBus = m_ownPlayerBus ? m_ownPlayerBus.get() : first;
}

// ---------------------------------------------------------------------------------------------
// The engine operation set

bool AudioEngine::init()
{
    if (isInitialized())
        return true;
    m_client = m_clientFactory ? m_clientFactory() : PortAudioClient::open();
    if (!m_client)
        return false;
    session()->setClientName(QStringLiteral("Cantova"));
    if (session()->scale().sampleRate() != m_client->sampleRate())
        session()->setSampleRate(m_client->sampleRate());
    const bool initialized = Engine::init();
    createOwnBuses();
    if (!m_barClick.isEmpty() && !m_beatClick.isEmpty())
        m_metronome->loadClicks(m_barClick, m_beatClick, int(session()->scale().sampleRate()));
    return initialized;
}

bool AudioEngine::activate()
{
    if (isActivated())
        return true;
    if (!m_client)
        return false;
    m_client->setProcessCallback(&AudioEngine::processCallback, this);
    m_processing.store(true, std::memory_order_release);
    if (!m_drivenByCaller && m_client->activate() != 0) {
        m_processing.store(false, std::memory_order_release);
        return false;
    }
    return Engine::activate();
}

bool AudioEngine::start()
{
    if (!isActivated())
        return false;
    m_metronome->realign(session()->playHead());
    Engine::start();
    if (m_transportMode & kTransportFollows)
        m_client->transportStart();
    return true;
}

bool AudioEngine::stop()
{
    if (m_client && (m_transportMode & kTransportFollows))
        m_client->transportStop();
    Engine::stop();
    // A cycle already past its isPlaying() check still walks the tracks and clips; once it
    // ends, the caller may free them.
    waitForEngineCycleEnd(*session());
    return true;
}

bool AudioEngine::deactivate()
{
    if (isPlaying())
        stop();
    m_processing.store(false, std::memory_order_release);
    bool ok = true;
    if (m_client)
        ok = m_client->deactivate() == 0;
    Engine::deactivate();
    return ok;
}

bool AudioEngine::clean()
{
    if (isActivated())
        deactivate();
    m_fadeRequest.store(0, std::memory_order_release);
    m_stopping.store(false, std::memory_order_release);
    m_player->stop();
    m_metronome->close();
    m_metronomeBus = m_playerBus = nullptr;
    m_ownMetronomeBus.reset();
    m_ownPlayerBus.reset();
    // Closing the client (PortAudio's terminate) reports its own failure to the error log.
    m_client.reset();
    return Engine::clean();
}

Bus* AudioEngine::createBus(const QString& name, int flags)
{
    const uint32_t maxFrames = m_client ? m_client->bufferSize() : AudioClient::kBufferSize;
    return insertBus(std::make_unique<AudioBus>(name, flags, kBusChannels, maxFrames));
}

std::unique_ptr<Monitor> AudioEngine::createMonitor(Track* track, Bus* output)
{
    (void)track;
    const auto* bus = dynamic_cast<const AudioBus*>(output);
    return std::make_unique<AudioMonitor>(bus ? bus->channels() : kBusChannels);
}

void AudioEngine::locateDeviceClient(uint32_t frame)
{
    if (m_client)
        m_client->transportLocate(frame);
}

bool AudioEngine::hasRealTimeClient() const
{
    return m_client && m_client->isRealTime() && !m_drivenByCaller;
}

// ---------------------------------------------------------------------------------------------
// Fades

void AudioEngine::requestFade(int direction)
{
    if (direction == 0 || !isPlaying())
        return;
    m_stopping.store(false, std::memory_order_release);
    m_fadeRequest.store(direction < 0 ? -1 : +1, std::memory_order_release);
    // Without a running stream the owner's next cycle takes the request.
    if (m_drivenByCaller || !m_client || !m_client->isActive() || m_client->hasStreamEnded())
        return;
    for (int waited = 0; m_fadeRequest.load(std::memory_order_acquire) != 0;
         waited += kFadeStepMs) {
        if (waited >= kFadeTimeoutMs) {
            // The stream stopped calling back (a failed callback ends it): do not hang the
            // user interface on it.
            discardFadeRequest();
            return;
        }
        // No events are handled meanwhile: input stays queued for after the edit.
        QThread::msleep(kFadeStepMs);
    }
}

void AudioEngine::discardFadeRequest()
{
    m_fadeRequest.store(0, std::memory_order_release);
}

// ---------------------------------------------------------------------------------------------
// The process cycle

int AudioEngine::processCallback(uint32_t frames, void* engine)
{
    return static_cast<AudioEngine*>(engine)->process(frames);
}

AudioBus* AudioEngine::audioBus(size_t index) const
{
    // Every bus of this engine is made by createBus(); the cast only guards against a foreign
    // bus inserted by mistake.
    return dynamic_cast<AudioBus*>(buses()[index].get());
}

int AudioEngine::process(uint32_t frames)
{
    m_framesThisCycle.store(0, std::memory_order_relaxed);
    Session* s = session();
    if (!m_processing.load(std::memory_order_acquire) || !s || !cursor() || !m_client)
        return 0;
    // The buses' scratch buffers hold one device cycle; a longer one cannot be rendered.
    if (frames == 0 || frames > m_client->bufferSize())
        return 0;
    // While the session is being changed the cycle stays silent and the play head waits.
    if (!s->tryLockEngine())
        return 0;

    prepareBuses(frames);
    m_player->process(m_playerBus, frames);
    if (m_ownPlayerBus)
        m_ownPlayerBus->commit(frames);
    if (isPlaying()) {
        SessionCursor* head = cursor();
        uint32_t b = head->frame();
        uint32_t c = b + frames;
        if (s->isRecording())
            recordTracks(b, c, frames);
        if (m_stopping.load(std::memory_order_acquire)) {
            // Faded out, waiting for stop(): keep time without sound (the take goes on, so it
            // ends where the play head does).
            movePlayHead(c);
            head->addFrames(frames);
        } else {
            uint32_t rendered = 0;
            bool wrapped = false;
            if (s->isLoopSet() && b < s->loopOut()) {
                const uint32_t loopIn = s->loopIn();
                const uint32_t loopOut = s->loopOut();
                // A loop shorter than the cycle wraps several times.
                while (c >= loopOut) {
                    renderRange(b, loopOut);
                    rendered += loopOut - b;
                    m_framesThisCycle.store(rendered, std::memory_order_relaxed);
                    c -= loopOut - loopIn;
                    b = loopIn;
                    wrapped = true;
                    movePlayHead(b);
                    m_metronome->realign(b);
                }
            }
            renderRange(b, c);
            rendered += c - b;
            // The client counted this cycle's frames already: after a wrap its transport goes
            // where the play head ends the cycle, not to the loop start a block behind it.
            if (wrapped && (m_transportMode & kTransportFollows))
                m_client->transportLocate(c);
            m_framesThisCycle.store(rendered, std::memory_order_relaxed);
            commitBuses(frames);
            const int fade = m_fadeRequest.exchange(0, std::memory_order_acq_rel);
            if (fade != 0) {
                applyFade(fade, frames);
                if (fade < 0)
                    m_stopping.store(true, std::memory_order_release);
            }
            movePlayHead(c);
            head->addFrames(frames);
            s->midiEngine()->wakeOutput();
        }
    }
    s->releaseEngine();
    return 0;
}

void AudioEngine::prepareBuses(uint32_t frames)
{
    const float* input[AudioClient::kChannels];
    float* output[AudioClient::kChannels];
    for (int i = 0; i < AudioClient::kChannels; ++i) {
        input[i] = m_client->inputBuffer(i);
        output[i] = m_client->outputBuffer(i);
    }
    // Every output bus writes the same device channels: the engine's own buses start the
    // cycle's silence before the session's buses add to it.
    for (AudioBus* own : {m_ownMetronomeBus.get(), m_ownPlayerBus.get()})
        if (own)
            own->prepare(input, output, AudioClient::kChannels, frames);
    for (size_t i = 0; i < buses().size(); ++i)
        if (AudioBus* bus = audioBus(i))
            bus->prepare(input, output, AudioClient::kChannels, frames);
}

void AudioEngine::commitBuses(uint32_t frames)
{
    if (m_ownMetronomeBus)
        m_ownMetronomeBus->commit(frames);
    for (size_t i = 0; i < buses().size(); ++i)
        if (AudioBus* bus = audioBus(i))
            bus->commit(frames);
}

void AudioEngine::renderRange(uint32_t first, uint32_t last)
{
    if (m_metronomeOn.load(std::memory_order_relaxed))
        m_metronome->process(m_metronomeBus, first, last,
                             m_framesThisCycle.load(std::memory_order_relaxed));
    renderTracks(first, last);
}

void AudioEngine::renderTracks(uint32_t first, uint32_t last)
{
    Session* s = session();
    SessionCursor* head = cursor();
    const auto& tracks = s->tracks();
    for (uint32_t i = 0; i < tracks.size() && i < head->count(); ++i) {
        Track* track = tracks[i];
        if (!track->isAudio() || !track->outputBus() || !s->isAudible(track))
            continue;
        // From the track's current clip on, every clip that starts before the range ends.
        for (Clip* clip = head->clip(i); clip && clip->start() < last; clip = clip->next())
            clip->process(first, last);
    }
}

void AudioEngine::recordTracks(uint32_t first, uint32_t last, uint32_t frames)
{
    Session* s = session();
    const AudioRecorder::Window window =
        AudioRecorder::window(first, last, s->isPunchSet(), s->punchIn(), s->punchOut());
    for (Track* track : s->tracks()) {
        if (!track->isAudio() || !track->isRecordArmed())
            continue;
        auto* take = dynamic_cast<AudioClip*>(track->recordingClip());
        const auto* input = dynamic_cast<const AudioBus*>(track->inputBus());
        if (!take || !take->recorder() || !input || !input->isInput())
            continue;
        if (auto* monitor = dynamic_cast<AudioMonitor*>(track->monitor()))
            monitor->measure(input->inputChannels(), input->channels(), frames);
        if (window.frames > 0)
            take->recorder()->write(input->inputChannels(), input->channels(), window.frames,
                                    window.inputOffset);
    }
}

void AudioEngine::applyFade(int direction, uint32_t frames)
{
    // Every output bus is bound to the same device channels: ramp each buffer once.
    float* ramped[AudioMonitor::kMaxChannels * 4];
    size_t count = 0;
    for (size_t i = 0; i < buses().size(); ++i) {
        AudioBus* bus = audioBus(i);
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

void AudioEngine::movePlayHead(uint32_t frame)
{
    cursor()->locate(frame, false);
}

// ---------------------------------------------------------------------------------------------
// Recording

QString AudioEngine::nextRecordingPath()
{
    const QString extension = AudioFormatRegistry::instance().defaultWriteExtension();
    if (++m_takes == 1)
        return Session::audioRecordingPath(extension);
    return QDir(tempFolder())
        .absoluteFilePath(QStringLiteral("orvantmp-%1.%2").arg(m_takes).arg(extension));
}

Clip* AudioEngine::createRecordingClip(Track* track, uint32_t start)
{
    if (!track || !track->isAudio())
        return nullptr;
    if (m_client && !m_client->hasInput()) {
        ErrorLog::add(QObject::tr(AudioClient::kNoInputMessage));
        return nullptr;
    }
    const int rate = int(session()->scale().sampleRate());
    auto clip = std::make_unique<AudioClip>(rate);
    const QString path = nextRecordingPath();
    clip->setFilePath(path);
    clip->setName(QFileInfo(path).fileName());
    clip->setStart(start);
    // The file reports why it cannot be made; the track then records nothing.
    if (!clip->openRecording(1, rate))
        return nullptr;
    return clip.release();
}

AudioEngine::Placement AudioEngine::placeTake(uint32_t start, uint32_t length, double sampleRate,
                                              double latency)
{
    const auto shift = int64_t(std::floor(sampleRate * std::max(0.0, latency)));
    const int64_t placed = int64_t(start) - shift;
    if (placed >= 0)
        return {uint32_t(placed), 0, length};
    // The part before frame 0 is cut off.
    const auto cut = uint32_t(std::min<int64_t>(-placed, length));
    return {0, cut, length - cut};
}

namespace {

QString secondsText(uint64_t frames, double rate)
{
    return QString::number(double(frames) / rate, 'f', 3);
}

/** Tells the user what the slow or full disk cost the take. */
void reportTakeLosses(const AudioRecorder& recorder, uint32_t start, double rate)
{
    QStringList where;
    for (const AudioRecorder::LostSpan& span : recorder.lostSpans())
        where << QObject::tr("%1 ms at %2 s")
                     .arg(std::llround(1000.0 * double(span.frames) / rate))
                     .arg(secondsText(start + span.position, rate));
    if (recorder.framesLost() > 0)
        ErrorLog::add(QObject::tr("The disk could not keep up with the recording: %1 ms of it "
                                  "were lost and are silent (%2).")
                          .arg(std::llround(1000.0 * double(recorder.framesLost()) / rate))
                          .arg(where.join(QStringLiteral(", "))));
    if (recorder.isDiskFull())
        ErrorLog::add(QObject::tr("The disk is full: the recording stopped after %1 s. What was "
                                  "recorded until then is kept.")
                          .arg(secondsText(recorder.framesWritten(), rate)));
}

} // namespace

std::unique_ptr<Clip> AudioEngine::finishRecordingClip(std::unique_ptr<Clip> recorded, uint32_t end)
{
    auto* take = dynamic_cast<AudioClip*>(recorded.get());
    if (!take || !take->recorder())
        return Engine::finishRecordingClip(std::move(recorded), end);
    AudioRecorder& recorder = *take->recorder();
    recorder.close(); // the rest of the ring goes to the file
    const double rate = session()->scale().sampleRate();
    reportTakeLosses(recorder, take->start(), rate);
    // A full disk ends the take where the file ends.
    const uint64_t written = recorder.framesWritten();
    const uint32_t wanted = end > take->start() ? end - take->start() : 0;
    const auto length = uint32_t(std::min<uint64_t>(wanted, written));
    take->close(false);
    const Placement place = placeTake(take->start(), length, rate, m_recordingLatency);
    if (place.length == 0) {
        if (written == 0)
            QFile::remove(take->filePath());
        return nullptr;
    }
    auto clip = std::make_unique<AudioClip>(int(rate));
    clip->setFilePath(take->filePath());
    clip->setName(take->name());
    clip->setStart(place.start);
    clip->setOffset(place.offset);
    clip->setLength(place.length);
    clip->setNeedsTranscription(true);
    clip->setModified(true);
    clip->open();
    return clip;
}
