#pragma once

#include <algorithm>
#include <vector>

#include "core/PixelRows.h"
#include "core/Point.h"
#include "core/RunContext.h"

namespace Trelm
{

/// Grey level of a drawn figure in an output image; 255 is background, 0 an image pixel.
constexpr std::uint8_t FIGURE_GREY = 190;
constexpr std::uint8_t BACKGROUND_GREY = 255;

/// A figure searched for in an image: knows its outline and how to draw it.
class Figure
{
  public:
    /// The outline, filled by generatePoints.
    std::vector<Point> points;

    virtual ~Figure() = default;
    /// Adds the outline pixels that lie inside [0, xBound) x [0, yBound).
    virtual void generatePoints(int& xBound, int& yBound, const RunContext& context) = 0;
    /// Paints the outline, squares of the given thickness, over the background of a grey image.
    virtual void draw(PixelRows& rows, int rowCount, int columnCount, int thickness) const = 0;

  protected:
    Figure() = default;
    Figure(const Figure&) = default;
    Figure& operator=(const Figure&) = default;
};

/// Calls visit(row, column) for the square of side 2·half around p, clipped to the grid.
/// The square reaches one pixel further before p than after it (rows y - half to y + half - 1).
template <typename Visit>
void forEachSquarePixel(Point p, int half, int rowCount, int columnCount, Visit visit)
{
    const int rowEnd = std::min(p.y + half, rowCount);
    const int columnEnd = std::min(p.x + half, columnCount);
    for (int row = std::max(p.y - half, 0); row < rowEnd; ++row)
        for (int column = std::max(p.x - half, 0); column < columnEnd; ++column)
            visit(row, column);
}

/// Paints a square of the given thickness around each point, turning only background grey.
void paintSquares(const std::vector<Point>& centres, int thickness, PixelRows& rows, int rowCount,
                  int columnCount);

} // namespace Trelm
