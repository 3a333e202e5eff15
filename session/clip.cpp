#include "clip.h"

#include "command.h"
#include "session.h"
#include "track.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

Clip::Clip()
{
    updateFadeCurves();
}

Clip::~Clip() = default;

std::unique_ptr<Command> Clip::makeStretchEdit(float factor) const
{
    (void)factor;
    return nullptr;
}

bool Clip::reload()
{
    close(false);
    return open();
}

Session* Clip::session() const
{
    return m_track ? m_track->session() : nullptr;
}

// Tick copies are measured the way the MIDI clip reads its file: the start as a position,
// the length and the fades as spans from the clip's start or to its end, and the offset as the
// span before the start (or from frame 0 when the offset reaches back past it).
uint32_t Clip::toTicks(uint32_t frames) const
{
    Session* s = session();
    return s ? s->scale().frameToTick(frames) : 0;
}

void Clip::setStart(uint32_t frame)
{
    m_start = frame;
    updateTicksFromFrames();
}

void Clip::setLength(uint32_t frames)
{
    m_length = frames;
    m_fadeIn = std::min(m_fadeIn, m_length);
    m_fadeOut = std::min(m_fadeOut, m_length);
    updateFadeCurves();
    updateTicksFromFrames();
}

void Clip::setOffset(uint32_t frames)
{
    m_offset = frames;
    updateTicksFromFrames();
}

void Clip::setFadeIn(uint32_t frames, int shape)
{
    m_fadeIn = std::min(frames, m_length);
    m_fadeInShape = shape;
    updateFadeCurves();
    updateTicksFromFrames();
}

void Clip::setFadeOut(uint32_t frames, int shape)
{
    m_fadeOut = std::min(frames, m_length);
    m_fadeOutShape = shape;
    updateFadeCurves();
    updateTicksFromFrames();
}

void Clip::updateTicksFromFrames()
{
    Session* s = session();
    if (!s)
        return;
    TimeScale& scale = s->scale();
    m_startTick = scale.frameToTick(m_start);
    const uint32_t endTick = scale.frameToTick(m_start + m_length);
    m_lengthTick = endTick - m_startTick;
    m_offsetTick = m_offset < m_start ? m_startTick - scale.frameToTick(m_start - m_offset)
                                      : scale.frameToTick(m_offset);
    m_fadeInTick = scale.frameToTick(m_start + m_fadeIn) - m_startTick;
    m_fadeOutTick = endTick - scale.frameToTick(m_start + m_length - m_fadeOut);
}

void Clip::updateFramesFromTicks()
{
    Session* s = session();
    if (!s)
        return;
    TimeScale& scale = s->scale();
    m_start = scale.tickToFrame(m_startTick);
    const uint32_t endTick = m_startTick + m_lengthTick;
    const uint32_t end = scale.tickToFrame(endTick);
    m_length = end - m_start;
    m_offset = m_offsetTick <= m_startTick
                   ? m_start - scale.tickToFrame(m_startTick - m_offsetTick)
                   : scale.tickToFrame(m_offsetTick);
    m_fadeIn = std::min(scale.tickToFrame(m_startTick + m_fadeInTick) - m_start, m_length);
    m_fadeOut = std::min(end - scale.tickToFrame(endTick - m_fadeOutTick), m_length);
    updateFadeCurves();
}

// A curve (a·x + b)^p stored as its polynomial coefficients c3, c2, c1, c0.
static std::array<float, 4> fadeCurve(int shape, long double a, long double b)
{
    switch (shape) {
    case Clip::Linear:
        return {0.0f, 0.0f, float(a), float(b)};
    case Clip::Cubic:
        return {float(a * a * a), float(3 * a * a * b), float(3 * a * b * b), float(b * b * b)};
    default: // quadratic
        return {0.0f, float(a * a), float(2 * a * b), float(b * b)};
    }
}

static float evaluate(const std::array<float, 4>& c, uint32_t x)
{
    const long double v = x;
    return float(((c[0] * v + c[1]) * v + c[2]) * v + c[3]);
}

void Clip::updateFadeCurves()
{
    m_fadeInCurve = m_fadeIn > 0 ? fadeCurve(m_fadeInShape, 1.0L / m_fadeIn, 0.0L)
                                 : std::array<float, 4>{};
    m_fadeOutCurve = m_fadeOut > 0 ? fadeCurve(m_fadeOutShape, -1.0L / m_fadeOut,
                                               (long double)m_length / m_fadeOut)
                                   : std::array<float, 4>{};
}

float Clip::gainAt(uint32_t x) const
{
    if (x >= m_length)
        return 0.0f;
    float g = m_gain;
    if (m_fadeIn > 0 && x < m_fadeIn)
        g *= evaluate(m_fadeInCurve, x);
    if (m_fadeOut > 0 && x > m_length - m_fadeOut)
        g *= evaluate(m_fadeOutCurve, x);
    return g;
}

void Clip::updateLoopWindow(uint32_t loopIn, uint32_t loopOut)
{
    const uint64_t clipEnd = uint64_t(m_start) + m_length;
    if (loopIn >= loopOut || loopOut <= m_start || loopIn >= clipEnd) {
        m_windowIn = m_windowOut = 0;
    } else {
        m_windowIn = std::max(loopIn, m_start) - m_start;
        m_windowOut = uint32_t(std::min<uint64_t>(loopOut, clipEnd) - m_start);
    }
    setLoopWindow(m_windowIn, m_windowOut);
}

void Clip::setSelection(uint32_t in, uint32_t out)
{
    m_selectionIn = in;
    m_selectionOut = out;
}

void Clip::setFilePath(const QString& path)
{
    m_filePath = path.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QString Clip::toolTip() const
{
    Session* s = session();
    QString start, end, offset, length;
    if (s) {
        TimeScale& scale = s->scale();
        start = scale.format(m_start);
        end = scale.format(m_start + m_length);
        offset = scale.format(m_start, true, m_offset);
        length = scale.format(m_start, true, m_length);
    } else {
        start = QString::number(m_start);
        end = QString::number(m_start + m_length);
        offset = QString::number(m_offset);
        length = QString::number(m_length);
    }
    return QObject::tr("Name:\t%1").arg(m_name) + QLatin1Char('\n') +
           QObject::tr("Start/End:\t%1 / %2\nOffs/Length:\t%3 / %4")
               .arg(start, end, offset, length) +
           QLatin1Char('\n') + QObject::tr("File:\t%1").arg(QFileInfo(m_filePath).fileName());
}
