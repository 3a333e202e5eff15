#include "midi_output_thread.h"

#include "midi_engine.h"
#include "session.h"

MidiOutputThread::MidiOutputThread(MidiEngine* engine, Session* session, std::mutex* mutex,
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
    if (m_thread.joinable())
        return;
    // Set here rather than in run(), so an end() that comes before the thread runs is not lost.
    m_running.store(true, std::memory_order_release);
    // A std::thread rather than a QThread: thread checkers see its start and join. Ordinary
    // time sharing has one static priority, so the QThread priority it had changed nothing.
    m_thread = std::thread([this] { run(); });
}

void MidiOutputThread::run()
{
    while (m_running.load(std::memory_order_acquire)) {
        m_wakeUps.wait(0, std::memory_order_acquire);
        m_wakeUps.store(0, std::memory_order_release);
        if (!m_running.load(std::memory_order_acquire))
            break;
        std::lock_guard<std::mutex> locker(*m_mutex);
        if (m_session->isPlaying())
            m_engine->processWindow();
    }
}

void MidiOutputThread::wake()
{
    if (m_wakeUps.exchange(1, std::memory_order_acq_rel) == 0)
        m_wakeUps.notify_one();
}

void MidiOutputThread::end()
{
    m_running.store(false, std::memory_order_release);
    m_wakeUps.store(1, std::memory_order_release);
    m_wakeUps.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}
