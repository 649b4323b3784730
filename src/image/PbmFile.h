#pragma once

#include <istream>
#include <ostream>
#include <string>

#include "core/PixelRows.h"

namespace Trelm
{

/// Largest width or height accepted: every coordinate must fit a 16-bit Point.
constexpr int MAX_IMAGE_SIDE = 32767;

// Each routine prints its fixed messages to the given stream and, like the other readers,
// returns true when it read what it was asked to.

/// Reads a binary PBM ("P4") file into width, height and rows; true when it was read.
bool PBMB_READ(const std::string& fileName, int& width, int& height, PixelRows& rows,
               std::ostream& messages);

/// Reads the header (magic, width, height) of a binary PBM stream; true when it was read.
bool PBMB_READ_HEADER(std::istream& input, int& width, int& height, std::ostream& messages);

/// Reads the raster of a binary PBM stream; rows must hold height empty rows. True when the
/// whole raster was read.
bool PBMB_READ_DATA(PixelRows& rows, std::istream& input, int width, int height,
                    std::ostream& messages);

} // namespace Trelm
