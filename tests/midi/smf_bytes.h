#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>
#include <initializer_list>

// Builds Standard MIDI File bytes by hand for the reader tests.
namespace smf {

inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(uint8_t(v)));
    return out;
}

inline QByteArray vlq(uint32_t value)
{
    QByteArray out(1, char(value & 0x7F));
    while (value >>= 7)
        out.prepend(char(0x80 | (value & 0x7F)));
    return out;
}

inline QByteArray be(uint32_t value, int size)
{
    QByteArray out;
    for (int i = size - 1; i >= 0; --i)
        out.append(char((value >> (8 * i)) & 0xFF));
    return out;
}

inline QByteArray header(int format, int tracks, int division)
{
    return "MThd" + be(6, 4) + be(format, 2) + be(tracks, 2) + be(division, 2);
}

/** A track chunk around events; an end of track is appended unless told otherwise. */
inline QByteArray track(const QByteArray& events, bool endOfTrack = true)
{
    const QByteArray data = endOfTrack ? events + bytes({0x00, 0xFF, 0x2F, 0x00}) : events;
    return "MTrk" + be(uint32_t(data.size()), 4) + data;
}

/** Delta time and the bytes of one event. */
inline QByteArray ev(uint32_t delta, std::initializer_list<int> values)
{
    return vlq(delta) + bytes(values);
}

inline QByteArray meta(uint32_t delta, int type, const QByteArray& data)
{
    return vlq(delta) + bytes({0xFF, type}) + vlq(uint32_t(data.size())) + data;
}

inline QByteArray tempo(uint32_t delta, uint32_t microseconds)
{
    return meta(delta, 0x51, be(microseconds, 3));
}

inline QByteArray meter(uint32_t delta, int numerator, int exponent)
{
    return meta(delta, 0x58, bytes({numerator, exponent, 24, 8}));
}

inline bool save(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

inline QByteArray load(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace smf
