#pragma once

#include "monitor.h"

#include <array>
#include <atomic>
#include <cstdint>

class Track;
class MidiEngine;

/**
 * MidiMonitor: the gain and pan of a MIDI track or bus, with note-on peaks and event counts
 * for the meters.
 *
 * Events scheduled ahead are counted into a ring of 16 time slots by their queue time, so a
 * meter can show them when they sound; events at or before the base time (and direct events)
 * go into the running peak and count. Only note-ons raise a peak; every event raises a count.
 *
 * A track's monitor knows its engine and track: a new gain or pan is sent as the track's
 * volume or pan controller (GUI thread). count() runs on the output thread and the GUI thread
 * at once and only touches atomics; the readers may run on any thread.
 */
class MidiMonitor : public Monitor
{
public:
    static constexpr int kSlots = 16;

    explicit MidiMonitor(float gain = 1.0f, float panning = 0.0f);

    /** Sends the track's controllers on every change of gain or pan (none: a bus monitor). */
    void setTrack(MidiEngine* engine, Track* track);
    void setGain(float gain) override;
    void setPanning(float panning) override;

    /** Counts one event of the given status (0x90 = note on) at queue time `time`. */
    void count(uint32_t time, int status, int velocity);
    /** Counts a direct (play-now) event. */
    void countNow(int status, int velocity);

    /**
     * New slot width in queue ticks from queue time `from` on; events timed before `from` keep
     * the width before the change.
     */
    void setSlotWidth(uint32_t width, uint32_t from);
    uint32_t slotWidth() const { return m_width.load(std::memory_order_relaxed); }
    /** Moves the base time to `time`, folding the slots that have passed into the running peak. */
    void advance(uint32_t time);
    /** Clears the ring, the peak and the count. */
    void reset();

    int peak() const { return m_peak.load(std::memory_order_relaxed); }
    int eventCount() const { return m_count.load(std::memory_order_relaxed); }
    int slotPeak(int slot) const { return m_slots[size_t(slot & (kSlots - 1))].peak.load(); }
    int slotCount(int slot) const { return m_slots[size_t(slot & (kSlots - 1))].count.load(); }
    int currentSlot() const { return m_current.load(std::memory_order_relaxed); }
    uint32_t baseTime() const { return m_base.load(std::memory_order_relaxed); }

private:
    struct Slot
    {
        std::atomic<int> peak{0};
        std::atomic<int> count{0};
    };
    static void raise(std::atomic<int>& peak, int value);
    void add(Slot& slot, int status, int velocity);
    uint32_t widthAt(uint32_t time) const;

    MidiEngine* m_engine = nullptr;
    Track* m_track = nullptr;
    std::array<Slot, kSlots> m_slots;
    std::atomic<int> m_peak{0};
    std::atomic<int> m_count{0};
    std::atomic<int> m_current{0};
    std::atomic<uint32_t> m_base{0};
    std::atomic<uint32_t> m_width{1};
    std::atomic<uint32_t> m_oldWidth{1};
    std::atomic<uint32_t> m_changeTime{0};
};
