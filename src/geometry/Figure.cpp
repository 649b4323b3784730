#include "geometry/Figure.h"

namespace Trelm
{

void paintSquares(const std::vector<Point>& centres, int thickness, PixelRows& rows, int rowCount,
                  int columnCount)
{
    const int half = thickness / 2;
    for (const Point& centre : centres) {
        forEachSquarePixel(centre, half, rowCount, columnCount, [&rows](int row, int column) {
            std::uint8_t& pixel =
                rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
            if (pixel == BACKGROUND_GREY)
                pixel = FIGURE_GREY;
        });
    }
}

} // namespace Trelm
