#include "scale_command.h"

#include "session.h"
#include "time_scale.h"

#include <utility>

namespace {

vx29Node* nodeAt(vx29& scale, uint32_t frame)
{
    for (vx29Node* node = scale.firstNode(); node; node = node->next)
        if (node->frame == frame)
            return node;
    return nullptr;
}

// Gives scale the nodes of `nodes`; its own settings (zoom, snap, rates) stay, since only the
// node list belongs to the command.
void installNodes(vx29& scale, const vx29& nodes)
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

vx29ScaleCommand::vx29ScaleCommand(vx20* session, const QString& name)
    : vx30(name), m_session(session)
{
}

vx29ScaleCommand::~vx29ScaleCommand() = default;

bool vx29ScaleCommand::swapNodeLists()
{
    if (!m_session)
        return false;
    vx29& scale = m_session->scale();
    EditLock lock(m_session);
    auto now = std::make_unique<vx29>();
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

vx29ScaleAddNodeCommand::vx29ScaleAddNodeCommand(vx20* session, uint32_t frame, float tempo,
                                                 uint16_t tempoUnit, uint16_t beatsPerBar,
                                                 uint16_t beatUnit)
    : vx29ScaleCommand(session, QObject::tr("add tempo node")), m_frame(frame), m_tempo(tempo),
      m_tempoUnit(tempoUnit), m_beatsPerBar(beatsPerBar), m_beatUnit(beatUnit)
{
}

bool vx29ScaleAddNodeCommand::change()
{
    return session()->scale().setNode(m_frame, m_tempo, m_tempoUnit, m_beatsPerBar, m_beatUnit) !=
           nullptr;
}

vx29ScaleRemoveNodeCommand::vx29ScaleRemoveNodeCommand(vx20* session, uint32_t frame)
    : vx29ScaleCommand(session, QObject::tr("remove tempo node")), m_frame(frame)
{
}

bool vx29ScaleRemoveNodeCommand::change()
{
    vx29& scale = session()->scale();
    vx29Node* node = nodeAt(scale, m_frame);
    if (!node || node == scale.firstNode())
        return false;
    scale.removeNode(node);
    return true;
}

vx29ScaleUpdateNodeCommand::vx29ScaleUpdateNodeCommand(vx20* session, uint32_t frame, float tempo,
                                                       uint16_t tempoUnit, uint16_t beatsPerBar,
                                                       uint16_t beatUnit)
    : vx29ScaleCommand(session, QObject::tr("update tempo node")), m_frame(frame), m_tempo(tempo),
      m_tempoUnit(tempoUnit), m_beatsPerBar(beatsPerBar), m_beatUnit(beatUnit)
{
}

bool vx29ScaleUpdateNodeCommand::swap()
{
    vx20* s = session();
    vx29Node* node = s ? nodeAt(s->scale(), m_frame) : nullptr;
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
