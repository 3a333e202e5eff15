#pragma once

#include <cstdint>

/**
 * Rounding shared by every conversion from floating point to an integer.
 *
 * Songs and files depend on this exact rule: add 0.5 to a non-negative value, subtract 0.5
 * from a negative one, then truncate toward zero (half away from zero). Callers compute in
 * long double from their float operands, as the time scale does.
 */
inline long long roundHalfAway(long double value)
{
    return static_cast<long long>(value >= 0 ? value + 0.5L : value - 0.5L);
}

/** The same rounding, wrapped to an unsigned 32-bit position as positions are stored. */
inline uint32_t roundToU32(long double value)
{
    return static_cast<uint32_t>(static_cast<uint64_t>(roundHalfAway(value)));
}
