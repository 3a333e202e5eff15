#pragma once

#include <atomic>
#include <cstddef>
#include <vector>

/**
 * A fixed-capacity single-producer single-consumer ring of small plain values.
 *
 * Exactly one thread pushes and exactly one thread peeks and pops; each use names both threads
 * in its own header. The storage is allocated by the constructor, so push, front and pop never
 * allocate, lock or block and are safe from real-time threads. The producer publishes an element
 * with a release store of the write index, the consumer frees a slot with a release store of the
 * read index; each side reads the other's index with acquire.
 */
template <typename T> class SpscRing
{
public:
    /** Capacity is rounded up to a power of two. Ordinary thread only. */
    explicit SpscRing(size_t capacity)
    {
        size_t size = 1;
        while (size < capacity)
            size <<= 1;
        m_slots.resize(size);
        m_mask = size - 1;
    }

    size_t capacity() const { return m_slots.size(); }

    /** Producer thread only. Returns false, dropping the value, when the ring is full. */
    bool push(const T& value)
    {
        const size_t write = m_write.load(std::memory_order_relaxed);
        if (write - m_read.load(std::memory_order_acquire) == m_slots.size())
            return false;
        m_slots[write & m_mask] = value;
        m_write.store(write + 1, std::memory_order_release);
        return true;
    }

    /** Consumer thread only: the oldest value, or nullptr when the ring is empty. */
    const T* front() const
    {
        const size_t read = m_read.load(std::memory_order_relaxed);
        if (read == m_write.load(std::memory_order_acquire))
            return nullptr;
        return &m_slots[read & m_mask];
    }

    /** Consumer thread only: drops the value that front() returned. */
    void pop()
    {
        m_read.store(m_read.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    }

private:
    std::vector<T> m_slots;
    size_t m_mask = 0;
    // On cache lines of their own, so the producer's and the consumer's stores do not keep
    // taking the line from each other.
    alignas(64) std::atomic<size_t> m_write{0};
    alignas(64) std::atomic<size_t> m_read{0};
};
