#include "bus_command.h"

#include "bus.h"
#include "engine.h"
#include "monitor.h"
#include "session.h"
#include "track.h"

#include <QObject>
#include <utility>

BusCommand::BusCommand(Session* session, int kind, Bus* bus, const QString& name)
    : Command(name), m_bus(bus), m_session(session), m_kind(kind)
{
}

Engine* BusCommand::engine() const
{
    if (!m_session)
        return nullptr;
    return m_kind == Engine::AudioKind ? m_session->audioEngine() : m_session->midiEngine();
}

bool BusCommand::busInEngine() const
{
    Engine* e = engine();
    return e && m_bus && e->busIndex(m_bus) >= 0;
}

std::vector<Track*> BusCommand::detachTracks()
{
    std::vector<Track*> detached;
    for (Track* track : m_session->tracks())
        if (track->kind() == m_kind &&
            (track->inputBus() == m_bus || track->outputBus() == m_bus)) {
            track->detach();
            detached.push_back(track);
        }
    return detached;
}

bool BusCommand::takeOut()
{
    Engine* e = engine();
    if (!busInEngine())
        return false;
    m_index = e->busIndex(m_bus);
    m_owned = e->takeBus(m_bus);
    e->busesChanged();
    return m_owned != nullptr;
}

bool BusCommand::putBack()
{
    Engine* e = engine();
    if (!e || !m_owned)
        return false;
    e->insertBus(std::move(m_owned), m_index);
    e->busesChanged();
    return true;
}

BusCommand::PlayingPause::PlayingPause(Session* session)
    : m_session(session), m_wasPlaying(session && session->isPlaying())
{
    if (m_wasPlaying)
        m_session->setPlaying(false);
}

BusCommand::PlayingPause::~PlayingPause()
{
    if (m_wasPlaying)
        m_session->setPlaying(true);
}

// ---------------------------------------------------------------------------------------------

CreateBusCommand::CreateBusCommand(Session* session, int kind, const QString& busName, int flags,
                                   const QString& instrument)
    : BusCommand(session, kind, nullptr, QObject::tr("create bus")), m_busName(busName),
      m_flags(flags), m_instrument(instrument)
{
}

bool CreateBusCommand::apply()
{
    Engine* e = engine();
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

bool CreateBusCommand::revert()
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

DeleteBusCommand::DeleteBusCommand(Session* session, int kind, Bus* bus)
    : BusCommand(session, kind, bus, QObject::tr("delete bus"))
{
}

bool DeleteBusCommand::apply()
{
    if (!busInEngine())
        return false;
    PlayingPause pause(session());
    EditLock lock(session());
    m_tracks = detachTracks();
    return takeOut();
}

bool DeleteBusCommand::revert()
{
    if (!ownsObject())
        return false;
    PlayingPause pause(session());
    EditLock lock(session());
    if (!putBack())
        return false;
    for (Track* track : m_tracks)
        if (session()->indexOf(track) >= 0)
            track->attach();
    m_tracks.clear();
    return true;
}

// ---------------------------------------------------------------------------------------------

UpdateBusCommand::UpdateBusCommand(Session* session, int kind, Bus* bus, const QString& busName,
                                   int flags, bool passThrough, const QString& instrument)
    : BusCommand(session, kind, bus, QObject::tr("update bus")), m_busName(busName), m_flags(flags),
      m_passThrough(passThrough), m_instrument(instrument)
{
}

bool UpdateBusCommand::swap()
{
    if (!busInEngine())
        return false;
    PlayingPause pause(session());
    EditLock lock(session());
    Engine* e = engine();
    const std::vector<Track*> tracks = detachTracks();
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
    for (Track* track : tracks) {
        Track::Properties props = track->properties();
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

BusGainCommand::BusGainCommand(Session* session, int kind, Bus* bus, float gain)
    : BusGainCommand(session, kind, bus, gain, Gain, QObject::tr("bus gain"))
{
}

BusGainCommand::BusGainCommand(Session* session, int kind, Bus* bus, float value, Value which,
                               const QString& name)
    : BusCommand(session, kind, bus, name), m_which(which), m_input(value), m_output(value)
{
    setReportsChange(false);
}

bool BusGainCommand::swap()
{
    if (!busInEngine())
        return false;
    auto swapValue = [this](Monitor* monitor, float& value) {
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

BusPanningCommand::BusPanningCommand(Session* session, int kind, Bus* bus, float panning)
    : BusGainCommand(session, kind, bus, panning, Panning, QObject::tr("bus pan"))
{
}

// ---------------------------------------------------------------------------------------------

BusPassthruCommand::BusPassthruCommand(Session* session, int kind, Bus* bus, bool on)
    : BusCommand(session, kind, bus, QObject::tr("bus pass-through")), m_on(on)
{
}

bool BusPassthruCommand::swap()
{
    if (!busInEngine())
        return false;
    // The audio callback reads the flag every cycle.
    EditLock lock(session());
    const bool now = m_bus->passThrough();
    m_bus->setPassThrough(m_on);
    m_on = now;
    return true;
}
