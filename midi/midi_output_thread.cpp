#include "midi_output_thread.h"

#include "midi_engine.h"
#include "session.h"

MidiOutputThread::MidiOutputThread(MidiEngine* engine, Session* session, QMutex* mutex,
                                   uint32_t readAhead)
    : m_engine(engine), m_session(session), m_mutex(mutex),
      m_readAhead(readAhead ? readAhead : session->scale().sampleRate() / 2)
{
}

MidiOutputThread::~MidiOutputThread()
{
    end();
}

void MidiOutputThread::begin()
{
    // Set here rather than in run(), so an end() that comes before the thread runs is not lost.
    m_running.store(true, std::memory_order_release);
    start(QThread::HighPriority);
}

void MidiOutputThread::run()
{
    m_mutex->lock();
    while (m_running.load(std::memory_order_acquire)) {
        m_condition.wait(m_mutex);
        if (m_running.load(std::memory_order_acquire) && m_session->isPlaying())
            m_engine->processWindow();
    }
    m_mutex->unlock();
}

bool MidiOutputThread::wake()
{
    if (!m_mutex->tryLock())
        return false;
    m_condition.wakeAll();
    m_mutex->unlock();
    return true;
}

void MidiOutputThread::end()
{
    m_running.store(false, std::memory_order_release);
    do {
        m_mutex->lock();
        m_condition.wakeAll();
        m_mutex->unlock();
    } while (!wait(100));
}
