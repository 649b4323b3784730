#include "image/TiffPicture.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <vector>

#include <tiffio.h>

#include "image/GreyLevel.h"
#include "image/PbmFile.h"

namespace Trelm
{

namespace
{

const char* const NOT_TIFF = "it is not a TIFF file";
// Tiles are a few hundred pixels a side; a tile past this size is a damaged field.
constexpr std::uint64_t MAX_TILE_BYTES = std::uint64_t{1} << 26;

// How the samples of a row make a pixel's colour.
enum class Colours { Grey, Palette, Rgb };

struct Layout {
    Colours colours = Colours::Grey;
    /// A grey of 0 is white (photometric interpretation "min is white", as fax pages store it).
    bool minIsWhite = false;
    unsigned bitsPerSample = 1;
    unsigned samplesPerPixel = 1;
    std::uint32_t maxValue = 1;
    /// The palette's entries, owned by libtiff while the file is open, and their largest value.
    const std::uint16_t* red = nullptr;
    const std::uint16_t* green = nullptr;
    const std::uint16_t* blue = nullptr;
    std::uint32_t paletteMax = 65535;
};

// What libtiff's callbacks share with the reading: the stream, and the first error message.
struct Session {
    std::istream* input = nullptr;
    std::array<char, 256> error{};
};

tmsize_t readFromStream(thandle_t handle, void* data, tmsize_t size)
{
    std::istream& input = *static_cast<Session*>(handle)->input;
    input.read(static_cast<char*>(data), static_cast<std::streamsize>(size));
    const std::streamsize got = input.gcount();
    // A short read is libtiff's to judge; the stream must stay usable for its next seek.
    input.clear();
    return static_cast<tmsize_t>(got);
}

tmsize_t refuseWrite(thandle_t, void*, tmsize_t)
{
    return -1;
}

toff_t seekInStream(thandle_t handle, toff_t offset, int whence)
{
    std::istream& input = *static_cast<Session*>(handle)->input;
    input.clear();
    const auto largest = static_cast<toff_t>(std::numeric_limits<std::streamoff>::max());
    // A relative offset is libtiff's unsigned form of a signed number.
    const auto relative = static_cast<std::streamoff>(static_cast<std::int64_t>(offset));
    if (whence == SEEK_SET && offset > largest)
        return static_cast<toff_t>(-1);
    if (whence == SEEK_SET)
        input.seekg(static_cast<std::streamoff>(offset), std::ios::beg);
    else
        input.seekg(relative, whence == SEEK_END ? std::ios::end : std::ios::cur);
    const std::streamoff position = input.tellg();
    if (!input || position < 0) {
        input.clear();
        return static_cast<toff_t>(-1);
    }
    return static_cast<toff_t>(position);
}

int closeNothing(thandle_t)
{
    return 0;
}

toff_t streamSize(thandle_t handle)
{
    std::istream& input = *static_cast<Session*>(handle)->input;
    input.clear();
    const std::streampos here = input.tellg();
    input.seekg(0, std::ios::end);
    const std::streamoff size = input.tellg();
    input.seekg(here);
    return size < 0 ? 0 : static_cast<toff_t>(size);
}

// The file is read through the stream, never mapped.
int mapNothing(thandle_t, void**, toff_t*)
{
    return 0;
}

void unmapNothing(thandle_t, void*, toff_t) {}

// libtiff's errors name the problem in the image's one message; nothing reaches stderr.
int onError(TIFF*, void* user, const char*, const char* format, va_list arguments)
{
    auto& error = static_cast<Session*>(user)->error;
    if (error[0] == '\0')
        std::vsnprintf(error.data(), error.size(), format, arguments);
    return 1;
}

// A warning (an unknown tag, a bad optional field) changes no pixel.
int onWarning(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

// The open options and the file, released together however the reading ends.
class TiffHandle
{
  public:
    TiffHandle(const std::string& fileName, Session& session) : options_(TIFFOpenOptionsAlloc())
    {
        if (options_ == nullptr)
            return;
        TIFFOpenOptionsSetErrorHandlerExtR(options_, onError, &session);
        TIFFOpenOptionsSetWarningHandlerExtR(options_, onWarning, &session);
        // "m": read through the procedures, never mapped.
        tiff_ = TIFFClientOpenExt(fileName.c_str(), "rm", &session, readFromStream, refuseWrite,
                                  seekInStream, closeNothing, streamSize, mapNothing, unmapNothing,
                                  options_);
    }
    ~TiffHandle()
    {
        if (tiff_ != nullptr)
            TIFFClose(tiff_);
        if (options_ != nullptr)
            TIFFOpenOptionsFree(options_);
    }
    TiffHandle(const TiffHandle&) = delete;
    TiffHandle& operator=(const TiffHandle&) = delete;

    TIFF* get() const { return tiff_; }

  private:
    TIFFOpenOptions* options_;
    TIFF* tiff_ = nullptr;
};

bool hasSignature(std::istream& input)
{
    std::array<char, 4> head{};
    input.read(head.data(), head.size());
    const bool whole = input.gcount() == static_cast<std::streamsize>(head.size());
    input.clear();
    input.seekg(0, std::ios::beg);
    // Little- or big-endian, classic (42) or BigTIFF (43).
    return whole &&
           ((head[0] == 'I' && head[1] == 'I' && head[3] == 0 &&
             (head[2] == 42 || head[2] == 43)) ||
            (head[0] == 'M' && head[1] == 'M' && head[2] == 0 && (head[3] == 42 || head[3] == 43)));
}

// The palette's entries; a file whose entries all fit 8 bits wrote them unscaled, as some old
// writers did.
std::string readPalette(TIFF* tiff, Layout& layout)
{
    if (layout.bitsPerSample > 8)
        return "its palette has more than 8 bits per sample";
    std::uint16_t* red = nullptr;
    std::uint16_t* green = nullptr;
    std::uint16_t* blue = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue) != 1 || red == nullptr ||
        green == nullptr || blue == nullptr)
        return "its palette is missing";
    layout.red = red;
    layout.green = green;
    layout.blue = blue;
    std::uint16_t largest = 0;
    for (std::size_t i = 0; i < (std::size_t{1} << layout.bitsPerSample); ++i)
        largest = std::max({largest, red[i], green[i], blue[i]});
    layout.paletteMax = largest < 256 ? 255 : 65535;
    return "";
}

// The colours, depth and arrangement of the samples; the reason they cannot be read, or "".
std::string readLayout(TIFF* tiff, Layout& layout)
{
    std::uint16_t bits = 1;
    std::uint16_t samples = 1;
    std::uint16_t format = SAMPLEFORMAT_UINT;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    std::uint16_t photometric = 0;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    if (TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric) != 1)
        return "its photometric interpretation is missing";
    if (format != SAMPLEFORMAT_UINT && format != SAMPLEFORMAT_VOID)
        return "its samples are not unsigned integers";
    if (samples > 1 && planar != PLANARCONFIG_CONTIG)
        return "its samples are stored in separate planes";
    layout.bitsPerSample = bits;
    layout.samplesPerPixel = samples;
    const bool greyDepth = bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16;
    if (!greyDepth || samples < 1)
        return "it has " + std::to_string(bits) + " bits per sample; 1, 2, 4, 8 or 16 are read";
    layout.maxValue = bits == 16 ? 65535 : (1u << bits) - 1;
    switch (photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
        layout.colours = Colours::Grey;
        layout.minIsWhite = photometric == PHOTOMETRIC_MINISWHITE;
        return "";
    case PHOTOMETRIC_PALETTE:
        layout.colours = Colours::Palette;
        return readPalette(tiff, layout);
    case PHOTOMETRIC_RGB:
        layout.colours = Colours::Rgb;
        if (samples < 3 || bits < 8)
            return "its RGB pixels need three samples of 8 or 16 bits";
        return "";
    default:
        return "its colours are neither grey, RGB nor a palette (photometric interpretation " +
               std::to_string(photometric) + ")";
    }
}

// Sample number index of a row, samples packed from the high bits of each byte, 16-bit ones
// in the machine's order as libtiff delivers them.
std::uint32_t sampleAt(const std::uint8_t* row, std::size_t index, unsigned bits)
{
    if (bits == 16) {
        std::uint16_t sample = 0;
        std::memcpy(&sample, row + 2 * index, sizeof sample);
        return sample;
    }
    if (bits == 8)
        return row[index];
    const std::size_t bit = index * bits;
    const unsigned shift = 8 - bits - static_cast<unsigned>(bit % 8);
    return (row[bit / 8] >> shift) & ((1u << bits) - 1);
}

bool isDark(const std::uint8_t* row, std::size_t x, const Layout& layout)
{
    const std::size_t first = x * layout.samplesPerPixel;
    const unsigned bits = layout.bitsPerSample;
    switch (layout.colours) {
    case Colours::Grey: {
        const std::uint32_t sample = sampleAt(row, first, bits);
        return isDarkPixel(layout.minIsWhite ? layout.maxValue - sample : sample, 1,
                           layout.maxValue);
    }
    case Colours::Palette: {
        const std::uint32_t entry = sampleAt(row, first, bits);
        const std::uint32_t sum =
            std::uint32_t{layout.red[entry]} + layout.green[entry] + layout.blue[entry];
        return isDarkPixel(sum, 3, layout.paletteMax);
    }
    case Colours::Rgb:
        break;
    }
    const std::uint32_t sum = sampleAt(row, first, bits) + sampleAt(row, first + 1, bits) +
                              sampleAt(row, first + 2, bits);
    return isDarkPixel(sum, 3, layout.maxValue);
}

// Bytes of a row of samples of the given width.
std::uint64_t rowBytes(std::uint64_t width, const Layout& layout)
{
    return (width * layout.samplesPerPixel * layout.bitsPerSample + 7) / 8;
}

// The rows one after the other, as compressed strips must be read.
std::string readStrips(TIFF* tiff, const Layout& layout, TiffPicture& picture)
{
    const auto width = static_cast<std::uint32_t>(picture.width);
    const std::uint64_t lineSize = TIFFScanlineSize64(tiff);
    if (lineSize < rowBytes(width, layout))
        return "its rows are shorter than its width";
    std::vector<std::uint8_t> line(static_cast<std::size_t>(lineSize));
    for (std::uint32_t y = 0; y < static_cast<std::uint32_t>(picture.height); ++y) {
        if (TIFFReadScanline(tiff, line.data(), y, 0) < 0)
            return "row " + std::to_string(y) + " cannot be decoded";
        auto& out = picture.darkPixels[y];
        for (std::uint32_t x = 0; x < width; ++x)
            out[x] = isDark(line.data(), x, layout) ? 1 : 0;
    }
    return "";
}

// The tiles row of tiles by row of tiles; the parts of edge tiles beyond the picture are
// dropped.
std::string readTiles(TIFF* tiff, const Layout& layout, TiffPicture& picture)
{
    std::uint32_t tileWidth = 0;
    std::uint32_t tileLength = 0;
    if (TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth) != 1 ||
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileLength) != 1 || tileWidth == 0 ||
        tileLength == 0)
        return "its tile size is missing";
    const std::uint64_t tileSize = TIFFTileSize64(tiff);
    const std::uint64_t tileRowSize = TIFFTileRowSize64(tiff);
    if (tileSize == 0 || tileSize > MAX_TILE_BYTES || tileRowSize < rowBytes(tileWidth, layout) ||
        tileRowSize * tileLength > tileSize)
        return "its tiles are larger than " + std::to_string(MAX_TILE_BYTES) + " bytes";
    std::vector<std::uint8_t> tile(static_cast<std::size_t>(tileSize));
    const auto width = static_cast<std::uint64_t>(picture.width);
    const auto height = static_cast<std::uint64_t>(picture.height);
    // 64-bit steps: a tile side near 2^32 must not wrap around.
    for (std::uint64_t top = 0; top < height; top += tileLength) {
        for (std::uint64_t left = 0; left < width; left += tileWidth) {
            if (TIFFReadTile(tiff, tile.data(), static_cast<std::uint32_t>(left),
                             static_cast<std::uint32_t>(top), 0, 0) < 0)
                return "the tile at row " + std::to_string(top) + ", column " +
                       std::to_string(left) + " cannot be decoded";
            for (std::uint64_t r = 0; r < tileLength && top + r < height; ++r) {
                const std::uint8_t* line = tile.data() + r * tileRowSize;
                auto& out = picture.darkPixels[top + r];
                for (std::uint64_t c = 0; c < tileWidth && left + c < width; ++c)
                    out[left + c] = isDark(line, c, layout) ? 1 : 0;
            }
        }
    }
    return "";
}

// 1. Size checks before anything is allocated, 2. layout, 3. pixels, in strips or tiles. The
// reason the page cannot be read, or "".
std::string decode(TIFF* tiff, TiffPicture& picture)
{
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) != 1 ||
        TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height) != 1)
        return "its width or height is missing";
    // Every coordinate must fit a 16-bit Point.
    if (width < 1 || width > MAX_IMAGE_SIDE || height < 1 || height > MAX_IMAGE_SIDE)
        return "its width and height must be from 1 to " + std::to_string(MAX_IMAGE_SIDE);
    if (std::int64_t{width} * height > MAX_PICTURE_PIXELS)
        return "it has more than " + std::to_string(MAX_PICTURE_PIXELS) + " pixels";
    Layout layout;
    std::string problem = readLayout(tiff, layout);
    if (!problem.empty())
        return problem;
    picture.width = static_cast<std::int32_t>(width);
    picture.height = static_cast<std::int32_t>(height);
    picture.darkPixels.assign(height, std::vector<std::uint8_t>(width, 0));
    problem =
        TIFFIsTiled(tiff) ? readTiles(tiff, layout, picture) : readStrips(tiff, layout, picture);
    if (!problem.empty())
        return problem;
    picture.morePages = TIFFLastDirectory(tiff) == 0;
    return "";
}

} // namespace

bool TiffPicture::readFile(const std::string& fileName, std::ostream& messages)
{
    std::ifstream input(fileName, std::ios::binary);
    if (!input) {
        messages << "\nCannot read " << fileName << ": the file cannot be opened.\n";
        return false;
    }
    return read(input, fileName, messages);
}

bool TiffPicture::read(std::istream& input, const std::string& fileName, std::ostream& messages)
{
    width = height = 0;
    darkPixels.clear();
    morePages = false;
    const auto fail = [&](const std::string& reason) {
        width = height = 0;
        darkPixels.clear();
        messages << "\nCannot read " << fileName << ": " << reason << ".\n";
        return false;
    };
    if (!hasSignature(input))
        return fail(NOT_TIFF);
    Session session;
    session.input = &input;
    const TiffHandle handle(fileName, session);
    const std::string libtiffSays = session.error.data();
    if (handle.get() == nullptr)
        return fail("its TIFF data is invalid" +
                    (libtiffSays.empty() ? std::string() : " (" + libtiffSays + ")"));
    const std::string problem = decode(handle.get(), *this);
    if (problem.empty())
        return true;
    const std::string detail = session.error.data();
    return fail(problem + (detail.empty() ? std::string() : " (" + detail + ")"));
}

} // namespace Trelm
