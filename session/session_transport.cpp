// The session's transport, engines and edit lock.
#include "session.h"

#include "clip.h"
#include "engine.h"
#include "session_cursor.h"
#include "track.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>

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
    unlockEdit();
    if (attached)
        return true;
    m_audioEngine->clearBuses();
    m_midiEngine->clearBuses();
    for (Track* track : m_tracks) {
        track->detach();
        armTrack(track, false);
    }
    return false;
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
    // The user interface stays responsive while the engine finishes its block.
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents, milliseconds);
    QThread::msleep(milliseconds);
}

void Session::lockEdit()
{
    m_editGuard.fetch_add(1, std::memory_order_acq_rel);
    if (m_editDepth.fetch_add(1, std::memory_order_acq_rel) == 0) {
        m_audioEngine->requestFade(-1);
        int expected = 0;
        while (!m_engineBusy.compare_exchange_strong(expected, 1, std::memory_order_acquire)) {
            expected = 0;
            waitForEngine(20);
        }
        m_midiEngine->editLocked();
    }
    m_editGuard.fetch_sub(1, std::memory_order_acq_rel);
}

void Session::unlockEdit()
{
    m_editGuard.fetch_add(1, std::memory_order_acq_rel);
    if (m_editDepth.fetch_sub(1, std::memory_order_acq_rel) - 1 <= 0) {
        m_editDepth.store(0, std::memory_order_release);
        m_midiEngine->editUnlocked();
        m_engineBusy.store(0, std::memory_order_release);
        m_audioEngine->requestFade(+1);
    }
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
