#pragma once

#include "command.h"

#include <memory>
#include <vector>

/**
 * CompoundCommand: one undo step made of the commands a user action pushed one by one.
 *
 * The undo list hands it the commands after they ran (CommandList::groupSince), so it starts
 * applied. Undo reverts its commands newest first, redo applies them oldest first; the user sees
 * one entry with the action's name. GUI thread only, like every command.
 */
class CompoundCommand : public Command
{
public:
    explicit CompoundCommand(const QString& name);
    ~CompoundCommand() override;

    /** Appends an already applied command; the compound owns it from now on. */
    void append(std::unique_ptr<Command> command);
    int size() const { return int(m_commands.size()); }

    bool apply() override;
    bool revert() override;
    bool ownsObject() const override;

private:
    std::vector<std::unique_ptr<Command>> m_commands;
};
