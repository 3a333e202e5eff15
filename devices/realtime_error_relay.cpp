#include "realtime_error_relay.h"

#include "error_log.h"

#include <QString>

namespace {
constexpr size_t kCapacity = 64;
constexpr auto kFlushInterval = std::chrono::milliseconds(50);
} // namespace

RealtimeErrorRelay::RealtimeErrorRelay() : m_ring(kCapacity) {}

RealtimeErrorRelay::~RealtimeErrorRelay()
{
    stop();
    flush();
}

void RealtimeErrorRelay::post(const char* format, long long value) noexcept
{
    if (!m_ring.push(Message{format, value}))
        m_dropped.fetch_add(1, std::memory_order_relaxed);
}

void RealtimeErrorRelay::flush()
{
    std::lock_guard<std::mutex> lock(m_flushMutex);
    while (const Message* message = m_ring.front()) {
        ErrorLog::add(QString::fromUtf8(message->format).arg(message->value));
        m_ring.pop();
    }
    if (const unsigned dropped = m_dropped.exchange(0, std::memory_order_relaxed))
        ErrorLog::add(QStringLiteral("%1 more device errors were dropped").arg(dropped));
}

void RealtimeErrorRelay::start()
{
    if (m_thread.joinable())
        return;
    m_stopRequested = false;
    m_thread = std::thread([this] { run(); });
}

void RealtimeErrorRelay::stop()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_wakeMutex);
        m_stopRequested = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void RealtimeErrorRelay::run()
{
    std::unique_lock<std::mutex> lock(m_wakeMutex);
    while (!m_stopRequested) {
        m_wake.wait_for(lock, kFlushInterval, [this] { return m_stopRequested; });
        flush();
    }
}
