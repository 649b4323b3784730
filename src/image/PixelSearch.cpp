#include "image/PixelSearch.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace Trelm
{

NeighbourList activeNeighbours(const BinaryImage& image, Point p)
{
    NeighbourList list;
    for (int dy = -1; dy <= 1; ++dy) {
        const int y = p.y + dy;
        if (y < image.minY || y > image.maxY)
            continue;
        const auto& row = image.rows[static_cast<std::size_t>(y)];
        for (int dx = -1; dx <= 1; ++dx) {
            const int x = p.x + dx;
            if ((dx == 0 && dy == 0) || x < image.minX || x > image.maxX)
                continue;
            if (row[static_cast<std::size_t>(x)] != 0)
                list.points[static_cast<std::size_t>(list.count++)] = {
                    static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)};
        }
    }
    return list;
}

namespace
{

// The Bresenham walk along one line, major coordinate first. steps is the number of
// positions to examine: the walk stops when the major coordinate reaches the target or
// leaves the image, whichever comes first (both mean nothing was found).
template <bool Steep>
bool walkLine(const BinaryImage& image, int major, int minor, int majorStep, int minorStep, int a,
              int b, int steps, Point& found)
{
    const int minorLimit = Steep ? image.width : image.height;
    int decision = 2 * a - b;
    bool seenBackground = false;
    for (int k = 0; k < steps; ++k, major += majorStep) {
        if (minor < 0 || minor >= minorLimit)
            return false;
        const int x = Steep ? minor : major;
        const int y = Steep ? major : minor;
        if (image.rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] == 0) {
            seenBackground = true;
        } else if (seenBackground) {
            found = {static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)};
            return true;
        }
        if (decision > 0) {
            decision += 2 * a - 2 * b;
            minor += minorStep;
        } else {
            decision += 2 * a;
        }
    }
    return false;
}

} // namespace

bool findActiveAlongLine(const BinaryImage& image, Point start, Point target, Point& found)
{
    return findActiveAlongLine(image, start, target, found, std::numeric_limits<int>::max());
}

bool findActiveAlongLine(const BinaryImage& image, Point start, Point target, Point& found,
                         int maxPositions)
{
    found = {-1, -1};
    LineWalk w;
    if (!planLineWalk(image, start, target, maxPositions, w))
        return false;
    return w.steep ? walkLine<true>(image, w.major, w.minor, w.majorStep, w.minorStep, w.a, w.b,
                                    w.steps, found)
                   : walkLine<false>(image, w.major, w.minor, w.majorStep, w.minorStep, w.a, w.b,
                                     w.steps, found);
}

} // namespace Trelm
