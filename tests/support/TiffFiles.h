#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/BinaryImage.h"

namespace Trelm::test
{

/// How a test TIFF stores its pixels: libtiff's tag values.
struct TiffLayout {
    int compression = 1;
    int photometric = 1;
    int bitsPerSample = 8;
    int samplesPerPixel = 1;
    /// Rows per strip; 0 for one strip.
    int rowsPerStrip = 0;
    /// Side of square tiles, a multiple of 16; 0 for strips.
    int tileSide = 0;
    /// Red, green and blue of every palette entry, for a palette picture.
    std::vector<std::uint16_t> red;
    std::vector<std::uint16_t> green;
    std::vector<std::uint16_t> blue;
    /// Pages written, each the same picture.
    int pages = 1;
};

/// Writes a TIFF through libtiff; samples holds each row's samples, samplesPerPixel per pixel,
/// packed from the high bits below 8 bits. Throws std::runtime_error when libtiff refuses.
void writeTiff(const std::string& path, int width, int height, const TiffLayout& layout,
               const std::vector<std::vector<std::uint16_t>>& samples);

/// Writes a binary image as a bilevel TIFF of the given compression (a fax page: 1 is black),
/// the same page as many times as asked.
void writeTiff(const std::string& path, const BinaryImage& image, int compression = 4,
               int pages = 1);

/// A little-endian TIFF header and one directory of the given size, 8-bit grey, with one
/// strip of a single byte: a file that claims a size it does not hold.
std::string tiffWithSize(std::uint32_t width, std::uint32_t height);

} // namespace Trelm::test
