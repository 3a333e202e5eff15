#pragma once

#include <QString>

/**
 * vx99Bus: a named input and/or output connection of an engine.
 *
 * The audio and MIDI engines derive their buses from it. Tracks find their buses by name and
 * fall back to the first bus that can serve the direction. GUI thread only (engines read the
 * bus objects, the GUI creates and deletes them under the session's edit lock).
 */
class vx99Bus
{
public:
    enum Flag { Input = 1, Output = 2, Duplex = Input | Output };

    vx99Bus(const QString& name, int flags) : m_name(name), m_flags(flags) {}
    virtual ~vx99Bus() = default;

    const QString& name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    int flags() const { return m_flags; }
    bool isInput() const { return (m_flags & Input) != 0; }
    bool isOutput() const { return (m_flags & Output) != 0; }

private:
    QString m_name;
    int m_flags;
};
