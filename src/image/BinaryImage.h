#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "core/PixelRows.h"
#include "core/Point.h"
#include "core/Random.h"
#include "image/ActiveSide.h"

namespace Trelm
{

/// The image a search runs on (non-zero = active pixel), or a grey output image.
class BinaryImage
{
  public:
    /// Fewer active pixels than this at a rebuild mark the image as used up.
    static constexpr int MIN_ACTIVE_POINTS = 30;

    std::int32_t height = 0;
    std::int32_t width = 0;
    PixelRows rows;
    std::int16_t minX = 4095;
    std::int16_t maxX = -1;
    std::int16_t minY = 4095;
    std::int16_t maxY = -1;
    /// Active pixels in row-major order as of the last rebuild; a snapshot, so re-test the grid.
    std::vector<Point> activePoints;
    /// Pixels cleared for a while; restoreClearedPixels sets them back to 1.
    std::vector<Point> clearedPoints;
    std::int32_t activeCount = 0;
    bool depleted = false;
    /// How load chose the active pixels of a grey or colour picture, said as the console says
    /// it; empty for a bit map.
    std::string activeRule;
    /// What load says of the pages it left unread (those after the first of a multi-page TIFF);
    /// empty when it read them all.
    std::string pageNote;

    /// Whether the name ends in an extension load reads: ".pbm" or ".bmp", or ".png", ".pgm",
    /// ".tif" or ".tiff" in any case.
    static bool hasImageExtension(const std::string& fileName);
    /// Why load refuses a file by its name alone: the message for a name without an extension
    /// or with one load does not read; "" for a name load reads.
    static std::string formatProblem(const std::string& fileName);
    /// Fills the image from a file of an extension hasImageExtension accepts; true on success.
    /// Every failure, a refused name included, is said on messages. A PBM's 1 is active
    /// whatever the side; a BMP's dark pixels unless the side is Light; a PNG's, PGM's or
    /// TIFF's pixels of the side.
    bool load(const std::string& fileName, std::ostream& messages,
              ActiveSide side = ActiveSide::Minority);

    /// Recomputes the active points, their count, the bounding box (only ever widened) and
    /// the depleted flag (only ever set).
    void rebuildActivePoints();

    /// Draws a random active pixel into picked; false when the image is depleted.
    bool pickActivePoint(Point& picked, RandomGenerator& random);

    /// Sets a pixel to 0 and remembers it for restoreClearedPixels.
    void clearPixel(Point p)
    {
        rows[static_cast<std::size_t>(p.y)][static_cast<std::size_t>(p.x)] = 0;
        clearedPoints.push_back(p);
    }

    /// Sets every remembered pixel back to 1, in order, and forgets them.
    BinaryImage& restoreClearedPixels();

    /// Gives the image a grid of the given size, every pixel set to value.
    void resize(int newHeight, int newWidth, std::uint8_t value);

  private:
    bool loadBmp(const std::string& fileName, std::ostream& messages, ActiveSide side);
    bool loadPng(const std::string& fileName, std::ostream& messages, ActiveSide side);
    bool loadPgm(const std::string& fileName, std::ostream& messages, ActiveSide side);
    bool loadTiff(const std::string& fileName, std::ostream& messages, ActiveSide side);
    void adoptDarkPixels(int newWidth, int newHeight, PixelRows dark, ActiveSide side);
};

} // namespace Trelm
