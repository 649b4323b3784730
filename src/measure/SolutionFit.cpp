#include "measure/SolutionFit.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "geometry/ConicFit.h"

namespace Trelm
{

namespace
{

// Pixels are gathered this far around each outline pixel, and kept when their orthogonal
// distance from the search's ellipse is within the band: a stroke three pixels thick, with the
// search's rounding, stays inside.
constexpr int GATHER_RADIUS = 3;
constexpr double BAND = 2.5;
// After the first fit only pixels this near it are used: a pixel of a crossing curve or of
// clutter pulls a least-squares fit by the square of its distance.
constexpr double TRIM = 1.5;
constexpr int ITERATIONS = 6;
constexpr std::size_t MIN_PIXELS = 8;
// The fit may always move the centre and change the axes by this many pixels.
constexpr double MAX_SHIFT = 3.0;

// The active pixels around the outline pixels, each once, in row-major order.
std::vector<PlanePoint> pixelsAround(const BinaryImage& image, const std::vector<Point>& outline)
{
    std::vector<std::int32_t> keys;
    for (const Point& p : outline) {
        for (int y = std::max(0, p.y - GATHER_RADIUS);
             y <= std::min(image.height - 1, p.y + GATHER_RADIUS); ++y) {
            // A file cut short leaves rows shorter than the width, inactive beyond their end.
            const auto& row = image.rows[static_cast<std::size_t>(y)];
            const int end = std::min(static_cast<int>(row.size()), image.width) - 1;
            for (int x = std::max(0, p.x - GATHER_RADIUS); x <= std::min(end, p.x + GATHER_RADIUS);
                 ++x)
                if (row[static_cast<std::size_t>(x)] != 0)
                    keys.push_back(y * 65536 + x);
        }
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    std::vector<PlanePoint> pixels;
    pixels.reserve(keys.size());
    for (std::int32_t key : keys)
        pixels.push_back({static_cast<double>(key % 65536), static_cast<double>(key / 65536)});
    return pixels;
}

bool closeTo(const EllipseParameters& fit, const EllipseParameters& start,
             const SolutionFit::Reach& reach)
{
    const double shift = std::max(MAX_SHIFT, reach.shiftShare * start.majorAxis);
    return std::hypot(fit.centerX - start.centerX, fit.centerY - start.centerY) <= shift &&
           std::fabs(fit.majorAxis - start.majorAxis) <=
               std::max(MAX_SHIFT, reach.axisShare * start.majorAxis) &&
           std::fabs(fit.minorAxis - start.minorAxis) <=
               std::max(MAX_SHIFT, reach.axisShare * start.minorAxis);
}

} // namespace

bool SolutionFit::refit(const BinaryImage& image, const Ellipse& ellipse, EllipseParameters& result,
                        const Reach& reach)
{
    const EllipseParameters start = ellipse.parameters();
    if (!(start.majorAxis > 0) || !(start.minorAxis > 0))
        return false;
    // 1. The pixels of the band around the search's ellipse.
    const std::vector<PlanePoint> band =
        ConicFit::pointsWithin(start, pixelsAround(image, ellipse.points), BAND);
    if (band.size() < MIN_PIXELS)
        return false;
    // 2. A first fit: the algebraic one when it is the closer, else the search's own ellipse.
    EllipseParameters fit = start;
    EllipseParameters algebraic;
    if (ConicFit::fitAlgebraic(band, algebraic) && closeTo(algebraic, start, reach) &&
        ConicFit::rmsDistance(algebraic, band) < ConicFit::rmsDistance(start, band))
        fit = algebraic;
    // 3. Orthogonal distances, twice: the second time on the pixels near the first result.
    for (int pass = 0; pass < 2; ++pass) {
        const std::vector<PlanePoint> near = ConicFit::pointsWithin(fit, band, TRIM);
        if (near.size() < MIN_PIXELS || !ConicFit::refineGeometric(near, fit, ITERATIONS))
            return false;
    }
    if (!closeTo(fit, start, reach))
        return false;
    result = fit;
    return true;
}

} // namespace Trelm
