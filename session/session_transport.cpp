// The session's transport, engines and edit lock.
#include "session.h"

#include "clip.h"
#include "engine.h"
#include "session_cursor.h"
#include "track.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>

bool vx20::isPlaying() const
{
    return m_audioEngine->isPlaying() && m_midiEngine->isPlaying();
}

bool vx20::isActive() const
{
    return m_audioEngine->isActivated() && m_midiEngine->isActivated();
}

uint32_t vx20::playHead() const
{
    return m_audioEngine->cursor()->frame();
}

bool vx20::ensureMasterBuses()
{
    lockEdit();
    for (vx19* engine : {m_audioEngine.get(), m_midiEngine.get()}) {
        if (engine->buses().empty()) {
            engine->createBus(QStringLiteral("Master"), vx99Bus::Duplex);
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
    for (vx18* track : m_tracks)
        attached = track->attach() && attached;
    unlockEdit();
    if (attached)
        return true;
    m_audioEngine->clearBuses();
    m_midiEngine->clearBuses();
    for (vx18* track : m_tracks) {
        track->detach();
        armTrack(track, false);
    }
    return false;
}

void vx20::setPlaying(bool on)
{
    m_editGuard.fetch_add(1);
    if (on) {
        if (m_recording) {
            const uint32_t start = recordingStart();
            for (vx18* track : m_tracks)
                if (vx21* clip = track->recordingClip())
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

void vx20::locate(uint32_t frame)
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

void vx20::locateCursors(uint32_t frame, bool seek)
{
    m_audioEngine->cursor()->locate(frame, seek);
    m_midiEngine->cursor()->locate(frame, seek);
}

// ---------------------------------------------------------------------------------------------
// Edit lock

void vx20::waitForEngine(int milliseconds) const
{
    // The user interface stays responsive while the engine finishes its block.
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents, milliseconds);
    QThread::msleep(milliseconds);
}

void vx20::lockEdit()
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

void vx20::unlockEdit()
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

bool vx20::tryLockEngine()
{
    int expected = 0;
    return m_engineBusy.compare_exchange_strong(expected, 1, std::memory_order_acquire);
}

void vx20::releaseEngine()
{
    m_engineBusy.store(0, std::memory_order_release);
}

bool vx20::isEditing() const
{
    return m_editGuard.load(std::memory_order_acquire) > 0 ||
           m_editDepth.load(std::memory_order_acquire) > 0;
}

// ---------------------------------------------------------------------------------------------
// Cursors

void vx20::addCursor(vx20Cursor* cursor)
{
    if (std::find(m_cursors.begin(), m_cursors.end(), cursor) == m_cursors.end())
        m_cursors.push_back(cursor);
}

void vx20::removeCursor(vx20Cursor* cursor)
{
    m_cursors.erase(std::remove(m_cursors.begin(), m_cursors.end(), cursor), m_cursors.end());
}
