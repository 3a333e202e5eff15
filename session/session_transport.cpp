// The session's transport, engines and edit lock.
#include "session.h"

#include "clip.h"
#include "engine.h"
#include "session_cursor.h"
#include "track.h"

#include <QThread>
#include <algorithm>

namespace {
// Steps of the wait for the audio callback to leave the session.
constexpr int kEngineWaitMs = 2;
} // namespace

bool Session::isPlaying() const
{
    return m_audioEngine->isPlaying() && m_midiEngine->isPlaying();
}

bool Session::isActive() const
{
    return m_audioEngine->isActivated() && m_midiEngine->isActivated();
}

uint32_t Session::playHead() const
{
    return m_audioEngine->cursor()->frame();
}

bool Session::ensureMasterBuses()
{
    lockEdit();
    for (Engine* engine : {m_audioEngine.get(), m_midiEngine.get()}) {
        if (engine->buses().empty()) {
            engine->createBus(QStringLiteral("Master"), Bus::Duplex);
            // The metronome (and player) of the engine play on its first output bus.
            engine->busesChanged();
        }
    }
    if (!isActive()) {
        // Nothing can be attached before the devices are open; the buses stay for later.
        unlockEdit();
        return false;
    }
    bool attached = true;
    for (Track* track : m_tracks)
        attached = track->attach() && attached;
    if (!attached) {
        for (Track* track : m_tracks) {
            track->detach();
            armTrack(track, false);
        }
        m_audioEngine->clearBuses();
        m_midiEngine->clearBuses();
    }
    unlockEdit();
    return attached;
}

void Session::setPlaying(bool on)
{
    m_editGuard.fetch_add(1);
    if (on) {
        if (m_recording) {
            const uint32_t start = recordingStart();
            for (Track* track : m_tracks)
                if (Clip* clip = track->recordingClip())
                    clip->setStart(start);
            // TODO: a MIDI recording clip starting after the play head begins its data
            // frameToTick(start - play head) ticks later; comes with the MIDI clip.
        }
        if (!m_audioEngine->isPlaying())
            m_audioEngine->start();
        if (!m_midiEngine->isPlaying())
            m_midiEngine->start();
        if (m_editDepth.load() == 0)
            m_audioEngine->requestFade(+1);
    } else {
        if (m_editDepth.load() == 0)
            m_audioEngine->requestFade(-1);
        if (m_audioEngine->isPlaying())
            m_audioEngine->stop();
        if (m_midiEngine->isPlaying())
            m_midiEngine->stop();
    }
    m_editGuard.fetch_sub(1);
}

void Session::locate(uint32_t frame)
{
    if (isPlaying() && m_recording)
        return;
    lockEdit();
    const bool wasPlaying = isPlaying();
    setPlaying(false);
    if (m_audioEngine->hasDeviceClient())
        m_audioEngine->locateDeviceClient(frame);
    locateCursors(frame, true);
    if (wasPlaying)
        setPlaying(true);
    unlockEdit();
}

void Session::locateCursors(uint32_t frame, bool seek)
{
    m_audioEngine->cursor()->locate(frame, seek);
    m_midiEngine->cursor()->locate(frame, seek);
}

// ---------------------------------------------------------------------------------------------
// Edit lock

void Session::waitForEngine(int milliseconds) const
{
    // No events are handled while the engine finishes its block: a click, a key or a timer
    // handled now could start a second edit in the middle of this one. They stay queued and
    // run after the edit; the wait is a few milliseconds.
    QThread::msleep(uint32_t(milliseconds));
}

// The outermost lockEdit() fades the audio out, waits until the callback has left the session,
// then holds the MIDI output mutex; nested calls only count. The depth counts only once the
// engine lock is held, so nothing passes as nested before the lock is really there.
void Session::lockEdit()
{
    if (m_editDepth.load(std::memory_order_acquire) > 0) {
        // Nested in an edit of this (the GUI) thread, which holds the engine lock already.
        m_editDepth.fetch_add(1, std::memory_order_acq_rel);
        return;
    }
    m_editGuard.fetch_add(1, std::memory_order_acq_rel);
    m_audioEngine->requestFade(-1);
    int expected = 0;
    while (!m_engineBusy.compare_exchange_strong(expected, 1, std::memory_order_acquire)) {
        expected = 0;
        waitForEngine(kEngineWaitMs);
    }
    if (m_editDepth.fetch_add(1, std::memory_order_acq_rel) == 0)
        m_midiEngine->editLocked();
    m_editGuard.fetch_sub(1, std::memory_order_acq_rel);
}

void Session::unlockEdit()
{
    // An unbalanced unlock leaves the lock free, never negative.
    if (m_editDepth.load(std::memory_order_acquire) <= 0)
        return;
    if (m_editDepth.fetch_sub(1, std::memory_order_acq_rel) > 1)
        return;
    m_editGuard.fetch_add(1, std::memory_order_acq_rel);
    m_midiEngine->editUnlocked();
    m_engineBusy.store(0, std::memory_order_release);
    m_audioEngine->requestFade(+1);
    m_editGuard.fetch_sub(1, std::memory_order_acq_rel);
}

bool Session::tryLockEngine()
{
    int expected = 0;
    return m_engineBusy.compare_exchange_strong(expected, 1, std::memory_order_acquire);
}

void Session::releaseEngine()
{
    m_engineBusy.store(0, std::memory_order_release);
}

bool Session::isEditing() const
{
    return m_editGuard.load(std::memory_order_acquire) > 0 ||
           m_editDepth.load(std::memory_order_acquire) > 0;
}

// ---------------------------------------------------------------------------------------------
// Cursors

void Session::addCursor(SessionCursor* cursor)
{
    if (std::find(m_cursors.begin(), m_cursors.end(), cursor) == m_cursors.end())
        m_cursors.push_back(cursor);
}

void Session::removeCursor(SessionCursor* cursor)
{
    m_cursors.erase(std::remove(m_cursors.begin(), m_cursors.end(), cursor), m_cursors.end());
}
