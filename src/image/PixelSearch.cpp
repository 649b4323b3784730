#include "image/PixelSearch.h"

#include <cstdlib>

namespace Trelm {

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

bool findActiveAlongLine(const BinaryImage& image, Point start, Point target, Point& found)
{
    found = {-1, -1};
    const int dx = target.x - start.x;
    const int dy = target.y - start.y;
    const bool steep = std::abs(dy) >= std::abs(dx); // a tie counts as steep
    const int majorDelta = steep ? dy : dx;
    const int minorDelta = steep ? dx : dy;
    const int majorTarget = steep ? target.y : target.x;
    const int a = std::abs(minorDelta);
    const int b = std::abs(majorDelta);
    const int majorStep = majorDelta >= 0 ? 1 : -1;
    const int minorStep = minorDelta >= 0 ? 1 : -1;
    int decision = 2 * a - b;
    // The walk runs in 16-bit coordinates.
    std::int16_t major = steep ? start.y : start.x;
    std::int16_t minor = steep ? start.x : start.y;
    if (major == majorTarget)
        return false;
    bool seenBackground = false;
    for (;;) {
        const int x = steep ? minor : major;
        const int y = steep ? major : minor;
        if (x < 0 || y < 0 || x >= image.width || y >= image.height)
            return false;
        if (image.rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] == 0) {
            seenBackground = true;
        } else if (seenBackground) {
            found = {static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)};
            return true;
        }
        if (decision > 0) {
            decision += 2 * a - 2 * b;
            minor = static_cast<std::int16_t>(minor + minorStep);
        } else {
            decision += 2 * a;
        }
        major = static_cast<std::int16_t>(major + majorStep);
        if (major == majorTarget)
            return false;
    }
}

} // namespace Trelm
