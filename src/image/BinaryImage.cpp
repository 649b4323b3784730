#include "image/BinaryImage.h"

#include <filesystem>
#include <utility>

#include "core/Random.h"
#include "image/BmpPicture.h"
#include "image/GreyLevel.h"
#include "image/PbmFile.h"
#include "image/PgmPicture.h"
#include "image/PngPicture.h"

namespace Trelm
{

namespace
{
// pickActivePoint rebuilds the snapshot after this many draws of cleared pixels in a row.
constexpr int MISSES_BEFORE_REBUILD = 100;
} // namespace

bool BinaryImage::hasImageExtension(const std::string& fileName)
{
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos)
        return false;
    const std::string extension = fileName.substr(dot);
    return extension == ".bmp" || extension == ".pbm" || extension == ".png" || extension == ".pgm";
}

std::string BinaryImage::formatProblem(const std::string& fileName)
{
    if (fileName.rfind('.') == std::string::npos)
        return "Unknown image format, please use an extension (e.g. jpg, bmp ...) in the filename";
    return hasImageExtension(fileName) ? "" : "Unknown image format";
}

bool BinaryImage::load(const std::string& fileName, std::ostream& messages, bool lightIsActive)
{
    const std::string problem = formatProblem(fileName);
    if (!problem.empty()) {
        messages << "\n" << problem << "\n";
        return false;
    }
    const std::string extension = fileName.substr(fileName.rfind('.'));
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
    if (extension == ".bmp") {
        loaded = loadBmp(fileName, messages, lightIsActive);
    } else if (extension == ".png") {
        loaded = loadPng(fileName, messages, lightIsActive);
    } else if (extension == ".pgm") {
        loaded = loadPgm(fileName, messages, lightIsActive);
    } else {
        // A bit map, not a grey one: its 1 is ink whatever lightIsActive says.
        loaded = PBMB_READ(fileName, width, height, rows, messages);
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

bool BinaryImage::loadBmp(const std::string& fileName, std::ostream& messages, bool lightIsActive)
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
    adoptDarkPixels(picture.width, picture.height, std::move(dark), lightIsActive);
    return true;
}

bool BinaryImage::loadPng(const std::string& fileName, std::ostream& messages, bool lightIsActive)
{
    PngPicture picture;
    if (!picture.readFile(fileName, messages))
        return false;
    adoptDarkPixels(picture.width, picture.height, std::move(picture.darkPixels), lightIsActive);
    return true;
}

bool BinaryImage::loadPgm(const std::string& fileName, std::ostream& messages, bool lightIsActive)
{
    PgmPicture picture;
    if (!picture.readFile(fileName, messages))
        return false;
    adoptDarkPixels(picture.width, picture.height, std::move(picture.darkPixels), lightIsActive);
    return true;
}

void BinaryImage::adoptDarkPixels(int newWidth, int newHeight, PixelRows dark, bool lightIsActive)
{
    width = newWidth;
    height = newHeight;
    rows = std::move(dark);
    // Light is exactly "not dark": an edge map stored white on black is its complement.
    if (lightIsActive)
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
