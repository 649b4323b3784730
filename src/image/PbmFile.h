#pragma once

#include <iostream>
#include <istream>
#include <ostream>
#include <string>

#include "core/PixelRows.h"

namespace Trelm
{

/// Largest width or height accepted: every coordinate must fit a 16-bit Point.
constexpr int MAX_IMAGE_SIDE = 32767;

// Each routine prints its fixed messages to the given stream, standard output by default.

/// Reads a binary PBM ("P4") file into width, height and rows; true on error.
bool PBMB_READ(const std::string& fileName, int& width, int& height, PixelRows& rows,
               std::ostream& messages = std::cout);

/// Reads the header (magic, width, height) of a binary PBM stream; true on error.
bool PBMB_READ_HEADER(std::istream& input, int& width, int& height,
                      std::ostream& messages = std::cout);

/// Reads the raster of a binary PBM stream; rows must hold height empty rows. True on error.
bool PBMB_READ_DATA(PixelRows& rows, std::istream& input, int width, int height,
                    std::ostream& messages = std::cout);

} // namespace Trelm
