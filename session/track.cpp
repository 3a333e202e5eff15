#include "track.h"

#include "clip.h"
#include "engine.h"
#include "monitor.h"
#include "session.h"

#include <algorithm>

uint16_t trackParamFromText(const QString& text)
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

Track::Track(Session* session, int kind) : m_session(session)
{
    m_props.kind = kind;
}

Track::~Track()
{
    deleteClips();
}

void Track::setProperties(const Properties& props)
{
    m_props = props;
    m_props.background.setAlpha(192);
    if (m_monitor) {
        m_monitor->setGain(m_props.gain);
        m_monitor->setPanning(m_props.panning);
    }
}

void Track::setGain(float gain)
{
    m_props.gain = gain;
    if (m_monitor)
        m_monitor->setGain(gain);
}

void Track::setPanning(float panning)
{
    m_props.panning = panning;
    if (m_monitor)
        m_monitor->setPanning(panning);
}

void Track::setBackground(const QColor& colour)
{
    m_props.background = colour;
    m_props.background.setAlpha(192);
}

QColor Track::colourForNumber(int n)
{
    static const int t[3] = {255, 204, 153};
    return QColor(t[n % 3], t[(n / 3) % 3], t[(n / 9) % 3]);
}

void Track::setColoursForNumber(int n)
{
    const QColor colour = colourForNumber(n);
    setBackground(colour);
    m_props.foreground = colour.darker(200);
}

void Track::setHeight(int h)
{
    m_height = std::max(h, MinimumHeight);
    const int zoom = m_session ? m_session->scale().heightZoom() : 100;
    setZoomedHeight(m_height * zoom / 100);
}

void Track::setZoomedHeight(int h)
{
    m_zoomedHeight = std::max(h, MinimumHeight);
}

void Track::linkClip(Clip* clip, Clip* before)
{
    clip->m_next = before;
    clip->m_prev = before ? before->m_prev : m_last;
    (clip->m_prev ? clip->m_prev->m_next : m_first) = clip;
    (before ? before->m_prev : m_last) = clip;
    ++m_clipCount;
}

void Track::addClip(Clip* clip)
{
    // After every clip with the same or an earlier start, so equal starts keep their order.
    Clip* before = m_first;
    while (before && before->start() <= clip->start())
        before = before->next();
    clip->m_track = this;
    linkClip(clip, before);
    clip->updateTicksFromFrames();
}

void Track::removeClip(Clip* clip)
{
    (clip->m_prev ? clip->m_prev->m_next : m_first) = clip->m_next;
    (clip->m_next ? clip->m_next->m_prev : m_last) = clip->m_prev;
    clip->m_prev = clip->m_next = nullptr;
    clip->m_track = nullptr;
    --m_clipCount;
}

void Track::reorderClip(Clip* clip)
{
    removeClip(clip);
    addClip(clip);
}

void Track::deleteClips()
{
    while (m_first) {
        Clip* clip = m_first;
        removeClip(clip);
        delete clip;
    }
}

void Track::setRecordingClip(std::unique_ptr<Clip> clip)
{
    m_recordingClip = std::move(clip);
}

std::unique_ptr<Clip> Track::takeRecordingClip()
{
    return std::move(m_recordingClip);
}

Engine* Track::engine() const
{
    if (!m_session)
        return nullptr;
    return isAudio() ? m_session->audioEngine() : isMidi() ? m_session->midiEngine() : nullptr;
}

bool Track::attach()
{
    Engine* eng = engine();
    if (!eng)
        return false;
    m_input = eng->findBus(m_props.inputBus);
    if (!m_input && (m_input = eng->firstBus(Bus::Input)))
        m_props.inputBus = m_input->name();
    m_output = eng->findBus(m_props.outputBus);
    if (!m_output && (m_output = eng->firstBus(Bus::Output)))
        m_props.outputBus = m_output->name();

    // The new monitor is installed before the old one goes, so the engine never sees none
    // while a replacement exists.
    std::unique_ptr<Monitor> monitor;
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

void Track::detach()
{
    m_input = nullptr;
    m_output = nullptr;
    m_monitor.reset();
}
