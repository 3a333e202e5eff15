#include "track.h"

#include "clip.h"
#include "engine.h"
#include "monitor.h"
#include "session.h"

#include <algorithm>

uint16_t vx18ParamFromText(const QString& text)
{
    if (text.isEmpty() || text == QLatin1String("TrackParam") || text == QLatin1String("*"))
        return TrackParamAny;
    static const char* const names[] = {"TrackNone", "TrackGain",   "TrackPanning", "TrackMonitor",
                                        "TrackRecord", "TrackMute", "TrackSolo"};
    for (uint16_t i = 0; i < std::size(names); ++i)
        if (text == QLatin1String(names[i]))
            return i;
    return uint16_t(text.toUInt());
}

vx18::vx18(vx20* session, int kind)
    : m_session(session)
{
    m_props.kind = kind;
}

vx18::~vx18()
{
    deleteClips();
}

void vx18::setProperties(const Properties& props)
{
    m_props = props;
    m_props.background.setAlpha(192);
    if (m_monitor) {
        m_monitor->setGain(m_props.gain);
        m_monitor->setPanning(m_props.panning);
    }
}

void vx18::setGain(float gain)
{
    m_props.gain = gain;
    if (m_monitor)
        m_monitor->setGain(gain);
}

void vx18::setPanning(float panning)
{
    m_props.panning = panning;
    if (m_monitor)
        m_monitor->setPanning(panning);
}

void vx18::setBackground(const QColor& colour)
{
    m_props.background = colour;
    m_props.background.setAlpha(192);
}

QColor vx18::colourForNumber(int n)
{
    static const int t[3] = {255, 204, 153};
    return QColor(t[n % 3], t[(n / 3) % 3], t[(n / 9) % 3]);
}

void vx18::setColoursForNumber(int n)
{
    const QColor colour = colourForNumber(n);
    setBackground(colour);
    m_props.foreground = colour.darker(200);
}

void vx18::setHeight(int h)
{
    m_height = std::max(h, MinimumHeight);
    const int zoom = m_session ? m_session->scale().heightZoom() : 100;
    setZoomedHeight(m_height * zoom / 100);
}

void vx18::setZoomedHeight(int h)
{
    m_zoomedHeight = std::max(h, MinimumHeight);
}

void vx18::linkClip(vx21* clip, vx21* before)
{
    clip->m_next = before;
    clip->m_prev = before ? before->m_prev : m_last;
    (clip->m_prev ? clip->m_prev->m_next : m_first) = clip;
    (before ? before->m_prev : m_last) = clip;
    ++m_clipCount;
}

void vx18::addClip(vx21* clip)
{
    // After every clip with the same or an earlier start, so equal starts keep their order.
    vx21* before = m_first;
    while (before && before->start() <= clip->start())
        before = before->next();
    clip->m_track = this;
    linkClip(clip, before);
    clip->updateTicksFromFrames();
}

void vx18::removeClip(vx21* clip)
{
    (clip->m_prev ? clip->m_prev->m_next : m_first) = clip->m_next;
    (clip->m_next ? clip->m_next->m_prev : m_last) = clip->m_prev;
    clip->m_prev = clip->m_next = nullptr;
    clip->m_track = nullptr;
    --m_clipCount;
}

void vx18::reorderClip(vx21* clip)
{
    removeClip(clip);
    addClip(clip);
}

void vx18::deleteClips()
{
    while (m_first) {
        vx21* clip = m_first;
        removeClip(clip);
        delete clip;
    }
}

void vx18::setRecordingClip(std::unique_ptr<vx21> clip)
{
    m_recordingClip = std::move(clip);
}

std::unique_ptr<vx21> vx18::takeRecordingClip()
{
    return std::move(m_recordingClip);
}

vx19* vx18::engine() const
{
    if (!m_session)
        return nullptr;
    return isAudio() ? m_session->audioEngine() : isMidi() ? m_session->midiEngine() : nullptr;
}

bool vx18::attach()
{
    vx19* eng = engine();
    if (!eng)
        return false;
    m_input = eng->findBus(m_props.inputBus);
    if (!m_input && (m_input = eng->firstBus(vx99Bus::Input)))
        m_props.inputBus = m_input->name();
    m_output = eng->findBus(m_props.outputBus);
    if (!m_output && (m_output = eng->firstBus(vx99Bus::Output)))
        m_props.outputBus = m_output->name();

    // The new monitor is installed before the old one goes, so the engine never sees none
    // while a replacement exists.
    std::unique_ptr<vx99Monitor> monitor;
    if (m_output) {
        monitor = eng->createMonitor(this, m_output);
        if (monitor) {
            monitor->setGain(m_props.gain);
            monitor->setPanning(m_props.panning);
        }
    }
    m_monitor.swap(monitor);
    return m_monitor != nullptr;
}

void vx18::detach()
{
    m_input = nullptr;
    m_output = nullptr;
    m_monitor.reset();
}
