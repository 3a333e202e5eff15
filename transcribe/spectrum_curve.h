#pragma once

#include <span>

/**
 * Reads a per-bin curve (local level, harmonic mask) at a fractional bin position q:
 * the first value at or below 0, the last at or past the last bin, linear in between.
 * A plain function; any thread.
 */
inline float curveAt(std::span<const float> curve, float q)
{
    const int last = static_cast<int>(curve.size()) - 1;
    if (q <= 0.0f)
        return curve[0];
    if (q >= static_cast<float>(last))
        return curve[last];
    const int i = static_cast<int>(q);
    return curve[i] + (q - static_cast<float>(i)) * (curve[i + 1] - curve[i]);
}
