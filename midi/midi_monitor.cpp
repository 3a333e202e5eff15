#include "midi_monitor.h"

#include "midi_engine.h"

#include <algorithm>

MidiMonitor::MidiMonitor(float gain, float panning) : Monitor(gain, panning) {}

void MidiMonitor::setTrack(MidiEngine* engine, Track* track)
{
    m_engine = engine;
    m_track = track;
}

void MidiMonitor::setGain(float gain)
{
    Monitor::setGain(gain);
    if (m_engine && m_track)
        m_engine->sendTrackVolume(m_track);
}

void MidiMonitor::setPanning(float panning)
{
    Monitor::setPanning(panning);
    if (m_engine && m_track)
        m_engine->sendTrackPan(m_track);
}

void MidiMonitor::raise(std::atomic<int>& peak, int value)
{
    int now = peak.load(std::memory_order_relaxed);
    while (value > now && !peak.compare_exchange_weak(now, value, std::memory_order_relaxed)) {
    }
}

void MidiMonitor::add(Slot& slot, int status, int velocity)
{
    if ((status & 0xF0) == 0x90)
        raise(slot.peak, velocity);
    slot.count.fetch_add(1, std::memory_order_relaxed);
}

uint32_t MidiMonitor::widthAt(uint32_t time) const
{
    // The width before the last tempo change still applies to events timed before it.
    const uint32_t width = time < m_changeTime.load(std::memory_order_relaxed)
                               ? m_oldWidth.load(std::memory_order_relaxed)
                               : m_width.load(std::memory_order_relaxed);
    return std::max<uint32_t>(width, 1);
}

void MidiMonitor::count(uint32_t time, int status, int velocity)
{
    const uint32_t base = m_base.load(std::memory_order_relaxed);
    if (time <= base) {
        countNow(status, velocity);
        return;
    }
    const uint32_t ahead = std::min<uint32_t>((time - base) / widthAt(time), kSlots - 1);
    const int slot = (m_current.load(std::memory_order_relaxed) + int(ahead)) % kSlots;
    add(m_slots[size_t(slot)], status, velocity);
}

void MidiMonitor::countNow(int status, int velocity)
{
    if ((status & 0xF0) == 0x90)
        raise(m_peak, velocity);
    m_count.fetch_add(1, std::memory_order_relaxed);
}

void MidiMonitor::setSlotWidth(uint32_t width, uint32_t from)
{
    m_oldWidth.store(m_width.load(std::memory_order_relaxed), std::memory_order_relaxed);
    m_changeTime.store(from, std::memory_order_relaxed);
    m_width.store(std::max<uint32_t>(width, 1), std::memory_order_relaxed);
}

void MidiMonitor::advance(uint32_t time)
{
    uint32_t base = m_base.load(std::memory_order_relaxed);
    int current = m_current.load(std::memory_order_relaxed);
    // At most one turn of the ring is folded; anything older has been folded already.
    for (int n = 0; n < kSlots && time >= base + widthAt(base); ++n) {
        Slot& slot = m_slots[size_t(current)];
        raise(m_peak, slot.peak.exchange(0, std::memory_order_relaxed));
        m_count.fetch_add(slot.count.exchange(0, std::memory_order_relaxed),
                          std::memory_order_relaxed);
        base += widthAt(base);
        current = (current + 1) % kSlots;
    }
    if (time > base + widthAt(base))
        base = time;
    m_current.store(current, std::memory_order_relaxed);
    m_base.store(base, std::memory_order_relaxed);
}

void MidiMonitor::reset()
{
    for (Slot& slot : m_slots) {
        slot.peak.store(0, std::memory_order_relaxed);
        slot.count.store(0, std::memory_order_relaxed);
    }
    m_peak.store(0, std::memory_order_relaxed);
    m_count.store(0, std::memory_order_relaxed);
    m_current.store(0, std::memory_order_relaxed);
    m_base.store(0, std::memory_order_relaxed);
}
