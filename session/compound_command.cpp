#include "compound_command.h"

CompoundCommand::CompoundCommand(const QString& name) : Command(name) {}

CompoundCommand::~CompoundCommand()
{
    // Newest first, as the undo list destroys its commands: a command goes before the older
    // ones whose objects it may refer to.
    while (!m_commands.empty())
        m_commands.pop_back();
}

void CompoundCommand::append(std::unique_ptr<Command> command)
{
    if (command)
        m_commands.push_back(std::move(command));
}

bool CompoundCommand::apply()
{
    bool ok = true;
    for (auto& command : m_commands)
        ok = command->apply() && ok;
    return ok;
}

bool CompoundCommand::revert()
{
    bool ok = true;
    for (auto it = m_commands.rbegin(); it != m_commands.rend(); ++it)
        ok = (*it)->revert() && ok;
    return ok;
}

bool CompoundCommand::ownsObject() const
{
    for (const auto& command : m_commands)
        if (command->ownsObject())
            return true;
    return false;
}
