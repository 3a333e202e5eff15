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

Command::Command(const QString& name) : m_name(name), m_serial(nextSerial()) {}

Command::~Command() = default;

Command::EditLock::EditLock(Session* session) : m_session(session)
{
    if (m_session)
        m_session->lockEdit();
}

Command::EditLock::~EditLock()
{
    if (m_session)
        m_session->unlockEdit();
}
