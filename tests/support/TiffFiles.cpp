#include "support/TiffFiles.h"

#include <stdexcept>

#include <tiffio.h>

namespace Trelm::test
{

namespace
{

// Packs one row's samples as TIFF stores them.
std::vector<std::uint8_t> packedRow(const std::vector<std::uint16_t>& samples, int bits)
{
    std::vector<std::uint8_t> bytes;
    if (bits == 16) {
        for (std::uint16_t sample : samples) {
            // libtiff takes 16-bit samples in the machine's order.
            const auto* p = reinterpret_cast<const std::uint8_t*>(&sample);
            bytes.insert(bytes.end(), p, p + 2);
        }
        return bytes;
    }
    bytes.assign((samples.size() * static_cast<std::size_t>(bits) + 7) / 8, 0);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::size_t bit = i * static_cast<std::size_t>(bits);
        bytes[bit / 8] |= static_cast<std::uint8_t>(samples[i] << (8 - bits - bit % 8));
    }
    return bytes;
}

// Every tile in turn, its rows packed one after the other, 0 beyond the picture's edges.
void writeTiles(TIFF* tiff, int width, int height, const TiffLayout& layout,
                const std::vector<std::vector<std::uint16_t>>& samples)
{
    const auto side = static_cast<std::size_t>(layout.tileSide);
    const auto perPixel = static_cast<std::size_t>(layout.samplesPerPixel);
    const auto rows = static_cast<std::size_t>(height);
    const auto rowSamples = static_cast<std::size_t>(width) * perPixel;
    for (std::size_t top = 0; top < rows; top += side) {
        for (std::size_t left = 0; left * perPixel < rowSamples; left += side) {
            std::vector<std::uint8_t> tile;
            for (std::size_t y = top; y < top + side; ++y) {
                std::vector<std::uint16_t> row(side * perPixel, 0);
                for (std::size_t k = 0; y < rows && k < row.size(); ++k)
                    if (left * perPixel + k < rowSamples)
                        row[k] = samples[y][left * perPixel + k];
                const std::vector<std::uint8_t> packed = packedRow(row, layout.bitsPerSample);
                tile.insert(tile.end(), packed.begin(), packed.end());
            }
            if (TIFFWriteTile(tiff, tile.data(), static_cast<std::uint32_t>(left),
                              static_cast<std::uint32_t>(top), 0, 0) < 0)
                throw std::runtime_error("libtiff could not write a test tile");
        }
    }
}

void writePage(TIFF* tiff, int width, int height, const TiffLayout& layout,
               const std::vector<std::vector<std::uint16_t>>& samples)
{
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, static_cast<std::uint16_t>(layout.bitsPerSample));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, static_cast<std::uint16_t>(layout.samplesPerPixel));
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, static_cast<std::uint16_t>(layout.compression));
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, static_cast<std::uint16_t>(layout.photometric));
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, static_cast<std::uint16_t>(PLANARCONFIG_CONTIG));
    if (layout.tileSide > 0) {
        TIFFSetField(tiff, TIFFTAG_TILEWIDTH, static_cast<std::uint32_t>(layout.tileSide));
        TIFFSetField(tiff, TIFFTAG_TILELENGTH, static_cast<std::uint32_t>(layout.tileSide));
    } else {
        TIFFSetField(
            tiff, TIFFTAG_ROWSPERSTRIP,
            static_cast<std::uint32_t>(layout.rowsPerStrip > 0 ? layout.rowsPerStrip : height));
    }
    if (layout.samplesPerPixel == 2 || layout.samplesPerPixel == 4) {
        const std::uint16_t alpha = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &alpha);
    }
    if (!layout.red.empty())
        TIFFSetField(tiff, TIFFTAG_COLORMAP, layout.red.data(), layout.green.data(),
                     layout.blue.data());
    if (layout.tileSide > 0)
        writeTiles(tiff, width, height, layout, samples);
    for (int y = 0; layout.tileSide == 0 && y < height; ++y) {
        std::vector<std::uint8_t> row =
            packedRow(samples[static_cast<std::size_t>(y)], layout.bitsPerSample);
        if (TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y), 0) < 0)
            throw std::runtime_error("libtiff could not write a test row");
    }
    if (!TIFFWriteDirectory(tiff))
        throw std::runtime_error("libtiff could not write a test page");
}

void putLe(std::string& bytes, std::uint32_t value, int size)
{
    for (int k = 0; k < size; ++k)
        bytes += static_cast<char>((value >> (8 * k)) & 0xFF);
}

} // namespace

void writeTiff(const std::string& path, int width, int height, const TiffLayout& layout,
               const std::vector<std::vector<std::uint16_t>>& samples)
{
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (tiff == nullptr)
        throw std::runtime_error("libtiff could not create " + path);
    try {
        for (int page = 0; page < layout.pages; ++page)
            writePage(tiff, width, height, layout, samples);
    } catch (...) {
        TIFFClose(tiff);
        throw;
    }
    TIFFClose(tiff);
}

void writeTiff(const std::string& path, const BinaryImage& image, int compression, int pages)
{
    TiffLayout layout;
    layout.pages = pages;
    layout.compression = compression;
    layout.photometric = PHOTOMETRIC_MINISWHITE;
    layout.bitsPerSample = 1;
    std::vector<std::vector<std::uint16_t>> samples;
    for (const auto& row : image.rows)
        samples.emplace_back(row.begin(), row.end());
    writeTiff(path, image.width, image.height, layout, samples);
}

std::string tiffWithSize(std::uint32_t width, std::uint32_t height)
{
    // Header, then at offset 8 a directory of 8 entries of 12 bytes, then the one data byte.
    std::string bytes = "II";
    putLe(bytes, 42, 2);
    putLe(bytes, 8, 4);
    const std::uint32_t entries = 8;
    const std::uint32_t dataAt = 8 + 2 + entries * 12 + 4;
    putLe(bytes, entries, 2);
    const std::uint32_t tags[entries][3] = {
        {TIFFTAG_IMAGEWIDTH, 4, width},    {TIFFTAG_IMAGELENGTH, 4, height},
        {TIFFTAG_BITSPERSAMPLE, 3, 8},     {TIFFTAG_COMPRESSION, 3, 1},
        {TIFFTAG_PHOTOMETRIC, 3, 1},       {TIFFTAG_STRIPOFFSETS, 4, dataAt},
        {TIFFTAG_ROWSPERSTRIP, 4, height}, {TIFFTAG_STRIPBYTECOUNTS, 4, 1}};
    for (const auto& tag : tags) {
        putLe(bytes, tag[0], 2);
        putLe(bytes, tag[1], 2);
        putLe(bytes, 1, 4);
        // A short value sits in the low bytes of the field.
        putLe(bytes, tag[2], 4);
    }
    putLe(bytes, 0, 4);
    bytes += '\0';
    return bytes;
}

} // namespace Trelm::test
