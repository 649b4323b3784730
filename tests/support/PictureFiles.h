#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include <png.h>

#include "image/BinaryImage.h"

namespace Trelm::test
{

/// How a test PNG stores its pixels: the IHDR fields and, for a palette, its entries.
struct PngLayout {
    int colourType = PNG_COLOR_TYPE_GRAY;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<png_color> palette;
    /// Alpha of the first palette entries (a tRNS chunk); empty for none.
    std::vector<png_byte> paletteAlpha;
};

/// Encodes a picture as PNG bytes. Each row holds the packed samples as the format stores
/// them: several pixels per byte below 8 bits (the first in the high bits), 16-bit samples
/// most significant byte first. Throws std::runtime_error when libpng refuses.
std::string pngBytes(int width, int height, const PngLayout& layout,
                     const std::vector<std::string>& rows);

/// Writes a binary image as an 8-bit grey PNG file: active pixels black, the rest white.
void writePng(const std::string& path, const BinaryImage& image);

/// Writes a binary image as a binary PGM ("P5") file: active pixels black, the rest white.
void writePgm(const std::string& path, const BinaryImage& image);

/// What a reader made of some bytes: whether it read them, the picture, and its messages.
template <typename Picture> struct ReadResult {
    bool ok = false;
    Picture picture;
    std::string output;
};

/// Reads the bytes with Picture's stream reader, as a file of the given name.
template <typename Picture>
ReadResult<Picture> readPicture(const std::string& data, const std::string& name)
{
    ReadResult<Picture> result;
    std::istringstream input(data);
    std::ostringstream messages;
    result.ok = result.picture.read(input, name, messages);
    result.output = messages.str();
    return result;
}

/// The message a reader gives for the file name and reason.
inline std::string cannotRead(const std::string& name, const std::string& reason)
{
    return "\nCannot read " + name + ": " + reason + ".\n";
}

/// The bytes with IHDR's width and height replaced, its checksum made to match.
std::string withPngSize(std::string bytes, std::uint32_t width, std::uint32_t height);

} // namespace Trelm::test
