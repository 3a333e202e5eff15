#include "engine.h"

#include "clip.h"
#include "monitor.h"
#include "session_cursor.h"

Engine::Engine(Session* session, int kind)
    : m_session(session), m_kind(kind), m_cursor(std::make_unique<SessionCursor>(session, 0, kind))
{
}

Engine::~Engine() = default;

bool Engine::init()
{
    m_initialized = true;
    return true;
}

bool Engine::activate()
{
    m_activated = true;
    return true;
}

bool Engine::start()
{
    setPlaying(true);
    return true;
}

bool Engine::stop()
{
    setPlaying(false);
    return true;
}

bool Engine::deactivate()
{
    m_activated = false;
    return true;
}

bool Engine::clean()
{
    clearBuses();
    m_initialized = false;
    return true;
}

Bus* Engine::createBus(const QString& name, int flags)
{
    return insertBus(std::make_unique<Bus>(name, flags));
}

int Engine::busIndex(const Bus* bus) const
{
    for (size_t i = 0; i < m_buses.size(); ++i)
        if (m_buses[i].get() == bus)
            return int(i);
    return -1;
}

std::unique_ptr<Bus> Engine::takeBus(Bus* bus)
{
    const int i = busIndex(bus);
    if (i < 0)
        return nullptr;
    closeBus(bus);
    std::unique_ptr<Bus> taken = std::move(m_buses[size_t(i)]);
    m_buses.erase(m_buses.begin() + i);
    return taken;
}

Bus* Engine::insertBus(std::unique_ptr<Bus> bus, int index)
{
    if (!bus)
        return nullptr;
    Bus* added = bus.get();
    if (index < 0 || size_t(index) > m_buses.size())
        index = int(m_buses.size());
    m_buses.insert(m_buses.begin() + index, std::move(bus));
    openBus(added);
    return added;
}

Bus* Engine::findBus(const QString& name) const
{
    for (const auto& bus : m_buses)
        if (bus->name() == name)
            return bus.get();
    return nullptr;
}

Bus* Engine::firstBus(int flag) const
{
    for (const auto& bus : m_buses)
        if (bus->flags() & flag)
            return bus.get();
    return nullptr;
}

void Engine::clearBuses()
{
    m_buses.clear();
}

std::unique_ptr<Monitor> Engine::createMonitor(Track* track, Bus* output)
{
    (void)track;
    (void)output;
    return std::make_unique<Monitor>();
}

Clip* Engine::createRecordingClip(Track* track, uint32_t start)
{
    (void)track;
    (void)start;
    // The audio engine records into an AudioClip; an engine that cannot record makes none.
    return nullptr;
}

std::unique_ptr<Clip> Engine::finishRecordingClip(std::unique_ptr<Clip> recorded, uint32_t end)
{
    if (!recorded || end <= recorded->start()) {
        if (recorded)
            recorded->close(true);
        return nullptr;
    }
    recorded->setLength(end - recorded->start());
    recorded->close(true);
    recorded->open();
    return recorded;
}
