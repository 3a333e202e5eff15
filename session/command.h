#pragma once

#include <QString>
#include <cstdint>

class Session;

/**
 * Command: an undoable command, the only way the session's structure is changed.
 *
 * A command is built with the values it will set, pushed once onto the session's undo list
 * (CommandList), which applies it, and then reverted and applied again as the user undoes and
 * redoes. Most commands keep the other value and swap it with the current one on each run, so
 * apply and revert are the same swap. A command that takes an object out of the session (a
 * track, a clip, an event) owns that object while it is out and destroys it with itself.
 *
 * GUI thread only. apply() and revert() take the session's edit lock themselves where they
 * change what the engines read.
 */
class Command
{
public:
    explicit Command(const QString& name);
    virtual ~Command();
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    /** Applies (or re-applies) the change; false when its target no longer exists. */
    virtual bool apply() = 0;
    /** Takes the change back; false when its target no longer exists. */
    virtual bool revert() = 0;

    /** The label shown to the user, e.g. "move clip". */
    const QString& name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }

    /** Carried by the list's change signal; false for commands that need no view refresh. */
    bool reportsChange() const { return m_reportsChange; }
    /** True while the command holds an object that is outside the session. */
    virtual bool ownsObject() const { return false; }

    /** A number no other command of this process has; it tells commands apart safely. */
    uint64_t serial() const { return m_serial; }

    /**
     * Holds the session's edit lock for its lifetime (nothing without a session), so the
     * audio engine never reads the session half-changed.
     */
    class EditLock
    {
    public:
        explicit EditLock(Session* session);
        ~EditLock();
        EditLock(const EditLock&) = delete;
        EditLock& operator=(const EditLock&) = delete;

    private:
        Session* m_session;
    };

protected:
    void setReportsChange(bool on) { m_reportsChange = on; }

private:
    QString m_name;
    bool m_reportsChange = true;
    uint64_t m_serial;
};
