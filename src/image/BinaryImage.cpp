#include "image/BinaryImage.h"

#include <filesystem>

#include "core/Exceptions.h"
#include "core/Random.h"
#include "image/BmpPicture.h"
#include "image/PbmFile.h"

namespace Trelm
{

namespace
{
// pickActivePoint rebuilds the snapshot after this many draws of cleared pixels in a row.
constexpr int MISSES_BEFORE_REBUILD = 100;
} // namespace

bool BinaryImage::load(const std::string& fileName, std::ostream& messages)
{
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos)
        throw InvalidParameterException(
            "Unknown image format, please use an extension (e.g. jpg, bmp ...) in the filename");
    const std::string extension = fileName.substr(dot);
    if (extension == ".bmp" || extension == ".pbm") {
        // A FIFO or a device would block or never end: only regular files are read.
        std::error_code error;
        const auto status = std::filesystem::status(fileName, error);
        if (!error && std::filesystem::exists(status) &&
            !std::filesystem::is_regular_file(status)) {
            messages << "\nCannot read " << fileName << ": it is not a regular file.\n";
            return false;
        }
    }
    bool loaded = false;
    rows.clear();
    height = width = 0;
    if (extension == ".bmp") {
        loaded = loadBmp(fileName, messages);
    } else if (extension == ".pbm") {
        loaded = !PBMB_READ(fileName, width, height, rows, messages);
    } else {
        throw InvalidParameterException("Unknown image format");
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

bool BinaryImage::loadBmp(const std::string& fileName, std::ostream& messages)
{
    BmpPicture picture;
    if (!picture.readFile(fileName, messages))
        return false;
    width = picture.width;
    height = picture.height;
    rows.assign(static_cast<std::size_t>(height), std::vector<std::uint8_t>(width, 0));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const BmpColor color = picture.pixel(x, y);
            // Dark pixels are active, as a PBM's 1 is black: the mean of red, green, blue < 128.
            const int sum = color.red + color.green + color.blue;
            rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = sum < 3 * 128 ? 1 : 0;
        }
    }
    return true;
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
