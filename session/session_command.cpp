#include "session_command.h"

#include "clip.h"
#include "clip_command.h"
#include "track.h"

SessionCommand::SessionCommand(Session* session, const QString& name)
    : Command(name), m_session(session)
{
}

// ---------------------------------------------------------------------------------------------
// Session tempo

TempoCommand::TempoCommand(Session* session, float tempo, uint16_t tempoUnit, uint16_t beatsPerBar,
                           uint16_t beatUnit, uint16_t ticksPerBeat)
    : SessionCommand(session, QObject::tr("session tempo"))
{
    if (!session)
        return;
    const TempoNode* first = session->scale().firstNode();
    const float oldTempo = session->tempo();
    if (tempo > 0 && tempo != oldTempo)
        m_tempo = tempo;
    if (first) {
        m_tempoUnit = tempoUnit != first->tempoUnit ? tempoUnit : 0;
        m_beatsPerBar = beatsPerBar != first->beatsPerBar ? beatsPerBar : 0;
        m_beatUnit = beatUnit != first->beatUnit ? beatUnit : 0;
    }
    if (ticksPerBeat != session->scale().ticksPerBeat())
        m_ticksPerBeat = ticksPerBeat;
    if (m_tempo > 0)
        buildClipCommand(oldTempo, m_tempo);
}

TempoCommand::~TempoCommand() = default;

bool TempoCommand::isEmpty() const
{
    return m_tempo <= 0 && !m_tempoUnit && !m_beatsPerBar && !m_beatUnit && !m_ticksPerBeat;
}

void TempoCommand::buildClipCommand(float oldTempo, float newTempo)
{
    Session* s = session();
    auto clips = std::make_unique<ClipCommand>(s, name());
    for (Track* track : s->tracks()) {
        if (!track->isAudio())
            continue;
        for (Clip* clip = track->firstClip(); clip; clip = clip->next()) {
            if (s->stretchAudio())
                clips->stretch(clip, clip->stretchFactor() * oldTempo / newTempo);
            else
                clips->setLength(clip, clip->length()); // reloaded; revert restores it
        }
    }
    if (!clips->isEmpty())
        m_clips = std::move(clips);
}

// The melody of a recording was transcribed at the old tempo; back at that tempo, each clip's
// melody is as current as it was before (an action may have transcribed it just before).
void TempoCommand::markAudioClips(bool applying)
{
    if (!applying) {
        for (auto [clip, mark] : m_marks)
            clip->setNeedsTranscription(mark);
        return;
    }
    m_marks.clear();
    for (Track* track : session()->tracks())
        if (track->isAudio())
            for (Clip* clip = track->firstClip(); clip; clip = clip->next()) {
                m_marks.emplace_back(clip, clip->needsTranscription());
                clip->setNeedsTranscription(true);
            }
}

bool TempoCommand::run(bool applying)
{
    Session* s = session();
    TempoNode* first = s ? s->scale().firstNode() : nullptr;
    if (!first)
        return false;
    if (isEmpty())
        return true;
    if (m_tempoUnit || m_ticksPerBeat)
        s->prepareMeterChange(); // the clips reopen under the lock below: read their files first
    EditLock lock(s);
    // Everything is read before anything is set: the quarter-note tempo depends on the unit.
    const float tempo = s->tempo();
    const uint16_t tempoUnit = first->tempoUnit, beatsPerBar = first->beatsPerBar;
    const uint16_t beatUnit = first->beatUnit, ticksPerBeat = s->scale().ticksPerBeat();
    if (m_tempoUnit || m_beatsPerBar || m_beatUnit)
        s->setMeter(m_tempoUnit ? m_tempoUnit : tempoUnit,
                    m_beatsPerBar ? m_beatsPerBar : beatsPerBar,
                    m_beatUnit ? m_beatUnit : beatUnit);
    if (m_tempo > 0)
        s->setTempo(m_tempo);
    if (m_ticksPerBeat)
        s->setTicksPerBeat(m_ticksPerBeat);
    (m_tempoUnit || m_ticksPerBeat) ? s->afterMeterChange() : s->afterTempoChange();

    m_tempo = m_tempo > 0 ? tempo : 0;
    m_tempoUnit = m_tempoUnit ? tempoUnit : 0;
    m_beatsPerBar = m_beatsPerBar ? beatsPerBar : 0;
    m_beatUnit = m_beatUnit ? beatUnit : 0;
    m_ticksPerBeat = m_ticksPerBeat ? ticksPerBeat : 0;

    if (m_clips)
        applying ? m_clips->apply() : m_clips->revert();
    if (m_tempo > 0)
        markAudioClips(applying);
    // TODO: the audio and MIDI engines refresh their tempo here once they exist.
    return true;
}

// ---------------------------------------------------------------------------------------------
// Loop and punch

RangeCommand::RangeCommand(Session* session, uint32_t in, uint32_t out, const QString& name)
    : SessionCommand(session, name), m_in(in < out ? in : 0), m_out(in < out ? out : 0),
      m_markerIn(in < out || !session ? m_in : session->markerIn()),
      m_markerOut(in < out || !session ? m_out : session->markerOut())
{
}

RangeCommand::~RangeCommand() = default;

void RangeCommand::swap()
{
    Session* s = session();
    uint32_t in, out;
    range(in, out);
    const uint32_t markerIn = s->markerIn(), markerOut = s->markerOut();
    setRange(m_in, m_out);
    s->setMarkerIn(m_markerIn);
    s->setMarkerOut(m_markerOut);
    m_in = in;
    m_out = out;
    m_markerIn = markerIn;
    m_markerOut = markerOut;
}

bool RangeCommand::apply()
{
    if (!session())
        return false;
    EditLock lock(session());
    if (m_exclusion)
        m_exclusion->apply();
    swap();
    return true;
}

bool RangeCommand::revert()
{
    if (!session())
        return false;
    EditLock lock(session());
    swap();
    if (m_exclusion)
        m_exclusion->revert();
    return true;
}

LoopCommand::LoopCommand(Session* session, uint32_t in, uint32_t out)
    : RangeCommand(session, in, out, QObject::tr("session loop"))
{
    if (session && in < out && session->isPunchSet())
        setExclusion(std::make_unique<PunchCommand>(session, 0, 0));
}

void LoopCommand::range(uint32_t& in, uint32_t& out) const
{
    in = session()->loopIn();
    out = session()->loopOut();
}

void LoopCommand::setRange(uint32_t in, uint32_t out)
{
    session()->setLoop(in, out);
}

PunchCommand::PunchCommand(Session* session, uint32_t in, uint32_t out)
    : RangeCommand(session, in, out, QObject::tr("session punch"))
{
    if (session && in < out && session->isLoopSet())
        setExclusion(std::make_unique<LoopCommand>(session, 0, 0));
}

void PunchCommand::range(uint32_t& in, uint32_t& out) const
{
    in = session()->punchIn();
    out = session()->punchOut();
}

void PunchCommand::setRange(uint32_t in, uint32_t out)
{
    session()->setPunch(in, out);
}

// ---------------------------------------------------------------------------------------------
// Session properties

EditSessionCommand::EditSessionCommand(Session* session, const Session::Properties& props)
    : PropertyCommand(QObject::tr("session properties"), props), m_session(session)
{
}

bool EditSessionCommand::read(Session::Properties& props) const
{
    if (!m_session)
        return false;
    props = m_session->properties();
    return true;
}

void EditSessionCommand::write(const Session::Properties& props)
{
    if (m_session && props.scale &&
        props.scale->ticksPerBeat() != m_session->scale().ticksPerBeat())
        m_session->prepareMeterChange(); // reopening clips under the lock reads nothing
    EditLock lock(m_session);
    m_session->setProperties(props);
}
