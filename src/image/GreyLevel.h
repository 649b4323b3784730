#pragma once

#include <cstdint>

namespace Trelm
{

/// Most pixels a PNG or PGM picture may have: a grid of one byte per pixel stays at 256 MB.
constexpr std::int64_t MAX_PICTURE_PIXELS = std::int64_t{1} << 28;

/// True when a pixel of `channels` colour samples from 0 to maxValue, summing to sum, is dark:
/// the mean of its samples, scaled to 0-255, is below 128. For maxValue 255 this is the mean
/// below 128 that a BMP pixel is judged by; for other depths the comparison is made without
/// rounding, as sum * 255 < 128 * channels * maxValue.
constexpr bool isDarkPixel(std::uint32_t sum, std::uint32_t channels, std::uint32_t maxValue)
{
    return std::uint64_t{sum} * 255 < std::uint64_t{128} * channels * maxValue;
}

} // namespace Trelm
