#pragma once

#include <cstdint>
#include <iostream>
#include <istream>
#include <ostream>
#include <string>

#include "core/PixelRows.h"

namespace Trelm
{

/// The first page of a TIFF file, in strips or tiles, made binary as it is read: its dark
/// pixels set. Bilevel (any compression libtiff decodes, CCITT G3 and G4 among them), grey of 1
/// to 16 bits, RGB of 8 or 16 bits and palette pictures; extra samples such as alpha are
/// ignored.
class TiffPicture
{
  public:
    std::int32_t width = 0;
    std::int32_t height = 0;
    /// 1 where a pixel is dark (isDarkPixel of its colour samples), 0 elsewhere, row 0 at the
    /// top as stored. Allocated only once the size is known to be within the limits.
    PixelRows darkPixels;
    /// Whether the file holds pages after the first, which is the one read.
    bool morePages = false;

    /// Reads a TIFF file, printing one message for the first problem; true when it was read.
    bool readFile(const std::string& fileName, std::ostream& messages = std::cout);

    /// Reads a TIFF from a seekable stream; fileName is only used in the messages.
    bool read(std::istream& input, const std::string& fileName, std::ostream& messages = std::cout);
};

} // namespace Trelm
