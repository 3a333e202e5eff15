#include "engine.h"

#include "monitor.h"
#include "session_cursor.h"

vx19::vx19(vx20* session, int kind)
    : m_session(session)
    , m_kind(kind)
    , m_cursor(std::make_unique<vx20Cursor>(session, 0, kind))
{
}

vx19::~vx19() = default;

bool vx19::init()
{
    m_initialized = true;
    return true;
}

bool vx19::activate()
{
    m_activated = true;
    return true;
}

bool vx19::start()
{
    setPlaying(true);
    return true;
}

bool vx19::stop()
{
    setPlaying(false);
    return true;
}

bool vx19::deactivate()
{
    m_activated = false;
    return true;
}

bool vx19::clean()
{
    clearBuses();
    m_initialized = false;
    return true;
}

vx99Bus* vx19::createBus(const QString& name, int flags)
{
    return insertBus(std::make_unique<vx99Bus>(name, flags));
}

int vx19::busIndex(const vx99Bus* bus) const
{
    for (size_t i = 0; i < m_buses.size(); ++i)
        if (m_buses[i].get() == bus)
            return int(i);
    return -1;
}

std::unique_ptr<vx99Bus> vx19::takeBus(vx99Bus* bus)
{
    const int i = busIndex(bus);
    if (i < 0)
        return nullptr;
    closeBus(bus);
    std::unique_ptr<vx99Bus> taken = std::move(m_buses[size_t(i)]);
    m_buses.erase(m_buses.begin() + i);
    return taken;
}

vx99Bus* vx19::insertBus(std::unique_ptr<vx99Bus> bus, int index)
{
    if (!bus)
        return nullptr;
    vx99Bus* added = bus.get();
    if (index < 0 || size_t(index) > m_buses.size())
        index = int(m_buses.size());
    m_buses.insert(m_buses.begin() + index, std::move(bus));
    openBus(added);
    return added;
}

vx99Bus* vx19::findBus(const QString& name) const
{
    for (const auto& bus : m_buses)
        if (bus->name() == name)
            return bus.get();
    return nullptr;
}

vx99Bus* vx19::firstBus(int flag) const
{
    for (const auto& bus : m_buses)
        if (bus->flags() & flag)
            return bus.get();
    return nullptr;
}

void vx19::clearBuses()
{
    m_buses.clear();
}

std::unique_ptr<vx99Monitor> vx19::createMonitor(vx18* track, vx99Bus* output)
{
    (void)track;
    (void)output;
    return std::make_unique<vx99Monitor>();
}

vx21* vx19::createRecordingClip(vx18* track, uint32_t start)
{
    (void)track;
    (void)start;
    // TODO: the audio engine records into a vx23Clip and the MIDI engine into a vx22Clip;
    // until they exist a record-armed track records nothing.
    return nullptr;
}
