#pragma once

#include <array>
#include <cstdint>
#include <iostream>
#include <ostream>
#include <string>

#include "core/PixelRows.h"

namespace Trelm
{

/// The colour of a palette entry.
struct PaletteColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

/// A colour for every value a grid's pixel can take.
using Palette = std::array<PaletteColour, 256>;

/// Writes the grid as an 8-bit palette PNG file, each pixel's value its palette entry; true
/// when written. The file is written beside its name and renamed into place; the message of a
/// failure goes to the given stream.
bool writePalettePng(const std::string& fileName, int height, const PixelRows& rows, int width,
                     const Palette& palette, std::ostream& messages = std::cout);

} // namespace Trelm
