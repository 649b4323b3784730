#include "image/BmpPicture.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iostream>

#include "image/PbmFile.h"

namespace Trelm
{

namespace
{

constexpr std::uint16_t BMP_MAGIC = 19778; // "BM"
constexpr std::int64_t FILE_HEADER_SIZE = 14;
// The fields read of the information header; a larger header goes on past them.
constexpr std::int64_t INFO_FIELDS_SIZE = 40;
constexpr std::int64_t FILE_HEADERS_SIZE = FILE_HEADER_SIZE + INFO_FIELDS_SIZE;
// From the 52-byte header on, the red, green and blue masks are the header's next 12 bytes.
constexpr std::uint32_t SIZE_WITH_MASKS = 52;
constexpr std::int64_t MASKS_SIZE = 12;
constexpr std::uint32_t BIT_FIELDS = 3;
// Refuse, rather than allocate, a picture larger than this whose pixels are not in the file.
constexpr std::int64_t MAX_UNBACKED_PICTURE_BYTES = 64LL * 1024 * 1024;
const char* const ERROR_INDENT = "               ";
const char* const WARNING_INDENT = "                 ";

// Reads a little-endian field only when all its bytes are there; otherwise it keeps its value.
template <typename T> bool readLe(std::istream& input, T& field)
{
    std::array<unsigned char, sizeof(T)> bytes{};
    input.read(reinterpret_cast<char*>(bytes.data()), sizeof(T));
    if (input.gcount() != static_cast<std::streamsize>(sizeof(T)))
        return false;
    std::uint64_t value = 0;
    for (std::size_t i = sizeof(T); i-- > 0;)
        value = (value << 8) | bytes[i];
    field = static_cast<T>(value);
    return true;
}

bool readLe16(std::istream& input, std::uint16_t& field)
{
    return readLe(input, field);
}
bool readLe32(std::istream& input, std::uint32_t& field)
{
    return readLe(input, field);
}
bool readLe32(std::istream& input, std::int32_t& field)
{
    return readLe(input, field);
}

std::int64_t remainingBytes(std::istream& input)
{
    const auto here = input.tellg();
    if (here < 0)
        return 0;
    input.seekg(0, std::ios::end);
    const auto end = input.tellg();
    input.seekg(here);
    return static_cast<std::int64_t>(end - here);
}

int shiftFor(std::uint32_t mask)
{
    int shift = 0;
    while ((mask >> shift) > 31)
        ++shift;
    return shift;
}

} // namespace

struct BmpPicture::Header {
    std::uint16_t bfType = BMP_MAGIC;
    std::uint32_t bfSize = 0;
    std::uint16_t bfReserved1 = 0;
    std::uint16_t bfReserved2 = 0;
    std::uint32_t bfOffBits = 0;
    std::uint32_t biSize = 0;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;
    std::uint16_t biPlanes = 1;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = 0;
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 3780;
    std::int32_t biYPelsPerMeter = 3780;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;

    // Reads the fields after bfType in file order; false when one of them met the end.
    bool readRest(std::istream& input)
    {
        bool complete = readLe32(input, bfSize);
        complete = readLe16(input, bfReserved1) && complete;
        complete = readLe16(input, bfReserved2) && complete;
        complete = readLe32(input, bfOffBits) && complete;
        complete = readLe32(input, biSize) && complete;
        complete = readLe32(input, biWidth) && complete;
        complete = readLe32(input, biHeight) && complete;
        complete = readLe16(input, biPlanes) && complete;
        complete = readLe16(input, biBitCount) && complete;
        complete = readLe32(input, biCompression) && complete;
        complete = readLe32(input, biSizeImage) && complete;
        complete = readLe32(input, biXPelsPerMeter) && complete;
        complete = readLe32(input, biYPelsPerMeter) && complete;
        complete = readLe32(input, biClrUsed) && complete;
        complete = readLe32(input, biClrImportant) && complete;
        return complete;
    }

    bool hasPalette() const { return biBitCount == 1 || biBitCount == 4 || biBitCount == 8; }
    bool hasBitFields() const { return biBitCount == 16 && biCompression == BIT_FIELDS; }
    bool masksInHeader() const { return biSize >= SIZE_WITH_MASKS; }

    // Where the palette or the masks that follow the header begin. A size below 40 is read
    // as 40, the fields read being those of the 40-byte header.
    std::int64_t headerEnd() const
    {
        return FILE_HEADER_SIZE + std::max<std::int64_t>(biSize, INFO_FIELDS_SIZE);
    }

    // Bytes between the end of the palette or bit masks and the pixel data.
    std::int64_t bytesToSkip() const
    {
        std::int64_t skip = static_cast<std::int64_t>(bfOffBits) - headerEnd();
        if (hasPalette())
            skip -= 4LL << biBitCount;
        if (hasBitFields() && !masksInHeader())
            skip -= MASKS_SIZE;
        return std::max<std::int64_t>(skip, 0);
    }

    // Size of the pixel section the header declares.
    std::int64_t pixelSectionSize() const
    {
        if (biBitCount == 16)
            return (2LL * biWidth + (4 - (2LL * biWidth) % 4) % 4) * biHeight;
        return ((static_cast<std::int64_t>(biWidth) * biBitCount + 31) / 32) * 4 * biHeight;
    }
};

bool BmpPicture::readFile(const std::string& fileName, std::ostream& messages)
{
    messages_ = &messages;
    std::ifstream input(fileName, std::ios::binary);
    if (!input) {
        *messages_ << "EasyBMP Error: Cannot open file " << fileName << " for input." << std::endl;
        return false;
    }
    return read(input, fileName, messages);
}

bool BmpPicture::read(std::istream& input, const std::string& fileName, std::ostream& messages)
{
    messages_ = &messages;
    Header header;
    readLe16(input, header.bfType);
    if (header.bfType != BMP_MAGIC) {
        *messages_ << "EasyBMP Error: " << fileName << " is not a Windows BMP file!" << std::endl;
        return false;
    }
    if (!header.readRest(input)) {
        *messages_ << "EasyBMP Error: " << fileName << " is obviously corrupted." << std::endl;
        return false;
    }
    xPelsPerMeter = header.biXPelsPerMeter;
    yPelsPerMeter = header.biYPelsPerMeter;

    if (!isSupportedFormat(header, fileName))
        return false;
    setBitDepth(header.biBitCount);
    if (!hasAcceptableSize(header, input, fileName))
        return false;
    setSize(header.biWidth, header.biHeight);

    Masks masks = {0x7C00, 0x03E0, 0x001F};
    if (!readHeaderRest(input, header, masks, fileName))
        return false;
    if (header.hasPalette())
        readPalette(input, header, fileName);
    skipMetaData(input, header.bytesToSkip(), fileName);
    if (bitDepth == 16)
        readSixteenBitRows(input, masks);
    else
        readRows(input);
    return true;
}

// Reads past what the header holds beyond its first 40 bytes, and the bit-field masks, which
// sit right after those 40 bytes: inside a header of 52 bytes or more, after a smaller one.
bool BmpPicture::readHeaderRest(std::istream& input, const Header& header, Masks& masks,
                                const std::string& fileName)
{
    std::int64_t position = FILE_HEADERS_SIZE;
    if (header.hasBitFields() && header.masksInHeader()) {
        readMasks(input, masks);
        position += MASKS_SIZE;
    }
    input.ignore(static_cast<std::streamsize>(header.headerEnd() - position));
    if (header.hasBitFields() && !header.masksInHeader())
        readMasks(input, masks);
    // Every channel would read 0 and the whole picture would be black.
    if (header.hasBitFields() && masks[0] == 0 && masks[1] == 0 && masks[2] == 0) {
        *messages_ << "EasyBMP Error: " << fileName << " has bit-field masks of zero." << std::endl;
        return false;
    }
    return true;
}

void BmpPicture::readMasks(std::istream& input, Masks& masks)
{
    for (std::uint16_t& mask : masks) {
        // A 32-bit mask of which 16-bit pixels use the low half; a mask cut short by the end
        // of the file keeps its default.
        readLe16(input, mask);
        std::uint16_t ignored = 0;
        readLe16(input, ignored);
    }
}

bool BmpPicture::isSupportedFormat(const Header& header, const std::string& fileName)
{
    const std::uint32_t compression = header.biCompression;
    const int depth = header.biBitCount;
    if (compression == 1 || compression == 2) {
        *messages_ << "EasyBMP Error: " << fileName << " is (RLE) compressed." << std::endl
                   << ERROR_INDENT << "EasyBMP does not support compression." << std::endl;
        return false;
    }
    if (compression > 3) {
        *messages_ << "EasyBMP Error: " << fileName << " is in an unsupported format." << std::endl
                   << ERROR_INDENT << "(bmih.biCompression = " << compression << ")" << std::endl
                   << ERROR_INDENT << "The file is probably an old OS2 bitmap or corrupted."
                   << std::endl;
        return false;
    }
    if (compression == 3 && depth != 16) {
        *messages_ << "EasyBMP Error: " << fileName << " uses bit fields and is not a" << std::endl
                   << ERROR_INDENT << "16-bit file. This is not supported." << std::endl;
        return false;
    }
    if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32) {
        *messages_ << "EasyBMP Error: " << fileName << " has unrecognized bit depth." << std::endl;
        return false;
    }
    return true;
}

bool BmpPicture::hasAcceptableSize(const Header& header, std::istream& input,
                                   const std::string& fileName)
{
    if (header.biWidth <= 0 || header.biHeight <= 0) {
        *messages_ << "EasyBMP Error: " << fileName << " has a non-positive width or height."
                   << std::endl;
        return false;
    }
    // Every coordinate must fit a 16-bit Point.
    if (header.biWidth > MAX_IMAGE_SIDE || header.biHeight > MAX_IMAGE_SIDE) {
        *messages_ << "EasyBMP Error: " << fileName << " is too large." << std::endl
                   << ERROR_INDENT << "Width and height must be at most " << MAX_IMAGE_SIDE << "."
                   << std::endl;
        return false;
    }
    // A header may claim a huge picture in a tiny file: do not allocate for pixels that
    // cannot be there.
    const std::int64_t pictureBytes =
        static_cast<std::int64_t>(header.biWidth) * header.biHeight * 4;
    if (pictureBytes > MAX_UNBACKED_PICTURE_BYTES &&
        header.pixelSectionSize() > remainingBytes(input)) {
        *messages_ << "EasyBMP Error: " << fileName << " declares more pixel data" << std::endl
                   << ERROR_INDENT << "than the file holds." << std::endl;
        return false;
    }
    return true;
}

void BmpPicture::skipMetaData(std::istream& input, std::int64_t count, const std::string& fileName)
{
    if (count <= 0)
        return;
    *messages_ << "EasyBMP Warning: Extra meta data detected in file " << fileName << std::endl
               << WARNING_INDENT << "Data will be skipped." << std::endl;
    input.ignore(static_cast<std::streamsize>(count));
}

void BmpPicture::setBitDepth(int depth)
{
    bitDepth = depth;
    if (depth == 1 || depth == 4 || depth == 8)
        palette_.assign(std::size_t{1} << depth, BmpColor{});
    else
        palette_.clear();
}

void BmpPicture::setSize(int newWidth, int newHeight)
{
    width = newWidth;
    height = newHeight;
    pixels_.assign(static_cast<std::size_t>(newWidth) * static_cast<std::size_t>(newHeight),
                   BmpColor{});
}

void BmpPicture::readPalette(std::istream& input, const Header& header, const std::string& fileName)
{
    const std::int64_t tableSize = std::int64_t{1} << bitDepth;
    // A signed computation: an offset inside the header reads no entry at all.
    const std::int64_t entries = std::min<std::int64_t>(
        (static_cast<std::int64_t>(header.bfOffBits) - header.headerEnd()) / 4, tableSize);
    if (entries < tableSize) {
        *messages_ << "EasyBMP Warning: file " << fileName << " has an underspecified" << std::endl
                   << WARNING_INDENT << "color table. The table will be padded with extra"
                   << std::endl
                   << WARNING_INDENT << "white (255,255,255,0) entries." << std::endl;
    }
    for (std::int64_t k = 0; k < entries; ++k) {
        std::array<unsigned char, 4> bytes{};
        input.read(reinterpret_cast<char*>(bytes.data()), 4);
        // An entry cut short by the end of the file stays white.
        if (input.gcount() == 4)
            palette_[static_cast<std::size_t>(k)] = {bytes[0], bytes[1], bytes[2], bytes[3]};
    }
}

void BmpPicture::readRows(std::istream& input)
{
    // Rows are padded to a multiple of 4 bytes.
    const std::int64_t rowSize =
        ((static_cast<std::int64_t>(width) * bitDepth + 7) / 8 + 3) / 4 * 4;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(rowSize));
    // The file stores the bottom row first.
    for (int row = height - 1; row >= 0; --row) {
        input.read(reinterpret_cast<char*>(bytes.data()), rowSize);
        if (input.gcount() < rowSize) {
            *messages_ << "EasyBMP Error: Could not read proper amount of data." << std::endl;
            break;
        }
        if (!decodeRow(bytes, row)) {
            *messages_ << "EasyBMP Error: Could not read enough pixel data!" << std::endl;
            break;
        }
    }
}

bool BmpPicture::decodeRow(const std::vector<std::uint8_t>& bytes, int row)
{
    const auto rowSize = static_cast<std::int64_t>(bytes.size());
    BmpColor* out = &pixels_[static_cast<std::size_t>(row) * static_cast<std::size_t>(width)];
    switch (bitDepth) {
    case 1:
    case 4:
    case 8: {
        const auto paletteMask = static_cast<unsigned>((1u << bitDepth) - 1);
        const int perByte = 8 / bitDepth;
        if (rowSize * perByte < width)
            return false;
        for (int column = 0; column < width; ++column) {
            // The first pixel of a byte sits in its most significant bits.
            const int shift = 8 - bitDepth * (column % perByte + 1);
            const unsigned index =
                (bytes[static_cast<std::size_t>(column / perByte)] >> shift) & paletteMask;
            out[column] = palette_[index];
        }
        return true;
    }
    case 24:
    case 32: {
        const int perPixel = bitDepth / 8;
        if (rowSize < static_cast<std::int64_t>(perPixel) * width)
            return false;
        for (int column = 0; column < width; ++column) {
            const std::uint8_t* p = &bytes[static_cast<std::size_t>(column * perPixel)];
            out[column].blue = p[0];
            out[column].green = p[1];
            out[column].red = p[2];
            if (perPixel == 4)
                out[column].alpha = p[3];
        }
        return true;
    }
    default:
        return false;
    }
}

void BmpPicture::readSixteenBitRows(std::istream& input, const Masks& masks)
{
    const int shifts[3] = {shiftFor(masks[0]), shiftFor(masks[1]), shiftFor(masks[2])};
    const int padding = (4 - (2 * width) % 4) % 4;
    std::uint16_t value = 0;
    for (int row = height - 1; row >= 0; --row) {
        BmpColor* out = &pixels_[static_cast<std::size_t>(row) * static_cast<std::size_t>(width)];
        for (int column = 0; column < width; ++column) {
            // A value past the end of the file repeats the last one read.
            readLe16(input, value);
            out[column].red = static_cast<std::uint8_t>(8 * ((value & masks[0]) >> shifts[0]));
            out[column].green = static_cast<std::uint8_t>(8 * ((value & masks[1]) >> shifts[1]));
            out[column].blue = static_cast<std::uint8_t>(8 * ((value & masks[2]) >> shifts[2]));
        }
        input.ignore(padding);
    }
}

} // namespace Trelm
