#pragma once

#include <ostream>
#include <string>

#include "core/PixelRows.h"

namespace Trelm
{

/// Writes the grid as a binary PGM ("P5") file; true on error. The grid is not changed.
/// Its messages go to the given stream.
bool PGMB_WRITE(const std::string& fileName, int height, const PixelRows& rows, int width,
                std::ostream& messages);

/// Writes the raster of a binary PGM: every byte of row 0, then row 1 and so on. True on error.
bool PGMB_WRITE_DATA(int height, int width, const PixelRows& rows, std::ostream& output);

} // namespace Trelm
