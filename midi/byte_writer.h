#pragma once

#include <QByteArray>
#include <cstdint>

/**
 * ByteWriter: appends big-endian numbers and variable-length quantities to a byte array.
 *
 * Track chunks are built in memory with it and written whole, so a chunk's length is known
 * before its header is written. Any thread.
 */
class ByteWriter
{
public:
    explicit ByteWriter(QByteArray& bytes) : m_bytes(bytes) {}

    void writeByte(int byte) { m_bytes.append(char(uint8_t(byte))); }
    void writeBytes(const char* data, qsizetype size) { m_bytes.append(data, size); }
    void writeBytes(const QByteArray& data) { m_bytes.append(data); }

    /**
     * Writes value as size bytes big-endian (size 1 to 4), or as a variable-length quantity when
     * size is 0 (values above 0x0FFFFFFF are limited to it). Returns the bytes written, -1 for a
     * size outside 0 to 4.
     */
    int writeNumber(uint32_t value, int size)
    {
        if (size == 0)
            return writeVariable(value);
        if (size < 0 || size > 4)
            return -1;
        for (int i = size - 1; i >= 0; --i)
            writeByte(int((value >> (8 * i)) & 0xFF));
        return size;
    }

private:
    int writeVariable(uint32_t value)
    {
        if (value > 0x0FFFFFFF)
            value = 0x0FFFFFFF;
        uint8_t groups[4];
        int count = 0;
        do {
            groups[count++] = uint8_t(value & 0x7F);
            value >>= 7;
        } while (value);
        for (int i = count - 1; i >= 0; --i)
            writeByte(groups[i] | (i > 0 ? 0x80 : 0));
        return count;
    }

    QByteArray& m_bytes;
};
