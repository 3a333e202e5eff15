#pragma once

#include <cstdint>

/**
 * ByteReader: reads big-endian numbers and variable-length quantities from bytes in memory.
 *
 * Every read checks the bytes that are left first and reports -1 (or none) instead of reading
 * past the end, so untrusted lengths are never used before they are checked. Any thread.
 */
class ByteReader
{
public:
    ByteReader(const uint8_t* data, uint32_t size) : m_data(data), m_size(size) {}

    uint32_t offset() const { return m_offset; }
    uint32_t left() const { return m_size - m_offset; }
    bool atEnd() const { return m_offset >= m_size; }

    /** One byte, or -1 at the end. */
    int readByte() { return m_offset < m_size ? m_data[m_offset++] : -1; }
    /** Steps back over the byte just read (running status). */
    void unread()
    {
        if (m_offset > 0)
            --m_offset;
    }

    /**
     * size bytes as a big-endian number (size 1 to 4), or a variable-length quantity when size
     * is 0. -1 at the end of the data or for a quantity longer than 4 bytes.
     */
    int64_t readNumber(int size)
    {
        if (size == 0)
            return readVariable();
        if (size < 0 || size > 4 || left() < uint32_t(size))
            return -1;
        uint32_t value = 0;
        for (int i = 0; i < size; ++i)
            value = (value << 8) | m_data[m_offset++];
        return value;
    }

    /** The next count bytes and moves past them; none when fewer are left. */
    const uint8_t* take(uint32_t count)
    {
        if (left() < count)
            return nullptr;
        const uint8_t* bytes = m_data + m_offset;
        m_offset += count;
        return bytes;
    }

private:
    int64_t readVariable()
    {
        // A quantity holds at most 4 bytes (28 bits); a longer one is malformed.
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const int byte = readByte();
            if (byte < 0)
                return -1;
            value = (value << 7) | uint32_t(byte & 0x7F);
            if (!(byte & 0x80))
                return value;
        }
        return -1;
    }

    const uint8_t* m_data;
    uint32_t m_size;
    uint32_t m_offset = 0;
};
