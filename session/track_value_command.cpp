#include "track_value_command.h"

#include "session.h"

TrackValueCommand::TrackValueCommand(Session* session, Track* track, float value,
                                     const QString& name)
    : TrackCommand(session, track, name), m_value(value)
{
    setReportsChange(false);
}

bool TrackValueCommand::swap()
{
    if (!inSession())
        return false;
    float now = read();
    if (!m_ran) {
        m_ran = true;
        now = m_restore.value_or(now);
        m_from = now;
        m_to = m_value;
    }
    write(m_value);
    m_value = now;
    return true;
}

bool TrackValueCommand::pushMerged(Session* session, std::unique_ptr<TrackValueCommand> command,
                                   uint64_t& remembered)
{
    if (!session || !command)
        return false;
    CommandList& list = session->commands();
    // The serial is only ever taken from a command of the caller's kind, so the cast is safe;
    // an address could belong to a newer command by now.
    Command* current = list.current();
    if (current && current->serial() == remembered) {
        auto* previous = static_cast<TrackValueCommand*>(current);
        const bool previousUp = previous->m_to > previous->m_from;
        const bool up = command->m_value > previous->m_to;
        if (previous->track() == command->track() && previous->m_ran && previousUp == up) {
            command->m_restore = previous->m_from;
            list.dropCurrent();
        }
    }
    remembered = command->serial();
    return session->push(std::move(command));
}

TrackGainCommand::TrackGainCommand(Session* session, Track* track, float gain)
    : TrackValueCommand(session, track, gain, QObject::tr("track gain"))
{
}

bool TrackGainCommand::change(Session* session, Track* track, float gain)
{
    static uint64_t remembered = 0;
    return pushMerged(session, std::make_unique<TrackGainCommand>(session, track, gain),
                      remembered);
}

TrackPanningCommand::TrackPanningCommand(Session* session, Track* track, float panning)
    : TrackValueCommand(session, track, panning, QObject::tr("track pan"))
{
}

bool TrackPanningCommand::change(Session* session, Track* track, float panning)
{
    static uint64_t remembered = 0;
    return pushMerged(session, std::make_unique<TrackPanningCommand>(session, track, panning),
                      remembered);
}

TrackMonitorCommand::TrackMonitorCommand(Session* session, Track* track, bool on)
    : TrackCommand(session, track, QObject::tr("track monitor")), m_on(on)
{
}

bool TrackMonitorCommand::swap()
{
    if (!inSession())
        return false;
    EditLock lock(session());
    Track::Properties props = track()->properties();
    const bool on = props.monitor;
    props.monitor = m_on;
    track()->setProperties(props);
    m_on = on;
    return true;
}
