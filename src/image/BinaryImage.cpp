#include "image/BinaryImage.h"

#include <cctype>
#include <filesystem>
#include <utility>

#include "core/Random.h"
#include "image/BmpPicture.h"
#include "image/GreyLevel.h"
#include "image/PbmFile.h"
#include "image/PgmPicture.h"
#include "image/PngPicture.h"
#include "image/TiffPicture.h"

namespace Trelm
{

namespace
{

// pickActivePoint rebuilds the snapshot after this many draws of cleared pixels in a row.
constexpr int MISSES_BEFORE_REBUILD = 100;

enum class Format { Unknown, Pbm, Bmp, Png, Pgm, Tiff };

// PBM and BMP names keep their lower-case extensions; the grey and colour formats came later
// from tools that write ".PNG" or ".TIF" as readily, so their extensions take any case.
Format formatOf(const std::string& fileName)
{
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos)
        return Format::Unknown;
    const std::string extension = fileName.substr(dot);
    if (extension == ".pbm")
        return Format::Pbm;
    if (extension == ".bmp")
        return Format::Bmp;
    std::string lower = extension;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == ".png")
        return Format::Png;
    if (lower == ".pgm")
        return Format::Pgm;
    if (lower == ".tif" || lower == ".tiff")
        return Format::Tiff;
    return Format::Unknown;
}

std::string activeCount(std::uint64_t count, std::uint64_t total, const char* side)
{
    return std::to_string(count) + " of " + std::to_string(total) + " pixels are " + side;
}

// Whether the light side of the dark grid is active, and the rule that says so. The minority
// side is the ink of a drawing or the edges of an edge map, whichever way round it was stored;
// a tie keeps the dark side, the ink of paper.
bool lightIsActive(const PixelRows& dark, ActiveSide side, std::string& rule)
{
    if (side == ActiveSide::Light) {
        rule = "Active pixels: the light ones, as --light-is-active asks";
        return true;
    }
    if (side == ActiveSide::Dark) {
        rule = "Active pixels: the dark ones, as --dark-is-active asks";
        return false;
    }
    std::uint64_t total = 0;
    std::uint64_t darkCount = 0;
    for (const auto& row : dark) {
        total += row.size();
        for (const std::uint8_t pixel : row)
            darkCount += pixel;
    }
    const std::uint64_t lightCount = total - darkCount;
    const char* const forcing = "; --dark-is-active or --light-is-active forces a side";
    if (lightCount < darkCount) {
        rule = "Active pixels: the light ones, fewer than the dark (" +
               activeCount(lightCount, total, "light") + ")" + forcing;
        return true;
    }
    rule = "Active pixels: the dark ones, " +
           std::string(darkCount == lightCount ? "as many as the light, and a tie goes to the dark"
                                               : "fewer than the light") +
           " (" + activeCount(darkCount, total, "dark") + ")" + forcing;
    return false;
}

} // namespace

bool BinaryImage::hasImageExtension(const std::string& fileName)
{
    return formatOf(fileName) != Format::Unknown;
}

std::string BinaryImage::formatProblem(const std::string& fileName)
{
    if (fileName.rfind('.') == std::string::npos)
        return "Unknown image format, please use an extension (e.g. jpg, bmp ...) in the filename";
    return hasImageExtension(fileName) ? "" : "Unknown image format";
}

bool BinaryImage::load(const std::string& fileName, std::ostream& messages, ActiveSide side)
{
    const std::string problem = formatProblem(fileName);
    if (!problem.empty()) {
        messages << "\n" << problem << "\n";
        return false;
    }
    const Format format = formatOf(fileName);
    // A FIFO or a device would block or never end: only regular files are read.
    std::error_code error;
    const auto status = std::filesystem::status(fileName, error);
    if (!error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        messages << "\nCannot read " << fileName << ": it is not a regular file.\n";
        return false;
    }
    bool loaded = false;
    rows.clear();
    height = width = 0;
    activeRule.clear();
    pageNote.clear();
    switch (format) {
    case Format::Bmp:
        loaded = loadBmp(fileName, messages, side);
        break;
    case Format::Png:
        loaded = loadPng(fileName, messages, side);
        break;
    case Format::Pgm:
        loaded = loadPgm(fileName, messages, side);
        break;
    case Format::Tiff:
        loaded = loadTiff(fileName, messages, side);
        break;
    case Format::Pbm:
    case Format::Unknown:
        // A bit map, not a grey one: its 1 is ink whatever the side.
        loaded = PBMB_READ(fileName, width, height, rows, messages);
        break;
    }
    // A failed read may leave fewer rows than the header promised; keep the table consistent.
    rows.resize(static_cast<std::size_t>(height));
    minX = static_cast<std::int16_t>(width);
    minY = static_cast<std::int16_t>(height);
    maxX = 0;
    maxY = 0;
    depleted = false;
    return loaded;
}

bool BinaryImage::loadBmp(const std::string& fileName, std::ostream& messages, ActiveSide side)
{
    BmpPicture picture;
    if (!picture.readFile(fileName, messages))
        return false;
    PixelRows dark(static_cast<std::size_t>(picture.height),
                   std::vector<std::uint8_t>(static_cast<std::size_t>(picture.width), 0));
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const BmpColor color = picture.pixel(x, y);
            // Dark, as a PBM's 1 is black: the mean of red, green and blue below 128.
            const int sum = color.red + color.green + color.blue;
            dark[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] =
                isDarkPixel(static_cast<std::uint32_t>(sum), 3, 255) ? 1 : 0;
        }
    }
    // A BMP keeps the meaning it has always had: dark is ink unless light is asked for.
    const ActiveSide bmpSide = side == ActiveSide::Light ? side : ActiveSide::Dark;
    adoptDarkPixels(picture.width, picture.height, std::move(dark), bmpSide);
    if (side == ActiveSide::Minority)
        activeRule = "Active pixels: the dark ones, as in every BMP unless --light-is-active "
                     "is given";
    return true;
}

bool BinaryImage::loadPng(const std::string& fileName, std::ostream& messages, ActiveSide side)
{
    PngPicture picture;
    if (!picture.readFile(fileName, messages))
        return false;
    adoptDarkPixels(picture.width, picture.height, std::move(picture.darkPixels), side);
    return true;
}

bool BinaryImage::loadPgm(const std::string& fileName, std::ostream& messages, ActiveSide side)
{
    PgmPicture picture;
    if (!picture.readFile(fileName, messages))
        return false;
    adoptDarkPixels(picture.width, picture.height, std::move(picture.darkPixels), side);
    return true;
}

bool BinaryImage::loadTiff(const std::string& fileName, std::ostream& messages, ActiveSide side)
{
    TiffPicture picture;
    if (!picture.readFile(fileName, messages))
        return false;
    adoptDarkPixels(picture.width, picture.height, std::move(picture.darkPixels), side);
    if (picture.morePages)
        pageNote = "Only the first page of " + fileName + " is read: the file holds more";
    return true;
}

void BinaryImage::adoptDarkPixels(int newWidth, int newHeight, PixelRows dark, ActiveSide side)
{
    width = newWidth;
    height = newHeight;
    rows = std::move(dark);
    const bool light = lightIsActive(rows, side, activeRule);
    // Light is exactly "not dark": an edge map stored white on black is its complement.
    if (light)
        for (auto& row : rows)
            for (std::uint8_t& pixel : row)
                pixel ^= 1;
}

void BinaryImage::rebuildActivePoints()
{
    activePoints.clear();
    for (int y = 0; y < height; ++y) {
        const auto& row = rows[static_cast<std::size_t>(y)];
        for (int x = 0; x < static_cast<int>(row.size()) && x < width; ++x) {
            if (row[static_cast<std::size_t>(x)] == 0)
                continue;
            if (y <= minY)
                minY = static_cast<std::int16_t>(y);
            if (y >= maxY)
                maxY = static_cast<std::int16_t>(y);
            if (x <= minX)
                minX = static_cast<std::int16_t>(x);
            if (x >= maxX)
                maxX = static_cast<std::int16_t>(x);
            activePoints.push_back({static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)});
        }
    }
    activeCount = static_cast<std::int32_t>(activePoints.size());
    if (activeCount < MIN_ACTIVE_POINTS)
        depleted = true;
}

bool BinaryImage::pickActivePoint(Point& picked, RandomGenerator& random)
{
    int misses = 0;
    for (;;) {
        if (depleted)
            return false;
        const Point& candidate =
            activePoints[static_cast<std::size_t>(random.randomIndex(activeCount))];
        if (rows[static_cast<std::size_t>(candidate.y)][static_cast<std::size_t>(candidate.x)] !=
            0) {
            picked = candidate;
            return true;
        }
        if (++misses == MISSES_BEFORE_REBUILD) {
            rebuildActivePoints();
            misses = 0;
        }
    }
}

BinaryImage& BinaryImage::restoreClearedPixels()
{
    for (const Point& p : clearedPoints)
        rows[static_cast<std::size_t>(p.y)][static_cast<std::size_t>(p.x)] = 1;
    clearedPoints.clear();
    return *this;
}

void BinaryImage::resize(int newHeight, int newWidth, std::uint8_t value)
{
    height = newHeight;
    width = newWidth;
    rows.assign(static_cast<std::size_t>(newHeight),
                std::vector<std::uint8_t>(static_cast<std::size_t>(newWidth), value));
}

} // namespace Trelm
