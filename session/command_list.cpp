#include "command_list.h"

#include <QAction>
#include <QRegularExpression>

class vx30List::Busy
{
public:
    explicit Busy(vx30List* list) : m_list(list) { m_list->m_busy = true; }
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
    vx30List* m_list;
};

vx30List::vx30List(QObject* parent) : QObject(parent) {}

vx30List::~vx30List()
{
    destroyAll();
}

vx30* vx30List::current() const
{
    return m_current >= 0 ? m_commands[size_t(m_current)].get() : nullptr;
}

vx30* vx30List::next() const
{
    const size_t i = size_t(m_current + 1);
    return i < m_commands.size() ? m_commands[i].get() : nullptr;
}

vx30* vx30List::at(int index) const
{
    return index >= 0 && size_t(index) < m_commands.size() ? m_commands[size_t(index)].get()
                                                           : nullptr;
}

void vx30List::setAside(int index)
{
    m_setAside.push_back(std::move(m_commands[size_t(index)]));
    m_commands.erase(m_commands.begin() + index);
}

void vx30List::setAsideTail()
{
    while (int(m_commands.size()) > m_current + 1)
        setAside(int(m_commands.size()) - 1);
}

bool vx30List::push(std::unique_ptr<vx30> command)
{
    if (!command || m_busy)
        return false;
    bool ok, reports;
    {
        Busy busy(this);
        setAsideTail();
        m_commands.push_back(std::move(command));
        m_current = int(m_commands.size()) - 1;
        vx30* c = m_commands.back().get();
        ok = c->apply();
        reports = c->reportsChange();
    }
    emit changed(reports);
    return ok;
}

bool vx30List::revert()
{
    vx30* c = current();
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

bool vx30List::redo()
{
    vx30* c = next();
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

bool vx30List::dropCurrent()
{
    if (m_current < 0 || m_busy)
        return false;
    setAside(m_current);
    --m_current;
    emit changed(false);
    return true;
}

bool vx30List::rollbackTo(vx30* command)
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
            vx30* c = m_commands[size_t(m_current)].get();
            c->revert();
            reports = reports || c->reportsChange();
            setAside(m_current);
            --m_current;
        }
    }
    emit changed(reports);
    return true;
}

void vx30List::clear()
{
    if (m_busy) {
        m_clearPending = true;
        return;
    }
    destroyAll();
    emit changed(false);
}

void vx30List::destroyAll()
{
    // Newest first, so a command is destroyed before the older ones it was built on.
    while (!m_commands.empty())
        m_commands.pop_back();
    while (!m_setAside.empty())
        m_setAside.pop_back();
    m_current = -1;
}

QString vx30List::labelText(const QString& text, const vx30* command)
{
    // Not a static: labels are also refreshed while the program's statics are torn down at exit.
    const QRegularExpression trailing(QStringLiteral("[\\s]+\\([^\\)]+\\)$"));
    QString label = text;
    label.remove(trailing);
    if (command)
        label += QStringLiteral(" (%1)").arg(command->name());
    return label;
}

void vx30List::labelAction(QAction* action, const vx30* command)
{
    if (action)
        action->setText(labelText(action->text(), command));
}
