#include "track_value_command.h"

#include "session.h"

vx18ValueCommand::vx18ValueCommand(vx20* session, vx18* track, float value, const QString& name)
    : vx18Command(session, track, name), m_value(value)
{
    setReportsChange(false);
}

bool vx18ValueCommand::swap()
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

bool vx18ValueCommand::pushMerged(vx20* session, std::unique_ptr<vx18ValueCommand> command,
                                  uint64_t& remembered)
{
    if (!session || !command)
        return false;
    vx30List& list = session->commands();
    // The serial is only ever taken from a command of the caller's kind, so the cast is safe;
    // an address could belong to a newer command by now.
    vx30* current = list.current();
    if (current && current->serial() == remembered) {
        auto* previous = static_cast<vx18ValueCommand*>(current);
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

vx18GainCommand::vx18GainCommand(vx20* session, vx18* track, float gain)
    : vx18ValueCommand(session, track, gain, QObject::tr("track gain"))
{
}

bool vx18GainCommand::change(vx20* session, vx18* track, float gain)
{
    static uint64_t remembered = 0;
    return pushMerged(session, std::make_unique<vx18GainCommand>(session, track, gain), remembered);
}

vx18PanningCommand::vx18PanningCommand(vx20* session, vx18* track, float panning)
    : vx18ValueCommand(session, track, panning, QObject::tr("track pan"))
{
}

bool vx18PanningCommand::change(vx20* session, vx18* track, float panning)
{
    static uint64_t remembered = 0;
    return pushMerged(session, std::make_unique<vx18PanningCommand>(session, track, panning),
                      remembered);
}

vx18MonitorCommand::vx18MonitorCommand(vx20* session, vx18* track, bool on)
    : vx18Command(session, track, QObject::tr("track monitor")), m_on(on)
{
}

bool vx18MonitorCommand::swap()
{
    if (!inSession())
        return false;
    EditLock lock(session());
    vx18::Properties props = track()->properties();
    const bool on = props.monitor;
    props.monitor = m_on;
    track()->setProperties(props);
    m_on = on;
    return true;
}
