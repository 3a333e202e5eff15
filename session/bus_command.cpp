#include "bus_command.h"

#include "bus.h"
#include "engine.h"
#include "monitor.h"
#include "session.h"
#include "track.h"

#include <QObject>
#include <utility>

vx99BusCommand::vx99BusCommand(vx20* session, int kind, vx99Bus* bus, const QString& name)
    : vx30(name), m_bus(bus), m_session(session), m_kind(kind)
{
}

vx19* vx99BusCommand::engine() const
{
    if (!m_session)
        return nullptr;
    return m_kind == vx19::AudioKind ? m_session->audioEngine() : m_session->midiEngine();
}

bool vx99BusCommand::busInEngine() const
{
    vx19* e = engine();
    return e && m_bus && e->busIndex(m_bus) >= 0;
}

std::vector<vx18*> vx99BusCommand::detachTracks()
{
    std::vector<vx18*> detached;
    for (vx18* track : m_session->tracks())
        if (track->kind() == m_kind &&
            (track->inputBus() == m_bus || track->outputBus() == m_bus)) {
            track->detach();
            detached.push_back(track);
        }
    return detached;
}

bool vx99BusCommand::takeOut()
{
    vx19* e = engine();
    if (!busInEngine())
        return false;
    m_index = e->busIndex(m_bus);
    m_owned = e->takeBus(m_bus);
    e->busesChanged();
    return m_owned != nullptr;
}

bool vx99BusCommand::putBack()
{
    vx19* e = engine();
    if (!e || !m_owned)
        return false;
    e->insertBus(std::move(m_owned), m_index);
    e->busesChanged();
    return true;
}

vx99BusCommand::PlayingPause::PlayingPause(vx20* session)
    : m_session(session), m_wasPlaying(session && session->isPlaying())
{
    if (m_wasPlaying)
        m_session->setPlaying(false);
}

vx99BusCommand::PlayingPause::~PlayingPause()
{
    if (m_wasPlaying)
        m_session->setPlaying(true);
}

// ---------------------------------------------------------------------------------------------

vx99CreateBusCommand::vx99CreateBusCommand(vx20* session, int kind, const QString& busName,
                                           int flags, const QString& instrument)
    : vx99BusCommand(session, kind, nullptr, QObject::tr("create bus")), m_busName(busName),
      m_flags(flags), m_instrument(instrument)
{
}

bool vx99CreateBusCommand::apply()
{
    vx19* e = engine();
    if (!e)
        return false;
    EditLock lock(session());
    if (ownsObject())
        return putBack();
    if (m_bus)
        return false; // applied already
    m_bus = e->createBus(m_busName, m_flags);
    if (!m_bus)
        return false;
    m_bus->setInstrumentName(m_instrument);
    e->busesChanged();
    return true;
}

bool vx99CreateBusCommand::revert()
{
    if (!busInEngine())
        return false;
    PlayingPause pause(session());
    EditLock lock(session());
    // Tracks attached to the new bus since keep their bus names but lose the bus.
    detachTracks();
    return takeOut();
}

// ---------------------------------------------------------------------------------------------

vx99DeleteBusCommand::vx99DeleteBusCommand(vx20* session, int kind, vx99Bus* bus)
    : vx99BusCommand(session, kind, bus, QObject::tr("delete bus"))
{
}

bool vx99DeleteBusCommand::apply()
{
    if (!busInEngine())
        return false;
    PlayingPause pause(session());
    EditLock lock(session());
    m_tracks = detachTracks();
    return takeOut();
}

bool vx99DeleteBusCommand::revert()
{
    if (!ownsObject())
        return false;
    PlayingPause pause(session());
    EditLock lock(session());
    if (!putBack())
        return false;
    for (vx18* track : m_tracks)
        if (session()->indexOf(track) >= 0)
            track->attach();
    m_tracks.clear();
    return true;
}

// ---------------------------------------------------------------------------------------------

vx99UpdateBusCommand::vx99UpdateBusCommand(vx20* session, int kind, vx99Bus* bus,
                                           const QString& busName, int flags, bool passThrough,
                                           const QString& instrument)
    : vx99BusCommand(session, kind, bus, QObject::tr("update bus")), m_busName(busName),
      m_flags(flags), m_passThrough(passThrough), m_instrument(instrument)
{
}

bool vx99UpdateBusCommand::swap()
{
    if (!busInEngine())
        return false;
    PlayingPause pause(session());
    EditLock lock(session());
    vx19* e = engine();
    const std::vector<vx18*> tracks = detachTracks();
    e->closeBus(m_bus);
    const QString oldName = m_bus->name();
    const int oldFlags = m_bus->flags();
    const bool oldPassThrough = m_bus->passThrough();
    const QString oldInstrument = m_bus->instrumentName();
    m_bus->setName(m_busName);
    m_bus->setFlags(m_flags);
    m_bus->setPassThrough(m_passThrough);
    m_bus->setInstrumentName(m_instrument);
    e->openBus(m_bus);
    // The tracks named the bus by its old name; they follow it so attach() finds it again.
    for (vx18* track : tracks) {
        vx18::Properties props = track->properties();
        if (props.inputBus == oldName)
            props.inputBus = m_busName;
        if (props.outputBus == oldName)
            props.outputBus = m_busName;
        track->setProperties(props);
        track->attach();
    }
    e->busesChanged();
    m_busName = oldName;
    m_flags = oldFlags;
    m_passThrough = oldPassThrough;
    m_instrument = oldInstrument;
    return true;
}

// ---------------------------------------------------------------------------------------------

vx99BusGainCommand::vx99BusGainCommand(vx20* session, int kind, vx99Bus* bus, float gain)
    : vx99BusGainCommand(session, kind, bus, gain, Gain, QObject::tr("bus gain"))
{
}

vx99BusGainCommand::vx99BusGainCommand(vx20* session, int kind, vx99Bus* bus, float value,
                                       Value which, const QString& name)
    : vx99BusCommand(session, kind, bus, name), m_which(which), m_input(value), m_output(value)
{
    setReportsChange(false);
}

bool vx99BusGainCommand::swap()
{
    if (!busInEngine())
        return false;
    auto swapValue = [this](vx99Monitor* monitor, float& value) {
        if (!monitor)
            return;
        const float now = m_which == Gain ? monitor->gain() : monitor->panning();
        if (m_which == Gain)
            monitor->setGain(value);
        else
            monitor->setPanning(value);
        value = now;
    };
    if (m_bus->isInput())
        swapValue(m_bus->inputMonitor(), m_input);
    if (m_bus->isOutput())
        swapValue(m_bus->outputMonitor(), m_output);
    if (m_which == Gain)
        engine()->busGainChanged(m_bus);
    else
        engine()->busPanningChanged(m_bus);
    return true;
}

vx99BusPanningCommand::vx99BusPanningCommand(vx20* session, int kind, vx99Bus* bus, float panning)
    : vx99BusGainCommand(session, kind, bus, panning, Panning, QObject::tr("bus pan"))
{
}

// ---------------------------------------------------------------------------------------------

vx99BusPassthruCommand::vx99BusPassthruCommand(vx20* session, int kind, vx99Bus* bus, bool on)
    : vx99BusCommand(session, kind, bus, QObject::tr("bus pass-through")), m_on(on)
{
}

bool vx99BusPassthruCommand::swap()
{
    if (!busInEngine())
        return false;
    const bool now = m_bus->passThrough();
    m_bus->setPassThrough(m_on);
    m_on = now;
    return true;
}
