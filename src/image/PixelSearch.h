#pragma once

#include <array>

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
