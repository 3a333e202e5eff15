#include "track_command.h"

#include "clip.h"
#include "session.h"

// ---------------------------------------------------------------------------------------------
// TrackCommand

TrackCommand::TrackCommand(Session* session, Track* track, const QString& name)
    : Command(name), m_session(session), m_track(track)
{
}

TrackCommand::TrackCommand(Session* session, std::unique_ptr<Track> track, Track* after,
                           const QString& name)
    : Command(name), m_session(session), m_track(track.get()), m_owned(std::move(track)),
      m_after(after)
{
}

bool TrackCommand::inSession() const
{
    return m_session && m_track && m_session->indexOf(m_track) >= 0;
}

bool TrackCommand::swapMembership()
{
    if (!m_session || !m_track || (!m_owned && !inSession()))
        return false;
    EditLock lock(m_session);
    m_owned ? putIn() : takeOut();
    return true;
}

void TrackCommand::putIn()
{
    Track* first = m_session->trackCount() > 0 ? m_session->tracks().front() : nullptr;
    m_session->addTrack(m_owned.release(), m_atFront ? nullptr : m_after);
    if (m_atFront && first)
        m_session->moveTrack(m_track, first);
    if (m_sharesInstrument)
        shareInstrument();
}

void TrackCommand::takeOut()
{
    const int at = m_session->indexOf(m_track);
    m_atFront = at == 0;
    m_after = at > 0 ? m_session->tracks()[size_t(at - 1)] : nullptr;
    unshareInstrument();
    m_session->removeTrack(m_track);
    m_owned.reset(m_track);
}

// One output bus channel plays one instrument: the tracks sharing it take the new track's.
void TrackCommand::shareInstrument()
{
    const Track::Properties& mine = m_track->properties();
    if (!m_track->isMidi() || (mine.instrument < 0 && mine.bank < 0 && mine.program < 0))
        return;
    for (Track* other : m_session->tracks()) {
        Track::Properties props = other->properties();
        if (other == m_track || !other->isMidi() || props.outputBus != mine.outputBus ||
            props.channel != mine.channel)
            continue;
        m_shared.push_back({other, props.instrument, props.bank, props.program});
        props.instrument = mine.instrument;
        props.bank = mine.bank;
        props.program = mine.program;
        other->setProperties(props);
    }
    // TODO: send the channel's instrument, bank and program to the output bus once the MIDI
    // engine has its buses.
}

void TrackCommand::unshareInstrument()
{
    for (const SharedInstrument& shared : m_shared) {
        Track::Properties props = shared.track->properties();
        props.instrument = shared.instrument;
        props.bank = shared.bank;
        props.program = shared.program;
        shared.track->setProperties(props);
    }
    m_shared.clear();
}

// ---------------------------------------------------------------------------------------------
// Add, remove, import

AddTrackCommand::AddTrackCommand(Session* session, std::unique_ptr<Track> track, Track* after)
    : AddTrackCommand(session, std::move(track), after, QObject::tr("add track"))
{
}

AddTrackCommand::AddTrackCommand(Session* session, std::unique_ptr<Track> track, Track* after,
                                 const QString& name)
    : TrackCommand(session, std::move(track), after, name)
{
    setSharesInstrument(true);
}

RemoveTrackCommand::RemoveTrackCommand(Session* session, Track* track)
    : TrackCommand(session, track, QObject::tr("remove track"))
{
}

ImportTrackCommand::ImportTrackCommand(Session* session, std::unique_ptr<Clip> clip,
                                       const QString& name, uint16_t channel)
    : AddTrackCommand(session, makeTrack(session, std::move(clip), name, channel), nullptr,
                      QObject::tr("import track"))
{
}

std::unique_ptr<Track> ImportTrackCommand::makeTrack(Session* session, std::unique_ptr<Clip> clip,
                                                     const QString& name, uint16_t channel)
{
    auto track = std::make_unique<Track>(session, Track::MidiTrack);
    Track::Properties props = track->properties();
    props.name = name;
    props.channel = channel & 0x0F;
    if (clip) {
        props.bank = clip->bank();
        props.program = clip->program();
    }
    track->setProperties(props);
    if (session)
        session->setNewTrackColours(track.get());
    if (clip)
        track->addClip(clip.release());
    return track;
}

// ---------------------------------------------------------------------------------------------
// Move, resize

MoveTrackCommand::MoveTrackCommand(Session* session, Track* track, Track* before)
    : TrackCommand(session, track, QObject::tr("move track")), m_before(before)
{
}

bool MoveTrackCommand::swap()
{
    if (!inSession())
        return false;
    const auto& tracks = session()->tracks();
    const size_t next = size_t(session()->indexOf(track())) + 1;
    Track* successor = next < tracks.size() ? tracks[next] : nullptr;
    EditLock lock(session());
    session()->moveTrack(track(), m_before);
    m_before = successor;
    return true;
}

ResizeTrackCommand::ResizeTrackCommand(Session* session, Track* track, int height)
    : TrackCommand(session, track, QObject::tr("resize track")), m_height(height)
{
}

bool ResizeTrackCommand::swap()
{
    if (!inSession())
        return false;
    const int height = track()->zoomedHeight();
    track()->setZoomedHeight(m_height);
    m_height = height;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Properties

EditTrackCommand::EditTrackCommand(Session* session, Track* track, const Track::Properties& props)
    : PropertyCommand(QObject::tr("track properties"), props), m_session(session), m_track(track)
{
}

bool EditTrackCommand::read(Track::Properties& props) const
{
    if (!m_session || !m_track || m_session->indexOf(m_track) < 0)
        return false;
    props = m_track->properties();
    return true;
}

void EditTrackCommand::write(const Track::Properties& props)
{
    EditLock lock(m_session);
    Track::Properties p = props;
    p.kind = m_track->kind();
    // Flags set behind the session's back would leave its counters wrong.
    p.mute = m_track->isMuted();
    p.solo = m_track->isSoloed();
    p.record = m_track->isRecordArmed();
    m_track->setProperties(p);
    m_session->mute(m_track, props.mute);
    m_session->solo(m_track, props.solo);
    m_session->record(m_track, props.record);
    m_track->attach();
}
