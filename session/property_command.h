#pragma once

#include "command.h"

#include <utility>

/**
 * PropertyCommand: swaps a whole set of properties of some object.
 *
 * Built with the properties to set; each run reads the current ones, writes the stored ones
 * and keeps what it read, so apply and revert are the same swap. Subclasses say how the
 * properties are read and written.
 */
template <class Properties> class PropertyCommand : public Command
{
public:
    bool apply() override { return swap(); }
    bool revert() override { return swap(); }

    /** The properties the next run writes. */
    const Properties& stored() const { return m_stored; }

protected:
    PropertyCommand(const QString& name, Properties props)
        : Command(name), m_stored(std::move(props))
    {
    }

    /** The object's properties now; false when the object no longer exists. */
    virtual bool read(Properties& props) const = 0;
    /** Gives the object the properties. */
    virtual void write(const Properties& props) = 0;

private:
    bool swap()
    {
        Properties now;
        if (!read(now))
            return false;
        write(m_stored);
        m_stored = std::move(now);
        return true;
    }

    Properties m_stored;
};
