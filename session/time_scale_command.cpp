#include "time_scale_command.h"

#include "session.h"
#include "time_scale.h"

#include <utility>

namespace {

TempoNode* nodeAt(TimeScale& scale, uint32_t frame)
{
    for (TempoNode* node = scale.firstNode(); node; node = node->next)
        if (node->frame == frame)
            return node;
    return nullptr;
}

// Gives scale the nodes of `nodes`; its own settings (zoom, snap, rates) stay, since only the
// node list belongs to the command.
void installNodes(TimeScale& scale, const TimeScale& nodes)
{
    const uint16_t snap = scale.snapPerBeat(), timeZoom = scale.timeZoom();
    const uint16_t heightZoom = scale.heightZoom(), ticksPerBeat = scale.ticksPerBeat();
    const uint16_t pixelsPerBeat = scale.pixelsPerBeat();
    const int timeFormat = scale.timeFormat();
    const uint32_t sampleRate = scale.sampleRate();
    scale.copyFrom(nodes);
    scale.setSnapPerBeat(snap);
    scale.setHeightZoom(heightZoom);
    scale.setTimeFormat(timeFormat);
    scale.setTimeZoom(timeZoom);
    scale.setSampleRate(sampleRate);
    scale.setTicksPerBeat(ticksPerBeat);
    scale.setPixelsPerBeat(pixelsPerBeat);
}

} // namespace

TimeScaleCommand::TimeScaleCommand(Session* session, const QString& name)
    : Command(name), m_session(session)
{
}

TimeScaleCommand::~TimeScaleCommand() = default;

bool TimeScaleCommand::swapNodeLists()
{
    if (!m_session)
        return false;
    TimeScale& scale = m_session->scale();
    EditLock lock(m_session);
    auto now = std::make_unique<TimeScale>();
    now->copyFrom(scale);
    if (m_other) {
        installNodes(scale, *m_other);
    } else if (!change()) {
        return false;
    }
    m_other = std::move(now);
    m_session->afterTempoChange();
    return true;
}

// ---------------------------------------------------------------------------------------------

AddTempoNodeCommand::AddTempoNodeCommand(Session* session, uint32_t frame, float tempo,
                                         uint16_t tempoUnit, uint16_t beatsPerBar,
                                         uint16_t beatUnit)
    : TimeScaleCommand(session, QObject::tr("add tempo node")), m_frame(frame), m_tempo(tempo),
      m_tempoUnit(tempoUnit), m_beatsPerBar(beatsPerBar), m_beatUnit(beatUnit)
{
}

bool AddTempoNodeCommand::change()
{
    return session()->scale().setNode(m_frame, m_tempo, m_tempoUnit, m_beatsPerBar, m_beatUnit) !=
           nullptr;
}

RemoveTempoNodeCommand::RemoveTempoNodeCommand(Session* session, uint32_t frame)
    : TimeScaleCommand(session, QObject::tr("remove tempo node")), m_frame(frame)
{
}

bool RemoveTempoNodeCommand::change()
{
    TimeScale& scale = session()->scale();
    TempoNode* node = nodeAt(scale, m_frame);
    if (!node || node == scale.firstNode())
        return false;
    scale.removeNode(node);
    return true;
}

UpdateTempoNodeCommand::UpdateTempoNodeCommand(Session* session, uint32_t frame, float tempo,
                                               uint16_t tempoUnit, uint16_t beatsPerBar,
                                               uint16_t beatUnit)
    : TimeScaleCommand(session, QObject::tr("update tempo node")), m_frame(frame), m_tempo(tempo),
      m_tempoUnit(tempoUnit), m_beatsPerBar(beatsPerBar), m_beatUnit(beatUnit)
{
}

bool UpdateTempoNodeCommand::swap()
{
    Session* s = session();
    TempoNode* node = s ? nodeAt(s->scale(), m_frame) : nullptr;
    if (!node)
        return false;
    EditLock lock(s);
    std::swap(node->tempo, m_tempo);
    std::swap(node->tempoUnit, m_tempoUnit);
    std::swap(node->beatsPerBar, m_beatsPerBar);
    std::swap(node->beatUnit, m_beatUnit);
    s->scale().recomputeFrom(node);
    s->afterTempoChange();
    return true;
}
