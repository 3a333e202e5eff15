#include "midi_tempo_map.h"

#include "time_scale.h"

#include <algorithm>
#include <cmath>

MidiTempoMap::MidiTempoMap(uint16_t division) : m_division(division ? division : 1)
{
    reset();
}

void MidiTempoMap::reset()
{
    m_nodes.assign(1, Node{});
    m_nodes.front().ticksPerMeterBeat = meterBeatTicks(2);
}

uint16_t MidiTempoMap::meterBeatTicks(uint16_t exponent) const
{
    if (exponent >= 2) {
        const int shift = exponent - 2;
        return shift >= 16 ? 0 : uint16_t(m_division >> shift);
    }
    const uint32_t ticks = uint32_t(m_division) << (2 - exponent);
    return uint16_t(std::min<uint32_t>(ticks, 65535));
}

// A numerator of 0 counts as 1, as in the session's time scale; 0 means "no bars" (no moves).
uint64_t MidiTempoMap::barTicks(const Node& node) const
{
    return uint64_t(std::max<uint16_t>(node.numerator, 1)) * node.ticksPerMeterBeat;
}

int MidiTempoMap::indexAt(uint32_t time) const
{
    // upper_bound: the first node after time; the one before it governs.
    auto it = std::upper_bound(m_nodes.begin(), m_nodes.end(), time,
                               [](uint32_t t, const Node& n) { return t < n.time; });
    return int(it - m_nodes.begin()) - 1;
}

const MidiTempoMap::Node* MidiTempoMap::find(uint32_t time) const
{
    const int index = indexAt(time);
    return index >= 0 ? &m_nodes[size_t(index)] : nullptr;
}

void MidiTempoMap::set(uint32_t time, float tempo, uint16_t numerator, uint16_t exponent)
{
    // Integer division: the node moves back to the start of its bar, never forward.
    if (const Node* q = find(time)) {
        if (const uint64_t bar = barTicks(*q))
            time = uint32_t(q->time + (time - q->time) / bar * bar);
    }
    const int r = indexAt(time);
    if (r >= 0 && m_nodes[size_t(r)].time == time) {
        Node& node = m_nodes[size_t(r)];
        node.tempo = tempo;
        node.numerator = numerator;
        node.exponent = exponent;
        recomputeFrom(size_t(r));
        return;
    }
    if (r >= 0 && m_nodes[size_t(r)].hasValues(tempo, numerator, exponent))
        return;
    const size_t next = size_t(r + 1);
    if (next < m_nodes.size() && m_nodes[next].hasValues(tempo, numerator, exponent)) {
        m_nodes[next].time = time;
        m_nodes[next].bar = 0; // derived again from the time
        recomputeFrom(next);
        return;
    }
    Node node;
    node.time = time;
    node.tempo = tempo;
    node.numerator = numerator;
    node.exponent = exponent;
    m_nodes.insert(m_nodes.begin() + std::ptrdiff_t(next), node);
    recomputeFrom(next);
}

void MidiTempoMap::recomputeFrom(size_t index)
{
    for (size_t k = index; k < m_nodes.size(); ++k) {
        Node& node = m_nodes[k];
        node.ticksPerMeterBeat = meterBeatTicks(node.exponent);
        if (k == 0) {
            node.bar = 0;
            continue;
        }
        const Node& p = m_nodes[k - 1];
        const uint64_t bar = barTicks(p);
        if (node.bar > p.bar) {
            const uint64_t time = p.time + bar * (node.bar - p.bar);
            node.time = uint32_t(std::min<uint64_t>(time, UINT32_MAX));
        } else {
            const uint64_t bars = bar && node.time > p.time ? (node.time - p.time) / bar : 0;
            node.bar = uint16_t(std::min<uint64_t>(p.bar + bars, 65535));
        }
    }
}

void MidiTempoMap::toScale(TimeScale& scale, uint32_t startTick) const
{
    scale.reset();
    for (const Node& node : m_nodes) {
        const uint64_t tick =
            uint64_t(scale.ticksPerBeat()) * (uint64_t(startTick) + node.time) / m_division;
        const uint32_t frame = scale.tickToFrame(uint32_t(std::min<uint64_t>(tick, UINT32_MAX)));
        scale.setNode(frame, node.tempo, 2, node.numerator, node.exponent);
    }
}

void MidiTempoMap::fromScale(TimeScale& scale, uint32_t startTick)
{
    clear();
    const uint16_t ticksPerBeat = std::max<uint16_t>(scale.ticksPerBeat(), 1);
    TempoNode* node = scale.nodeAtTick(startTick);
    for (; node; node = node->next) {
        const uint64_t ticks = node->tick > startTick ? node->tick - startTick : 0;
        const uint64_t time = ticks * m_division / ticksPerBeat;
        // The scale counts its tempo in tempoUnit notes; the file counts quarter notes.
        const float quarters = std::ldexp(node->tempo, 2 - int(node->tempoUnit));
        set(uint32_t(std::min<uint64_t>(time, UINT32_MAX)), quarters, node->beatsPerBar,
            node->beatUnit);
    }
    if (m_nodes.empty())
        reset();
}
