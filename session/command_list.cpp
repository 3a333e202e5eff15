#include "command_list.h"

#include "compound_command.h"

#include <QAction>
#include <QRegularExpression>

class CommandList::Busy
{
public:
    explicit Busy(CommandList* list) : m_list(list) { m_list->m_busy = true; }
    ~Busy()
    {
        m_list->m_busy = false;
        if (m_list->m_clearPending) {
            m_list->m_clearPending = false;
            m_list->destroyAll();
        }
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    CommandList* m_list;
};

CommandList::CommandList(QObject* parent) : QObject(parent) {}

CommandList::~CommandList()
{
    destroyAll();
}

Command* CommandList::current() const
{
    return m_current >= 0 ? m_commands[size_t(m_current)].get() : nullptr;
}

Command* CommandList::next() const
{
    const size_t i = size_t(m_current + 1);
    return i < m_commands.size() ? m_commands[i].get() : nullptr;
}

Command* CommandList::at(int index) const
{
    return index >= 0 && size_t(index) < m_commands.size() ? m_commands[size_t(index)].get()
                                                           : nullptr;
}

void CommandList::setAside(int index)
{
    m_setAside.push_back(std::move(m_commands[size_t(index)]));
    m_commands.erase(m_commands.begin() + index);
}

void CommandList::setAsideTail()
{
    while (int(m_commands.size()) > m_current + 1)
        setAside(int(m_commands.size()) - 1);
}

bool CommandList::push(std::unique_ptr<Command> command)
{
    if (!command || m_busy)
        return false;
    bool ok, reports;
    {
        Busy busy(this);
        setAsideTail();
        m_commands.push_back(std::move(command));
        m_current = int(m_commands.size()) - 1;
        Command* c = m_commands.back().get();
        ok = c->apply();
        reports = c->reportsChange();
    }
    emit changed(reports);
    return ok;
}

bool CommandList::revert()
{
    Command* c = current();
    if (!c || m_busy)
        return false;
    bool ok;
    {
        Busy busy(this);
        ok = c->revert();
        --m_current;
    }
    emit changed(c->reportsChange());
    return ok;
}

bool CommandList::redo()
{
    Command* c = next();
    if (!c || m_busy)
        return false;
    bool ok;
    {
        Busy busy(this);
        ++m_current;
        ok = c->apply();
    }
    emit changed(c->reportsChange());
    return ok;
}

bool CommandList::dropCurrent()
{
    if (m_current < 0 || m_busy)
        return false;
    setAside(m_current);
    --m_current;
    emit changed(false);
    return true;
}

bool CommandList::rollbackTo(Command* command)
{
    if (m_busy)
        return false;
    int target = -1;
    if (command) {
        for (int i = 0; i <= m_current && target < 0; ++i)
            if (m_commands[size_t(i)].get() == command)
                target = i;
        if (target < 0)
            return false;
    }
    bool reports = false;
    {
        Busy busy(this);
        // The undone tail assumes the commands rolled back here; it can never be redone.
        setAsideTail();
        while (m_current > target) {
            Command* c = m_commands[size_t(m_current)].get();
            c->revert();
            reports = reports || c->reportsChange();
            setAside(m_current);
            --m_current;
        }
    }
    emit changed(reports);
    return true;
}

bool CommandList::groupSince(int since, std::unique_ptr<CompoundCommand> group)
{
    if (!group || m_busy || since < -1 || since > m_current)
        return false;
    setAsideTail();
    for (int i = since + 1; i <= m_current; ++i)
        group->append(std::move(m_commands[size_t(i)]));
    m_commands.erase(m_commands.begin() + (since + 1), m_commands.end());
    m_commands.push_back(std::move(group));
    m_current = int(m_commands.size()) - 1;
    emit changed(m_commands.back()->reportsChange());
    return true;
}

void CommandList::clear()
{
    if (m_busy) {
        m_clearPending = true;
        return;
    }
    destroyAll();
    emit changed(false);
}

void CommandList::destroyAll()
{
    // Newest first, so a command is destroyed before the older ones it was built on.
    while (!m_commands.empty())
        m_commands.pop_back();
    while (!m_setAside.empty())
        m_setAside.pop_back();
    m_current = -1;
}

QString CommandList::labelText(const QString& text, const Command* command)
{
    // Not a static: labels are also refreshed while the program's statics are torn down at exit.
    const QRegularExpression trailing(QStringLiteral("[\\s]+\\([^\\)]+\\)$"));
    QString label = text;
    label.remove(trailing);
    if (command)
        label += QStringLiteral(" (%1)").arg(command->name());
    return label;
}

void CommandList::labelAction(QAction* action, const Command* command)
{
    if (action)
        action->setText(labelText(action->text(), command));
}
