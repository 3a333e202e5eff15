#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

class TimeScale;

/**
 * TempoNode: one tempo and meter node of the time scale.
 *
 * Nodes form an intrusive doubly linked list ordered by frame. A node whose bar is greater than
 * its predecessor's is anchored to that bar: tempo changes earlier in the song move it in frames
 * but keep it on its bar.
 */
struct TempoNode
{
    TempoNode* prev = nullptr;
    TempoNode* next = nullptr;
    uint32_t frame = 0;
    uint16_t bar = 0;
    uint32_t beat = 0; // meter beats from the session start
    uint32_t tick = 0;
    uint32_t pixel = 0;
    float tempo = 120.0f;   // beats per minute, counted in tempoUnit notes
    uint16_t tempoUnit = 2; // note value of a tempo beat, power-of-two exponent (2 = quarter)
    uint16_t beatsPerBar = 4;
    uint16_t beatUnit = 2; // meter denominator, power-of-two exponent
    uint16_t ticksPerMeterBeat = 960;
    TimeScale* scale = nullptr;
    float ticksPerMinute = 0.0f;
    float meterBeatsPerMinute = 0.0f;

    /** True when tempo and meter equal the given values exactly. */
    bool hasValues(float tempo, uint16_t tempoUnit, uint16_t beatsPerBar, uint16_t beatUnit) const;
};

/**
 * TimeScaleCursor: node lookups and conversions that remember the last node found.
 *
 * A lookup starts from the remembered node and walks forward or backward, so positions that move
 * forward in time cost a few comparisons. A cursor is not shared between threads: code that
 * converts positions off the user-interface thread keeps its own cursor over the scale's nodes.
 * The scale must not change while another thread converts through a cursor (the edit lock of the
 * session guarantees that for the engines).
 *
 * Validity: the scale counts every change of its node list (a node linked, unlinked, recycled or
 * the list cleared) in a generation number. Each lookup compares the cursor's copy of that number
 * with the scale's (one comparison) and, when they differ or nothing is remembered, starts again
 * from the first node. A cursor therefore never walks from a node that was removed or recycled,
 * however long it was kept. Node storage is never freed before the scale is destroyed, so a cursor
 * must not outlive its scale. With no node, lookups return none and the conversions fall back as
 * described for each of them (tick/frame/pixel conversions return their input, meter beats 0).
 */
class TimeScaleCursor
{
public:
    explicit TimeScaleCursor(const TimeScale& scale);

    /** The last node whose value is <= the argument; none only when the scale has no node. */
    TempoNode* nodeAtFrame(uint32_t frame);
    TempoNode* nodeAtTick(uint32_t tick);
    TempoNode* nodeAtPixel(uint32_t pixel);
    TempoNode* nodeAtMeterBeat(uint32_t beat);
    TempoNode* nodeAtBar(uint16_t bar);

    uint32_t frameToTick(uint32_t frame);
    uint32_t tickToFrame(uint32_t tick);
    uint32_t frameToPixel(uint32_t frame) const;
    uint32_t pixelToFrame(uint32_t pixel) const;
    uint32_t tickToPixel(uint32_t tick);
    uint32_t pixelToTick(uint32_t pixel);
    uint32_t frameToMeterBeat(uint32_t frame);
    uint32_t meterBeatToFrame(uint32_t beat);
    /** Sixteenth steps (ticksPerBeat / 4 ticks each), used by song making. */
    uint32_t frameToSteps(uint32_t frame);
    uint32_t stepsToFrame(uint32_t steps);

    uint32_t snapTick(uint32_t tick);
    uint32_t snapFrame(uint32_t frame);
    uint32_t snapPixel(uint32_t pixel);

    /** Forgets the remembered node (after the node list changed). */
    void reset();

private:
    /** The remembered node, or the first node when nothing valid is remembered. */
    TempoNode* start();

    const TimeScale* m_scale;
    TempoNode* m_node = nullptr;
    uint32_t m_generation = 0; // scale generation m_node belongs to
};

/**
 * TimeScale: the session's time scale.
 *
 * Maps between sample frames, ticks, meter beats and bars, and pixels through an ordered list of
 * tempo and meter nodes; snaps positions to the grid; formats and parses the three time texts
 * (clock time, bars.beats.ticks, raw frames). GUI thread only, except through a TimeScaleCursor of
 * the calling thread's own.
 *
 * Guards against values no song should hold (none of them changes a valid song's results):
 * - A node tempo that is not a number >= 1 bpm (0, negative, NaN) computes the node's rates as
 *   1 bpm, one above 1e6 as 1e6; the node keeps the tempo it was given (hasValues sees it).
 * - beatsPerBar 0 counts as 1 in every computation; ticksPerMeterBeat saturates at 65535 and a
 *   shift of 16 or more to the right gives 0.
 * - A snap grid of 0 ticks (ticksPerMeterBeat < snapPerBeat) leaves the position unchanged, as
 *   snapPerBeat 0 does; a ticksPerMeterBeat of 0 in bars.beats.ticks shows every tick as ticks.
 * - setSampleRate, setTicksPerBeat, setPixelsPerBeat and setTimeZoom raise 0 to 1.
 * - Every float-to-position conversion rounds half away from zero and wraps modulo 2^32; a result
 *   that is not finite (a division by a zero rate) becomes 0.
 */
class TimeScale
{
public:
    enum TimeFormat { Frames = 0, Clock = 1, BarsBeatsTicks = 2 };

    TimeScale();
    ~TimeScale();
    TimeScale(const TimeScale&) = delete;
    TimeScale& operator=(const TimeScale&) = delete;

    /** One default node (120 bpm quarter, 4/4 at frame 0), then recompute. */
    void reset();
    /** Copies the settings and every node's frame, tempo and meter; then recomputes. */
    void copyFrom(const TimeScale& other);

    /**
     * Adds or changes a tempo and meter node at the bar line nearest to frame.
     * Returns the node that now carries the values.
     */
    TempoNode* setNode(uint32_t frame, float tempo, uint16_t tempoUnit, uint16_t beatsPerBar,
                       uint16_t beatUnit);
    /**
     * Removes a node other than the first; later nodes keep their bars. The first node, none and a
     * node that is not in this scale's list are refused (nothing happens).
     */
    void removeNode(TempoNode* node);

    /** Derived values of every node, then their positions. */
    void recompute();
    /** Rates of node, then the positions of node and every later node. */
    void recomputeFrom(TempoNode* node);

    TempoNode* firstNode() const { return m_first; }
    TempoNode* lastNode() const { return m_last; }
    int nodeCount() const { return m_count; }

    // Lookups and conversions through the scale's own cursor (GUI thread).
    TempoNode* nodeAtFrame(uint32_t frame) { return m_cursor.nodeAtFrame(frame); }
    TempoNode* nodeAtTick(uint32_t tick) { return m_cursor.nodeAtTick(tick); }
    TempoNode* nodeAtPixel(uint32_t pixel) { return m_cursor.nodeAtPixel(pixel); }
    TempoNode* nodeAtMeterBeat(uint32_t beat) { return m_cursor.nodeAtMeterBeat(beat); }
    TempoNode* nodeAtBar(uint16_t bar) { return m_cursor.nodeAtBar(bar); }
    uint32_t frameToTick(uint32_t frame) { return m_cursor.frameToTick(frame); }
    uint32_t tickToFrame(uint32_t tick) { return m_cursor.tickToFrame(tick); }
    uint32_t frameToPixel(uint32_t frame) const { return m_cursor.frameToPixel(frame); }
    uint32_t pixelToFrame(uint32_t pixel) const { return m_cursor.pixelToFrame(pixel); }
    uint32_t tickToPixel(uint32_t tick) { return m_cursor.tickToPixel(tick); }
    uint32_t pixelToTick(uint32_t pixel) { return m_cursor.pixelToTick(pixel); }
    uint32_t frameToMeterBeat(uint32_t frame) { return m_cursor.frameToMeterBeat(frame); }
    uint32_t meterBeatToFrame(uint32_t beat) { return m_cursor.meterBeatToFrame(beat); }
    uint32_t frameToSteps(uint32_t frame) { return m_cursor.frameToSteps(frame); }
    uint32_t stepsToFrame(uint32_t steps) { return m_cursor.stepsToFrame(steps); }
    uint32_t snapFrame(uint32_t frame) { return m_cursor.snapFrame(frame); }
    uint32_t snapPixel(uint32_t pixel) { return m_cursor.snapPixel(pixel); }
    uint32_t snapTick(uint32_t tick) { return m_cursor.snapTick(tick); }

    /** The position (or the length starting at position) as text in the current time format. */
    QString format(uint32_t position, bool isLength = false, uint32_t length = 0);
    /** Text in the current time format to frames; never fails (unreadable parts read as 0). */
    uint32_t parse(const QString& text, bool isLength = false, uint32_t start = 0);
    uint32_t parseTicks(const QString& text, bool isLength = false, uint32_t startTick = 0);

    // Snap table: index as stored by the "Snap/beat" selector <-> divisions per meter beat.
    static int snapCount();                  // 14
    static uint16_t snapValue(int index);    // out-of-range index -> 0
    static int snapIndex(uint16_t value);    // value not in the table -> 0
    static QStringList snapNames();          // "None", "Beat", "Beat/2", ... "Beat/96"

    // Settings. A change of sampleRate, ticksPerBeat, pixelsPerBeat or timeZoom recomputes.
    uint16_t snapPerBeat() const { return m_snapPerBeat; }
    void setSnapPerBeat(uint16_t value) { m_snapPerBeat = value; }
    uint16_t timeZoom() const { return m_timeZoom; }
    void setTimeZoom(uint16_t percent);
    uint16_t heightZoom() const { return m_heightZoom; }
    void setHeightZoom(uint16_t percent) { m_heightZoom = percent; }
    int timeFormat() const { return m_timeFormat; }
    void setTimeFormat(int format) { m_timeFormat = format; }
    uint32_t sampleRate() const { return m_sampleRate; }
    void setSampleRate(uint32_t rate);
    uint16_t ticksPerBeat() const { return m_ticksPerBeat; }
    void setTicksPerBeat(uint16_t ticks);
    uint16_t pixelsPerBeat() const { return m_pixelsPerBeat; }
    void setPixelsPerBeat(uint16_t pixels);
    float pixelsPerMinute() const { return m_pixelsPerMinute; }
    float framesPerMinute() const { return m_framesPerMinute; }

private:
    friend class TimeScaleCursor;

    TempoNode* allocateNode();
    void releaseNode(TempoNode* node);
    void clearNodes();
    void linkAfter(TempoNode* node, TempoNode* after);
    void unlink(TempoNode* node);
    void updateRates(TempoNode* node) const;
    void updatePosition(TempoNode* node) const;
    QString formatClock(uint32_t value) const;
    QString formatBarsBeatsTicks(uint32_t position, bool isLength, uint32_t length);
    uint32_t parseClock(const QString& text) const;
    uint32_t parseBarsBeatsTicks(const QString& text, bool isLength, uint32_t start);

    uint16_t m_snapPerBeat = 4;
    uint16_t m_timeZoom = 100;
    uint16_t m_heightZoom = 100;
    int m_timeFormat = Clock;
    uint32_t m_sampleRate = 44100;
    uint16_t m_ticksPerBeat = 960;
    uint16_t m_pixelsPerBeat = 32;
    TempoNode* m_first = nullptr;
    TempoNode* m_last = nullptr;
    int m_count = 0;
    TempoNode* m_free = nullptr; // recycled node storage, linked through next
    TimeScaleCursor m_cursor{*this};
    float m_pixelsPerMinute = 0.0f;
    float m_framesPerMinute = 0.0f;
    uint32_t m_generation =
        1; // changes whenever a node joins or leaves the list (see TimeScaleCursor)
};
