#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class TimeScale;

/**
 * MidiTempoMap: the tempo and meter nodes that travel with a MIDI file.
 *
 * Node times are ticks at the map's resolution (the file's division). A node always starts a
 * bar: a new node is moved back to the start of the bar it falls in, and after a change every
 * later node keeps its bar while its time is computed again (the same rules as the session's
 * time scale, counted in ticks). A new map holds one node: time 0, 120 quarter notes per minute,
 * 4/4. GUI thread only.
 */
class MidiTempoMap
{
public:
    struct Node
    {
        uint32_t time = 0;
        uint16_t bar = 0;
        float tempo = 120.0f; // quarter notes per minute
        uint16_t numerator = 4;
        uint16_t exponent = 2; // meter denominator as a power of two
        uint16_t ticksPerMeterBeat = 0;

        bool hasValues(float t, uint16_t n, uint16_t e) const
        {
            return tempo == t && numerator == n && exponent == e;
        }
    };

    explicit MidiTempoMap(uint16_t division = 960);

    uint16_t division() const { return m_division; }
    const std::vector<Node>& nodes() const { return m_nodes; }
    bool isEmpty() const { return m_nodes.empty(); }

    /** One default node. */
    void reset();
    /** No node at all (fromScale fills it again). */
    void clear() { m_nodes.clear(); }
    /** The last node whose time is <= time; none when the map is empty. */
    const Node* find(uint32_t time) const;
    /** Adds or changes the node of the bar that time falls in. */
    void set(uint32_t time, float tempo, uint16_t numerator, uint16_t exponent);

    /** Replaces the session scale's nodes by this map's, the map starting at startTick. */
    void toScale(TimeScale& scale, uint32_t startTick) const;
    /** Fills the map from the scale's nodes from the one governing startTick on. */
    void fromScale(TimeScale& scale, uint32_t startTick);

private:
    uint16_t meterBeatTicks(uint16_t exponent) const;
    uint64_t barTicks(const Node& node) const;
    int indexAt(uint32_t time) const;
    void recomputeFrom(size_t index);

    uint16_t m_division;
    std::vector<Node> m_nodes;
};
