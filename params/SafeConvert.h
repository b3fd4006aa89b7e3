// Float-to-integer conversion that stays defined for NaN, infinite and huge values.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

// Truncates toward zero like a plain cast; out-of-range values saturate and NaN gives the lowest value.
inline int32_t truncToInt32(float x)
{
    if (std::isnan(x))
        return std::numeric_limits<int32_t>::min();
    if (x >= 2147483648.0f)
        return std::numeric_limits<int32_t>::max();
    if (x <= -2147483648.0f)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(x);
}

inline int32_t clampInt32(int32_t value, int32_t low, int32_t high)
{
    return value < low ? low : (value > high ? high : value);
}
