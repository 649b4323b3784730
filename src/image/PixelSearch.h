#pragma once

#include <algorithm>
#include <array>
#include <cstdlib>

#include "core/Point.h"
#include "image/BinaryImage.h"

namespace Trelm
{

/// Up to eight neighbours of a pixel, in row-major order.
struct NeighbourList {
    std::array<Point, 8> points;
    int count = 0;

    bool empty() const { return count == 0; }
    const Point* begin() const { return points.data(); }
    const Point* end() const { return points.data() + count; }
    const Point& operator[](int i) const { return points[static_cast<std::size_t>(i)]; }
};

/// The active 8-neighbours of p inside the image's bounding box (both ends included).
NeighbourList activeNeighbours(const BinaryImage& image, Point p);

/// The set-up of a walk along the digital line from start toward target: steep when
/// |dy| >= |dx| (a tie counts as steep), the major coordinate then y; a and b are the absolute
/// minor and major deltas; steps the positions to examine before the target, the image's
/// border on the major axis or maxPositions, whichever comes first.
struct LineWalk {
    bool steep;
    int major;
    int minor;
    int majorStep;
    int minorStep;
    int a;
    int b;
    int steps;
};

/// Plans a walk; false when it examines no position at all. Inline: it runs before every walk.
inline bool planLineWalk(const BinaryImage& image, Point start, Point target, int maxPositions,
                         LineWalk& walk)
{
    const int dx = target.x - start.x;
    const int dy = target.y - start.y;
    const bool steep = std::abs(dy) >= std::abs(dx); // a tie counts as steep
    const int majorDelta = steep ? dy : dx;
    const int minorDelta = steep ? dx : dy;
    const int major = steep ? start.y : start.x;
    const int minor = steep ? start.x : start.y;
    const int majorLimit = steep ? image.height : image.width;
    const int majorStep = majorDelta >= 0 ? 1 : -1;
    const int minorStep = minorDelta >= 0 ? 1 : -1;
    // Coordinates stay within the image, so the 16-bit walk never wraps.
    if (majorDelta == 0 || major < 0 || major >= majorLimit)
        return false;
    const int untilBorder = majorStep > 0 ? majorLimit - major : major + 1;
    walk = {steep,
            major,
            minor,
            majorStep,
            minorStep,
            std::abs(minorDelta),
            std::abs(majorDelta),
            std::min({std::abs(majorDelta), untilBorder, maxPositions})};
    return true;
}

/// Walks the digital line from start toward target and returns the first active pixel met
/// after at least one background pixel; target itself is never examined. On failure found
/// is (-1, -1).
bool findActiveAlongLine(const BinaryImage& image, Point start, Point target, Point& found);

/// findActiveAlongLine looking at no more than the first maxPositions positions of the walk
/// (start included). Position k lies at least k pixels (Manhattan) from start, so a caller that
/// only wants pixels within a Manhattan distance d loses nothing with maxPositions = d + 1.
bool findActiveAlongLine(const BinaryImage& image, Point start, Point target, Point& found,
                         int maxPositions);

} // namespace Trelm
