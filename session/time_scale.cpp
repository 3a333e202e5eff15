#include "time_scale.h"

#include "rounding.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace {

constexpr float kMinTempo = 1.0f;   // guard: rates of a tempo below this (0, NaN) use it
constexpr float kMaxTempo = 1.0e6f; // guard: rates of a larger (or infinite) tempo use it
constexpr long double kWrap = 4294967296.0L;

const uint16_t kSnapValues[] = {0, 1, 2, 3, 4, 6, 8, 12, 16, 24, 32, 48, 64, 96};
constexpr int kSnapCount = int(sizeof(kSnapValues) / sizeof(kSnapValues[0]));

/**
 * Rounds half away from zero to an unsigned 32-bit position, wrapping modulo 2^32. Values too
 * large for roundHalfAway are reduced modulo 2^32 first (exactly); NaN and infinities give 0.
 */
uint32_t toPosition(long double value)
{
    if (!(std::fabs(value) < 9.0e18L)) {
        if (!std::isfinite(value))
            return 0;
        value = std::fmod(value, kWrap);
    }
    return roundToU32(value);
}

/** The tempo a node's rates are computed from (see the guards in time_scale.h). */
float rateTempo(float tempo)
{
    if (!(tempo >= kMinTempo))
        return kMinTempo;
    if (!(tempo <= kMaxTempo))
        return kMaxTempo;
    return tempo;
}

/** beatsPerBar as used in arithmetic: 0 counts as 1. */
long double barBeats(const TempoNode* node)
{
    return node->beatsPerBar ? node->beatsPerBar : 1;
}

/** Unsigned number of a text section; values outside 32 bits (and negative ones) wrap. */
uint32_t toUnsigned(const QString& text)
{
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (ok)
        return uint32_t(uint64_t(value));
    const qulonglong big = text.toULongLong(&ok);
    return ok ? uint32_t(big) : 0u;
}

/**
 * The last node at or before start (by value) on the way from start, walking forward while the
 * next node's value is <= value, or backward while the node's own value is > value. The first node
 * is returned when every node lies after value.
 */
template <typename T> TempoNode* walkTo(TempoNode* node, T TempoNode::*field, T value)
{
    if (node->*field <= value) {
        while (node->next && node->next->*field <= value)
            node = node->next;
    } else {
        while (node->prev && node->*field > value)
            node = node->prev;
    }
    return node;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TempoNode

bool TempoNode::hasValues(float t, uint16_t u, uint16_t b, uint16_t d) const
{
    return tempo == t && tempoUnit == u && beatsPerBar == b && beatUnit == d;
}

// ---------------------------------------------------------------------------------------------
// TimeScaleCursor

TimeScaleCursor::TimeScaleCursor(const TimeScale& scale) : m_scale(&scale) {}

void TimeScaleCursor::reset()
{
    m_node = nullptr;
}

TempoNode* TimeScaleCursor::start()
{
    if (!m_node || m_generation != m_scale->m_generation) {
        m_node = m_scale->m_first;
        m_generation = m_scale->m_generation;
    }
    return m_node;
}

TempoNode* TimeScaleCursor::nodeAtFrame(uint32_t frame)
{
    TempoNode* node = start();
    return node ? (m_node = walkTo(node, &TempoNode::frame, frame)) : nullptr;
}

TempoNode* TimeScaleCursor::nodeAtTick(uint32_t tick)
{
    TempoNode* node = start();
    return node ? (m_node = walkTo(node, &TempoNode::tick, tick)) : nullptr;
}

TempoNode* TimeScaleCursor::nodeAtPixel(uint32_t pixel)
{
    TempoNode* node = start();
    return node ? (m_node = walkTo(node, &TempoNode::pixel, pixel)) : nullptr;
}

TempoNode* TimeScaleCursor::nodeAtMeterBeat(uint32_t beat)
{
    TempoNode* node = start();
    return node ? (m_node = walkTo(node, &TempoNode::beat, beat)) : nullptr;
}

TempoNode* TimeScaleCursor::nodeAtBar(uint16_t bar)
{
    TempoNode* node = start();
    return node ? (m_node = walkTo(node, &TempoNode::bar, bar)) : nullptr;
}

uint32_t TimeScaleCursor::frameToTick(uint32_t frame)
{
    const TempoNode* n = nodeAtFrame(frame);
    if (!n)
        return frame;
    return n->tick + toPosition((static_cast<long double>(frame) - n->frame) * n->ticksPerMinute /
                                m_scale->m_framesPerMinute);
}

uint32_t TimeScaleCursor::tickToFrame(uint32_t tick)
{
    const TempoNode* n = nodeAtTick(tick);
    if (!n)
        return tick;
    return n->frame + toPosition((static_cast<long double>(tick) - n->tick) *
                                 m_scale->m_framesPerMinute / n->ticksPerMinute);
}

uint32_t TimeScaleCursor::frameToPixel(uint32_t frame) const
{
    return toPosition(static_cast<long double>(frame) * m_scale->m_pixelsPerMinute /
                      m_scale->m_framesPerMinute);
}

uint32_t TimeScaleCursor::pixelToFrame(uint32_t pixel) const
{
    return toPosition(static_cast<long double>(pixel) * m_scale->m_framesPerMinute /
                      m_scale->m_pixelsPerMinute);
}

uint32_t TimeScaleCursor::tickToPixel(uint32_t tick)
{
    const TempoNode* n = nodeAtTick(tick);
    if (!n)
        return tick;
    return n->pixel + toPosition((static_cast<long double>(tick) - n->tick) *
                                 m_scale->m_pixelsPerMinute / n->ticksPerMinute);
}

uint32_t TimeScaleCursor::pixelToTick(uint32_t pixel)
{
    const TempoNode* n = nodeAtPixel(pixel);
    if (!n)
        return pixel;
    return n->tick + toPosition((static_cast<long double>(pixel) - n->pixel) * n->ticksPerMinute /
                                m_scale->m_pixelsPerMinute);
}

uint32_t TimeScaleCursor::frameToMeterBeat(uint32_t frame)
{
    const TempoNode* n = nodeAtFrame(frame);
    if (!n)
        return 0;
    return n->beat + toPosition((static_cast<long double>(frame) - n->frame) *
                                n->meterBeatsPerMinute / m_scale->m_framesPerMinute);
}

uint32_t TimeScaleCursor::meterBeatToFrame(uint32_t beat)
{
    const TempoNode* n = nodeAtMeterBeat(beat);
    if (!n)
        return 0;
    return n->frame + toPosition((static_cast<long double>(beat) - n->beat) *
                                 m_scale->m_framesPerMinute / n->meterBeatsPerMinute);
}

uint32_t TimeScaleCursor::frameToSteps(uint32_t frame)
{
    return uint32_t(uint64_t(frameToTick(frame)) * 4u / m_scale->m_ticksPerBeat);
}

uint32_t TimeScaleCursor::stepsToFrame(uint32_t steps)
{
    return tickToFrame(uint32_t(uint16_t(steps)) * m_scale->m_ticksPerBeat / 4u);
}

namespace {

/** Grid of n in ticks: ticksPerMeterBeat / snapPerBeat; 0 = no snap (also the guarded 0 grid). */
uint16_t gridOf(const TempoNode* n, uint16_t snapPerBeat)
{
    return snapPerBeat ? uint16_t(n->ticksPerMeterBeat / snapPerBeat) : uint16_t(0);
}

/** Snaps tick to the grid measured from n.tick (grid > 0). */
uint32_t snapToGrid(const TempoNode* n, uint16_t grid, uint32_t tick)
{
    return n->tick + grid * ((tick - n->tick + (grid >> 1)) / grid);
}

} // namespace

// A grid of 0 ticks (snapPerBeat 0, or ticksPerMeterBeat < snapPerBeat) returns the input
// unchanged: snapFrame and snapPixel do not even round-trip through ticks then.

uint32_t TimeScaleCursor::snapTick(uint32_t tick)
{
    if (m_scale->m_snapPerBeat == 0)
        return tick;
    const TempoNode* n = nodeAtTick(tick);
    const uint16_t grid = n ? gridOf(n, m_scale->m_snapPerBeat) : uint16_t(0);
    return grid ? snapToGrid(n, grid, tick) : tick;
}

uint32_t TimeScaleCursor::snapFrame(uint32_t frame)
{
    if (m_scale->m_snapPerBeat == 0)
        return frame;
    const TempoNode* n = nodeAtFrame(frame);
    const uint16_t grid = n ? gridOf(n, m_scale->m_snapPerBeat) : uint16_t(0);
    if (!grid)
        return frame;
    const long double f = m_scale->m_framesPerMinute;
    const uint32_t tick =
        n->tick + toPosition((static_cast<long double>(frame) - n->frame) * n->ticksPerMinute / f);
    const uint32_t snapped = snapToGrid(n, grid, tick);
    return n->frame +
           toPosition((static_cast<long double>(snapped) - n->tick) * f / n->ticksPerMinute);
}

uint32_t TimeScaleCursor::snapPixel(uint32_t pixel)
{
    if (m_scale->m_snapPerBeat == 0)
        return pixel;
    const TempoNode* n = nodeAtPixel(pixel);
    const uint16_t grid = n ? gridOf(n, m_scale->m_snapPerBeat) : uint16_t(0);
    if (!grid)
        return pixel;
    const long double p = m_scale->m_pixelsPerMinute;
    const uint32_t tick =
        n->tick + toPosition((static_cast<long double>(pixel) - n->pixel) * n->ticksPerMinute / p);
    const uint32_t snapped = snapToGrid(n, grid, tick);
    return n->pixel +
           toPosition((static_cast<long double>(snapped) - n->tick) * p / n->ticksPerMinute);
}

// ---------------------------------------------------------------------------------------------
// TimeScale: nodes

TimeScale::TimeScale()
{
    reset();
}

TimeScale::~TimeScale()
{
    clearNodes();
    while (m_free) {
        TempoNode* next = m_free->next;
        delete m_free;
        m_free = next;
    }
}

TempoNode* TimeScale::allocateNode()
{
    TempoNode* node = m_free;
    if (node) {
        m_free = node->next;
        *node = TempoNode{};
    } else {
        node = new TempoNode;
    }
    node->scale = this;
    return node;
}

void TimeScale::releaseNode(TempoNode* node)
{
    *node = TempoNode{};
    node->scale = nullptr; // marks the storage as not in any list (removeNode refuses it)
    node->next = m_free;
    m_free = node;
}

void TimeScale::clearNodes()
{
    TempoNode* node = m_first;
    while (node) {
        TempoNode* next = node->next;
        releaseNode(node);
        node = next;
    }
    m_first = m_last = nullptr;
    m_count = 0;
    ++m_generation;
    m_cursor.reset();
}

void TimeScale::linkAfter(TempoNode* node, TempoNode* after)
{
    node->prev = after;
    node->next = after ? after->next : m_first;
    if (node->next)
        node->next->prev = node;
    else
        m_last = node;
    if (after)
        after->next = node;
    else
        m_first = node;
    ++m_count;
    ++m_generation;
    m_cursor.reset();
}

void TimeScale::unlink(TempoNode* node)
{
    if (node->prev)
        node->prev->next = node->next;
    else
        m_first = node->next;
    if (node->next)
        node->next->prev = node->prev;
    else
        m_last = node->prev;
    node->prev = node->next = nullptr;
    --m_count;
    ++m_generation;
    m_cursor.reset();
}

void TimeScale::reset()
{
    clearNodes();
    linkAfter(allocateNode(), nullptr); // the default values of TempoNode: 120 bpm quarter, 4/4
    recompute();
}

void TimeScale::copyFrom(const TimeScale& other)
{
    if (&other == this)
        return;
    m_snapPerBeat = other.m_snapPerBeat;
    m_timeZoom = other.m_timeZoom;
    m_heightZoom = other.m_heightZoom;
    m_timeFormat = other.m_timeFormat;
    m_sampleRate = other.m_sampleRate;
    m_ticksPerBeat = other.m_ticksPerBeat;
    m_pixelsPerBeat = other.m_pixelsPerBeat;
    clearNodes();
    for (const TempoNode* from = other.m_first; from; from = from->next) {
        TempoNode* node = allocateNode();
        node->frame = from->frame;
        node->tempo = from->tempo;
        node->tempoUnit = from->tempoUnit;
        node->beatsPerBar = from->beatsPerBar;
        node->beatUnit = from->beatUnit;
        linkAfter(node, m_last);
    }
    recompute();
}

void TimeScale::updateRates(TempoNode* n) const
{
    const float tempo = rateTempo(n->tempo);
    n->scale = const_cast<TimeScale*>(this);
    n->ticksPerMinute = tempo * float(m_ticksPerBeat);
    uint32_t ticks = m_ticksPerBeat;
    float beatsPerMinute = tempo;
    if (n->beatUnit > n->tempoUnit) {
        const int k = n->beatUnit - n->tempoUnit;
        ticks = k >= 16 ? 0u : ticks >> k;
        beatsPerMinute = std::ldexp(tempo, std::min(k, 1024));
    } else if (n->beatUnit < n->tempoUnit) {
        const int k = n->tempoUnit - n->beatUnit;
        ticks = k >= 16 ? 65535u : std::min<uint32_t>(65535u, ticks << k);
        beatsPerMinute = std::ldexp(tempo, -std::min(k, 1024));
    }
    n->ticksPerMeterBeat = uint16_t(ticks);
    n->meterBeatsPerMinute = beatsPerMinute;
}

void TimeScale::updatePosition(TempoNode* n) const
{
    const TempoNode* p = n->prev;
    const long double f = m_framesPerMinute;
    if (!p) {
        n->frame = 0; // the first node keeps frame, bar, beat and tick 0
        n->bar = 0;
        n->beat = 0;
        n->tick = 0;
        n->pixel = 0;
        return;
    }
    if (n->bar > p->bar) {
        n->frame =
            p->frame + toPosition(barBeats(p) * f * (n->bar - p->bar) / p->meterBeatsPerMinute);
    } else {
        n->bar = uint16_t(p->bar + toPosition((static_cast<long double>(n->frame) - p->frame) *
                                              p->meterBeatsPerMinute / (barBeats(p) * f)));
    }
    const long double frames = static_cast<long double>(n->frame) - p->frame;
    n->beat = p->beat + toPosition(frames * p->meterBeatsPerMinute / f);
    n->tick = p->tick + toPosition(frames * p->ticksPerMinute / f);
    n->pixel = toPosition(static_cast<long double>(n->frame) * m_pixelsPerMinute / f);
}

void TimeScale::recompute()
{
    m_pixelsPerMinute = float(1.2 * m_pixelsPerBeat * m_timeZoom);
    m_framesPerMinute = float(m_sampleRate * 60.0);
    for (TempoNode* node = m_first; node; node = node->next) {
        updateRates(node);
        updatePosition(node);
    }
}

void TimeScale::recomputeFrom(TempoNode* node)
{
    if (!node)
        return;
    updateRates(node);
    for (; node; node = node->next)
        updatePosition(node);
}

TempoNode* TimeScale::setNode(uint32_t frame, float tempo, uint16_t tempoUnit, uint16_t beatsPerBar,
                              uint16_t beatUnit)
{
    const long double fpm = m_framesPerMinute;
    // 1. Move the frame to the nearest bar line of the governing node's meter.
    if (const TempoNode* q = nodeAtFrame(frame)) {
        const uint16_t bars = uint16_t(
            toPosition(q->meterBeatsPerMinute * (static_cast<long double>(frame) - q->frame) /
                       (barBeats(q) * fpm)));
        frame = q->frame + toPosition(barBeats(q) * fpm * bars / q->meterBeatsPerMinute);
    }
    // 2. A node on that frame takes the values.
    TempoNode* r = nodeAtFrame(frame);
    if (r && r->frame == frame) {
        r->tempo = tempo;
        r->tempoUnit = tempoUnit;
        r->beatsPerBar = beatsPerBar;
        r->beatUnit = beatUnit;
        recomputeFrom(r);
        return r;
    }
    // 3. The governing node has the values already.
    if (r && r->hasValues(tempo, tempoUnit, beatsPerBar, beatUnit))
        return r;
    // 4. The next node has them: move it here.
    if (r && r->next && r->next->hasValues(tempo, tempoUnit, beatsPerBar, beatUnit)) {
        TempoNode* next = r->next;
        next->frame = frame;
        next->bar = 0;
        recomputeFrom(next);
        return next;
    }
    // 5. A new node after r.
    TempoNode* node = allocateNode();
    node->frame = frame;
    node->bar = 0;
    node->tempo = tempo;
    node->tempoUnit = tempoUnit;
    node->beatsPerBar = beatsPerBar;
    node->beatUnit = beatUnit;
    linkAfter(node, r);
    recomputeFrom(node);
    return node;
}

void TimeScale::removeNode(TempoNode* node)
{
    if (!node || node == m_first || node->scale != this || !node->prev)
        return;
    TempoNode* next = node->next;
    // Unlinking first makes node's predecessor the predecessor of the followers, so their
    // positions are computed against it and anchored followers keep their bars.
    unlink(node);
    for (TempoNode* n = next; n; n = n->next)
        updatePosition(n);
    releaseNode(node);
}

// ---------------------------------------------------------------------------------------------
// TimeScale: settings

void TimeScale::setTimeZoom(uint16_t percent)
{
    m_timeZoom = std::max<uint16_t>(percent, 1);
    // Only the view's pixels change: the frames, ticks and rates the MIDI output thread reads
    // while playing are left alone.
    if (m_framesPerMinute <= 0.0f) {
        recompute();
        return;
    }
    m_pixelsPerMinute = float(1.2 * m_pixelsPerBeat * m_timeZoom);
    const long double f = m_framesPerMinute;
    for (TempoNode* n = m_first; n; n = n->next)
        n->pixel = toPosition(static_cast<long double>(n->frame) * m_pixelsPerMinute / f);
}

void TimeScale::setSampleRate(uint32_t rate)
{
    m_sampleRate = std::max<uint32_t>(rate, 1);
    recompute();
}

void TimeScale::setTicksPerBeat(uint16_t ticks)
{
    m_ticksPerBeat = std::max<uint16_t>(ticks, 1);
    recompute();
}

void TimeScale::setPixelsPerBeat(uint16_t pixels)
{
    m_pixelsPerBeat = std::max<uint16_t>(pixels, 1);
    recompute();
}

// ---------------------------------------------------------------------------------------------
// TimeScale: snap table

int TimeScale::snapCount()
{
    return kSnapCount;
}

uint16_t TimeScale::snapValue(int index)
{
    return index >= 0 && index < kSnapCount ? kSnapValues[index] : 0;
}

int TimeScale::snapIndex(uint16_t value)
{
    for (int i = 0; i < kSnapCount; ++i) {
        if (kSnapValues[i] == value)
            return i;
    }
    return 0;
}

QStringList TimeScale::snapNames()
{
    QStringList names;
    names << QCoreApplication::translate("TimeScale", "None");
    const QString beat = QCoreApplication::translate("TimeScale", "Beat");
    names << beat;
    for (int i = 2; i < kSnapCount; ++i)
        names << beat + QStringLiteral("/%1").arg(kSnapValues[i]);
    return names;
}

// ---------------------------------------------------------------------------------------------
// TimeScale: time texts

QString TimeScale::format(uint32_t position, bool isLength, uint32_t length)
{
    switch (m_timeFormat) {
    case Clock:
        return formatClock(isLength ? length : position);
    case BarsBeatsTicks:
        return formatBarsBeatsTicks(position, isLength, length);
    default:
        return QString::number(isLength ? length : position);
    }
}

QString TimeScale::formatClock(uint32_t value) const
{
    // Integer arithmetic gives exactly floor() of the seconds and truncate(fraction × 1000) of the
    // clock text, without the representation error of value / sampleRate in floating point (which
    // would turn 441 frames at 44100 Hz into 9 ms instead of 10).
    uint64_t seconds = value / m_sampleRate;
    const uint32_t ms = uint32_t(uint64_t(value % m_sampleRate) * 1000u / m_sampleRate);
    const uint32_t hours = uint32_t(seconds / 3600);
    seconds -= uint64_t(hours) * 3600;
    const uint32_t minutes = uint32_t(seconds / 60);
    seconds -= uint64_t(minutes) * 60;
    return QString::asprintf("%02u:%02u:%02u.%03u", hours, minutes, unsigned(seconds), ms);
}

QString TimeScale::formatBarsBeatsTicks(uint32_t position, bool isLength, uint32_t length)
{
    const TempoNode* n = nodeAtFrame(position);
    if (!n)
        return isLength ? QStringLiteral("0.00.000") : QStringLiteral("1.01.000");
    const long double rate = n->ticksPerMinute;
    const long double fpm = m_framesPerMinute;
    const long double from = static_cast<long double>(position) - n->frame;
    uint32_t ticks = toPosition(from * rate / fpm);
    if (isLength)
        ticks = toPosition((from + length) * rate / fpm) - ticks;
    uint32_t beats = 0;
    if (n->ticksPerMeterBeat && ticks >= n->ticksPerMeterBeat) {
        beats = ticks / n->ticksPerMeterBeat;
        ticks %= n->ticksPerMeterBeat;
    }
    const uint32_t perBar = n->beatsPerBar ? n->beatsPerBar : 1;
    uint32_t bars = beats / perBar;
    beats %= perBar;
    if (!isLength) {
        bars += n->bar + 1u;
        beats += 1;
    }
    return QString::asprintf("%u.%02u.%03lu", bars, beats, static_cast<unsigned long>(ticks));
}

uint32_t TimeScale::parse(const QString& text, bool isLength, uint32_t start)
{
    switch (m_timeFormat) {
    case Clock:
        return parseClock(text);
    case BarsBeatsTicks:
        return parseBarsBeatsTicks(text, isLength, start);
    default:
        return toUnsigned(text.trimmed());
    }
}

uint32_t TimeScale::parseClock(const QString& text) const
{
    const long double hours = toUnsigned(text.section(QLatin1Char(':'), 0, 0));
    const long double minutes = toUnsigned(text.section(QLatin1Char(':'), 1, 1));
    bool ok = false;
    float seconds = text.section(QLatin1Char(':'), 2).toFloat(&ok);
    if (!ok)
        seconds = 0.0f;
    return toPosition((seconds + (hours * 60 + minutes) * 60) * m_sampleRate);
}

uint32_t TimeScale::parseBarsBeatsTicks(const QString& text, bool isLength, uint32_t start)
{
    uint16_t bar = uint16_t(toUnsigned(text.section(QLatin1Char('.'), 0, 0)));
    uint32_t beat = toUnsigned(text.section(QLatin1Char('.'), 1, 1));
    const uint32_t tick = toUnsigned(text.section(QLatin1Char('.'), 2));
    if (!isLength) {
        if (bar > 0)
            --bar;
        if (beat > 0)
            --beat;
    } else if (const TempoNode* s = nodeAtFrame(start)) {
        bar = uint16_t(bar + s->bar);
    }
    const TempoNode* n = nodeAtBar(bar);
    if (!n)
        return start;
    const long double ticks =
        tick + (static_cast<long double>(bar - n->bar) * barBeats(n) + beat) * n->ticksPerMeterBeat;
    return n->frame + toPosition(ticks * m_framesPerMinute / n->ticksPerMinute);
}

uint32_t TimeScale::parseTicks(const QString& text, bool isLength, uint32_t startTick)
{
    const uint32_t start = isLength ? tickToFrame(startTick) : 0;
    return frameToTick(parse(text, isLength, start));
}
