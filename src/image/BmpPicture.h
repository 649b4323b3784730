#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace Trelm
{

/// One colour of a BMP picture or palette, in the file's byte order.
struct BmpColor {
    std::uint8_t blue = 255;
    std::uint8_t green = 255;
    std::uint8_t red = 255;
    std::uint8_t alpha = 0;
};

/// An uncompressed BMP picture of 1, 4, 8, 16, 24 or 32 bits per pixel.
class BmpPicture
{
  public:
    std::int32_t bitDepth = 24;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t xPelsPerMeter = 3780;
    std::int32_t yPelsPerMeter = 3780;

    /// Reads a BMP file, printing a fixed message for every problem; true when it was read.
    bool readFile(const std::string& fileName, std::ostream& messages);

    /// Reads a BMP from a stream; fileName is only used in the messages.
    bool read(std::istream& input, const std::string& fileName, std::ostream& messages);

    /// The colour at (column, row), row 0 at the top of the picture.
    BmpColor pixel(int column, int row) const
    {
        return pixels_[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                       static_cast<std::size_t>(column)];
    }

    /// Palette entry k (depths 1, 4 and 8 only).
    BmpColor paletteEntry(int k) const { return palette_[static_cast<std::size_t>(k)]; }
    void setPaletteEntry(int k, BmpColor color) { palette_[static_cast<std::size_t>(k)] = color; }

  private:
    struct Header;
    /// Red, green and blue masks of 16-bit pixels.
    using Masks = std::array<std::uint16_t, 3>;

    bool isSupportedFormat(const Header& header, const std::string& fileName);
    bool hasAcceptableSize(const Header& header, std::istream& input, const std::string& fileName);
    void skipMetaData(std::istream& input, std::int64_t count, const std::string& fileName);
    void setBitDepth(int depth);
    void setSize(int newWidth, int newHeight);
    bool readHeaderRest(std::istream& input, const Header& header, Masks& masks,
                        const std::string& fileName);
    static void readMasks(std::istream& input, Masks& masks);
    void readPalette(std::istream& input, const Header& header, const std::string& fileName);
    void readRows(std::istream& input);
    bool decodeRow(const std::vector<std::uint8_t>& bytes, int row);
    void readSixteenBitRows(std::istream& input, const Masks& masks);

    /// Where the reader's messages go while it reads.
    std::ostream* messages_ = nullptr;
    std::vector<BmpColor> pixels_;
    std::vector<BmpColor> palette_;
};

} // namespace Trelm
