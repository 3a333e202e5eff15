#include "command.h"

#include "session.h"

namespace {

uint64_t nextSerial()
{
    // GUI thread only, like every command; a plain counter is enough.
    static uint64_t serial = 0;
    return ++serial;
}

} // namespace

vx30::vx30(const QString& name) : m_name(name), m_serial(nextSerial()) {}

vx30::~vx30() = default;

vx30::EditLock::EditLock(vx20* session) : m_session(session)
{
    if (m_session)
        m_session->lockEdit();
}

vx30::EditLock::~EditLock()
{
    if (m_session)
        m_session->unlockEdit();
}
