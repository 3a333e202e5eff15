#include "track_state_command.h"

#include "clip.h"
#include "clip_command.h"
#include "record_clip_command.h"
#include "session.h"
#include "track.h"

namespace {

QString stateName(int state)
{
    switch (state) {
    case TrackStateCommand::Record:
        return QObject::tr("track record");
    case TrackStateCommand::Mute:
        return QObject::tr("track mute");
    default:
        return QObject::tr("track solo");
    }
}

} // namespace

TrackStateCommand::TrackStateCommand(Session* session, const std::vector<Track*>& tracks, int state,
                                     bool on, bool fromControlSurface)
    : Command(stateName(state)), m_session(session), m_state(state),
      m_fromControlSurface(fromControlSurface)
{
    for (Track* track : tracks)
        if (track)
            m_entries.push_back({track, on});
}

TrackStateCommand::~TrackStateCommand() = default;

bool TrackStateCommand::ownsObject() const
{
    return m_recorded && m_recorded->ownsObject();
}

bool TrackStateCommand::flag(const Track* track) const
{
    switch (m_state) {
    case Record:
        return track->isRecordArmed();
    case Mute:
        return track->isMuted();
    default:
        return track->isSoloed();
    }
}

void TrackStateCommand::setFlag(Track* track, bool on)
{
    switch (m_state) {
    case Record:
        m_session->record(track, on);
        break;
    case Mute:
        m_session->mute(track, on);
        break;
    default:
        m_session->solo(track, on);
        break;
    }
}

bool TrackStateCommand::run()
{
    if (!m_session)
        return false;
    for (const Entry& entry : m_entries)
        if (m_session->indexOf(entry.track) < 0)
            return false;
    EditLock lock(m_session);
    ++m_runs;
    if (m_runs == 1 && m_state == Record)
        finishRecordings();
    static const int params[] = {TrackRecord, TrackMute, TrackSolo};
    const bool tellSurface = !(m_fromControlSurface && m_runs == 1);
    for (Entry& entry : m_entries) {
        const bool old = flag(entry.track);
        setFlag(entry.track, entry.value);
        if (tellSurface)
            emit m_session->commands().trackParamChanged(
                params[m_state], m_session->indexOf(entry.track), entry.value);
        entry.value = old;
    }
    if (m_recorded)
        m_runs % 2 == 1 ? m_recorded->apply() : m_recorded->revert();
    return true;
}

// Finishes the takes of the tracks this run disarms, before disarming drops them.
void TrackStateCommand::finishRecordings()
{
    if (!m_session->isRecording())
        return;
    std::vector<Track*> disarmed;
    for (const Entry& entry : m_entries)
        if (!entry.value && entry.track->isRecordArmed())
            disarmed.push_back(entry.track);
    m_recorded = RecordClipCommand::finish(m_session, disarmed);
}
