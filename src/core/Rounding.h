#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace Trelm
{

/// The program's rounding: add 0.5 and truncate toward zero (so -0.7 gives 0, not -1).
inline double roundHalfTowardZero(double x)
{
    return std::trunc(x + 0.5);
}

/// Converts an integral double to int32, saturating values out of range; NaN gives 0.
inline std::int32_t saturateToInt32(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (value <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

/// Converts an integral double to int16, saturating values out of range; NaN gives 0.
inline std::int16_t saturateToInt16(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 32767.0)
        return 32767;
    if (value <= -32768.0)
        return -32768;
    return static_cast<std::int16_t>(value);
}

/// roundHalfTowardZero as an int32; counts derived from settings can be out of range.
inline std::int32_t roundToInt(double x)
{
    return saturateToInt32(roundHalfTowardZero(x));
}

/// An outline coordinate: saturateToInt16(roundHalfTowardZero(value)), and whether it lies in
/// [0, bound); a negative one is reported as outside without being stored. Truncating value + 0.5
/// toward zero is the rounding, and every sum in (-1, 32767) converts directly, which keeps the
/// common path to one conversion.
inline bool rasterCoordinate(double value, int bound, std::int16_t& coordinate)
{
    const double shifted = value + 0.5;
    if (shifted > -1.0 && shifted < 32767.0)
        coordinate = static_cast<std::int16_t>(static_cast<int>(shifted));
    else if (shifted >= 32767.0)
        coordinate = 32767;
    else if (std::isnan(shifted))
        coordinate = 0;
    else
        return false; // negative
    return coordinate < bound;
}

} // namespace Trelm
