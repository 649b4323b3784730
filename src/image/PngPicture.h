#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>

#include "core/PixelRows.h"

namespace Trelm
{

/// A PNG picture of any colour type, bit depth and interlacing, made binary as it is read:
/// its dark pixels set. Alpha is ignored: a pixel is judged by the colour it stores.
class PngPicture
{
  public:
    std::int32_t width = 0;
    std::int32_t height = 0;
    /// 1 where a pixel is dark (isDarkPixel of its colour samples), 0 elsewhere, row 0 at the
    /// top. Rows are allocated as the pixels arrive: a file cut short holds only part of them.
    PixelRows darkPixels;

    /// Reads a PNG file, printing one message for the first problem; true when it was read.
    bool readFile(const std::string& fileName, std::ostream& messages);

    /// Reads a PNG from a stream; fileName is only used in the messages.
    bool read(std::istream& input, const std::string& fileName, std::ostream& messages);
};

} // namespace Trelm
