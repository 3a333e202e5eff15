#pragma once

#include <atomic>
#include <cstddef>
#include <memory>

/**
 * A fixed-capacity ring that any number of threads push into and exactly one thread pops from.
 *
 * Each slot carries a sequence number that says whose turn it is: a producer claims a slot by
 * advancing the shared write position with a compare-and-swap, fills it and publishes it with a
 * release store of the slot's sequence; the consumer takes it and hands the slot back to the
 * producers of the next lap the same way. Storage is allocated by the constructor, so push and
 * pop never allocate, lock or wait: a full ring makes push return false, and a slot claimed but
 * not yet published makes pop return false until its producer has written it (the values behind
 * it wait with it, so each producer's values come out in the order it pushed them).
 *
 * clear() and the constructor are for a time when no other thread uses the ring.
 */
template <typename T> class MpscRing
{
public:
    /** Capacity is rounded up to a power of two (at least 2). */
    explicit MpscRing(size_t capacity)
    {
        size_t size = 2;
        while (size < capacity)
            size <<= 1;
        m_slots = std::make_unique<Slot[]>(size);
        m_mask = size - 1;
        clear();
    }

    size_t capacity() const { return m_mask + 1; }

    /** Any thread. Returns false, dropping the value, when the ring is full. */
    bool push(const T& value)
    {
        size_t position = m_write.load(std::memory_order_relaxed);
        for (;;) {
            Slot& slot = m_slots[position & m_mask];
            const size_t sequence = slot.sequence.load(std::memory_order_acquire);
            const auto lag = static_cast<std::ptrdiff_t>(sequence - position);
            if (lag == 0) {
                if (m_write.compare_exchange_weak(position, position + 1,
                                                  std::memory_order_relaxed)) {
                    slot.value = value;
                    slot.sequence.store(position + 1, std::memory_order_release);
                    return true;
                }
            } else if (lag < 0) {
                return false; // the slot still holds a value of the previous lap
            } else {
                position = m_write.load(std::memory_order_relaxed);
            }
        }
    }

    /** The consumer thread only. False when nothing is ready. */
    bool pop(T& value)
    {
        Slot& slot = m_slots[m_read & m_mask];
        if (slot.sequence.load(std::memory_order_acquire) != m_read + 1)
            return false;
        value = slot.value;
        slot.sequence.store(m_read + m_mask + 1, std::memory_order_release);
        ++m_read;
        return true;
    }

    /** Drops every value. Only while no other thread uses the ring. */
    void clear()
    {
        for (size_t i = 0; i <= m_mask; ++i)
            m_slots[i].sequence.store(i, std::memory_order_relaxed);
        m_write.store(0, std::memory_order_relaxed);
        m_read = 0;
    }

private:
    struct Slot
    {
        std::atomic<size_t> sequence{0};
        T value{};
    };

    std::unique_ptr<Slot[]> m_slots;
    size_t m_mask = 0;
    // On cache lines of their own: the producers' position and the consumer's.
    alignas(64) std::atomic<size_t> m_write{0};
    alignas(64) size_t m_read = 0;
};
