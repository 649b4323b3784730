#pragma once

#include <cstdint>
#include <vector>

namespace Trelm
{

/// A pixel grid as a table of rows, row 0 first; a row that was never read is empty.
using PixelRows = std::vector<std::vector<std::uint8_t>>;

} // namespace Trelm
