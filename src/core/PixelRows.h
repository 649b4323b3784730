#pragma once

#include <cstdint>
#include <vector>

namespace Trelm
{

/// A pixel grid as a table of rows, row 0 first; a row that was never read is empty.
using PixelRows = std::vector<std::vector<std::uint8_t>>;

/// Whether the pixel at column x of row y is set, for x and y inside a grid of width by
/// height: a file cut short leaves rows shorter than the width, background beyond their end.
inline bool pixelSet(const PixelRows& rows, int x, int y, int width, int height)
{
    if (x < 0 || y < 0 || x >= width || y >= height)
        return false;
    const auto& row = rows[static_cast<std::size_t>(y)];
    return static_cast<std::size_t>(x) < row.size() && row[static_cast<std::size_t>(x)] != 0;
}

} // namespace Trelm
