#include "song_undo_step.h"

#include "command_list.h"
#include "compound_command.h"
#include "session.h"
#include "song_snapshot.h"

#include <algorithm>

namespace {

int g_openSteps = 0; // GUI thread only

/** The step on the undo list: the action's commands plus the song before and after. */
class SongStepCommand : public CompoundCommand
{
public:
    SongStepCommand(const QString& name, std::unique_ptr<SongSnapshot> before,
                    std::unique_ptr<SongSnapshot> after)
        : CompoundCommand(name), m_before(std::move(before)), m_after(std::move(after))
    {
    }

    // The commands first, so the tracks and clips the snapshot names are in place again.
    bool apply() override
    {
        const bool ok = CompoundCommand::apply();
        m_after->restore();
        return ok;
    }
    bool revert() override
    {
        const bool ok = CompoundCommand::revert();
        m_before->restore();
        return ok;
    }

private:
    std::unique_ptr<SongSnapshot> m_before;
    std::unique_ptr<SongSnapshot> m_after;
};

} // namespace

SongUndoStep::SongUndoStep(Session& session, const QString& name)
    : m_session(session), m_name(name), m_outermost(g_openSteps == 0)
{
    ++g_openSteps;
    if (!m_outermost)
        return;
    m_since = session.commands().currentIndex();
    m_before = std::make_unique<SongSnapshot>(session);
}

SongUndoStep::~SongUndoStep()
{
    finish();
}

bool SongUndoStep::isOpen()
{
    return g_openSteps > 0;
}

void SongUndoStep::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    --g_openSteps;
    if (!m_outermost)
        return;
    CommandList& list = m_session.commands();
    const int since = std::min(m_since, list.currentIndex());
    auto after = std::make_unique<SongSnapshot>(m_session);
    if (since == list.currentIndex() && after->sameAs(*m_before)) {
        m_before.reset();
        return;
    }
    list.groupSince(
        since, std::make_unique<SongStepCommand>(m_name, std::move(m_before), std::move(after)));
}
