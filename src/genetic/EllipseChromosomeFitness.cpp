#include <cmath>
#include <cstdlib>
#include <limits>

#include "genetic/EllipseChromosome.h"

namespace Trelm
{

namespace
{

// A neighbour lying within about 31.8 degrees of the direction to the centre is a match.
constexpr double INWARD_MATCH = 0.85;
const double DIAGONAL_STEP = std::sqrt(2.0);

enum class NeighbourResult { NoneScored, NoMatch, Matched };

// Scores the active 8-neighbours of p by the cosine between the step to them and the
// direction toward the centre, and picks the most outward one, or else a clearly inward one.
// The bounding box's last row and column are not searched.
NeighbourResult matchNeighbour(const BinaryImage& image, Point p, int centerX, int centerY,
                               Point& match)
{
    const double rx = p.x - centerX;
    const double ry = p.y - centerY;
    const double radius = std::sqrt(rx * rx + ry * ry);
    const double straightScale = 1.0 * radius;
    const double diagonalScale = DIAGONAL_STEP * radius;
    double maxScore = -10.0;
    double minScore = 10.0;
    Point maxPos{-1, -1};
    Point minPos{-1, -1};
    for (int dy = -1; dy <= 1; ++dy) {
        const int y = p.y + dy;
        if (y < image.minY || y >= image.maxY)
            continue;
        const std::uint8_t* row = image.rows[static_cast<std::size_t>(y)].data();
        for (int dx = -1; dx <= 1; ++dx) {
            const int x = p.x + dx;
            if ((dx == 0 && dy == 0) || x < image.minX || x >= image.maxX || row[x] != 1)
                continue;
            const double scale = (dx != 0 && dy != 0) ? diagonalScale : straightScale;
            const double score = -(dx * rx + dy * ry) / scale;
            const Point q{static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)};
            // Strict comparisons: among equal scores the first neighbour wins; NaN changes
            // nothing.
            if (score > maxScore) {
                maxScore = score;
                maxPos = q;
            }
            if (score < minScore) {
                minScore = score;
                minPos = q;
            }
        }
    }
    if (minScore == 10.0)
        return NeighbourResult::NoneScored;
    if (minScore < 0) {
        match = minPos;
        return NeighbourResult::Matched;
    }
    if (maxScore > INWARD_MATCH) {
        match = maxPos;
        return NeighbourResult::Matched;
    }
    return NeighbourResult::NoMatch;
}

int manhattan(Point a, Point b)
{
    return std::abs(a.x - b.x) + std::abs(a.y - b.y);
}
int chessboard(Point a, Point b)
{
    return std::max(std::abs(a.x - b.x), std::abs(a.y - b.y));
}

} // namespace

bool EllipseChromosome::findRadialMatch(const BinaryImage& image, Point p, Point& match) const
{
    const Point centre{figure.centerX, figure.centerY};
    // As far beyond p as the centre lies before it, in 16-bit arithmetic.
    const Point beyond{static_cast<std::int16_t>(2 * p.x - centre.x),
                       static_cast<std::int16_t>(2 * p.y - centre.y)};
    Point inward;
    Point outward;
    const DistanceBound& bound = engine->distanceBound();
    const bool foundIn = findActiveAlongLineFast(image, bound, p, centre, inward);
    // Outward, only a pixel no further than the inward one can win (a tie goes outward), so
    // the walk stops there.
    const int outwardPositions =
        foundIn ? manhattan(inward, p) + 1 : std::numeric_limits<int>::max();
    const bool foundOut =
        findActiveAlongLineFast(image, bound, p, beyond, outward, outwardPositions);
    if (!foundIn && !foundOut)
        return false;
    if (foundIn && foundOut) // a tie goes outward
        match = manhattan(inward, p) < manhattan(outward, p) ? inward : outward;
    else
        match = foundIn ? inward : outward;
    return true;
}

void EllipseChromosome::evaluate()
{
    ++engine->context().evaluationCount;
    BinaryImage& image = engine->searchImage();
    const std::vector<Point>& outline = figure.points;
    // Reserved once per evaluation, so matching allocates nothing per outline point.
    matchedPixels.clear();
    matchedPixels.reserve(outline.size());
    image.clearedPoints.reserve(image.clearedPoints.size() + outline.size());
    double found = 0.0;
    std::int32_t offsetSum = 0;
    for (const Point& p : outline) {
        // Every matched pixel is cleared at once, so it is matched at most once.
        const auto accept = [&](Point q) {
            matchedPixels.push_back(q);
            image.clearPixel(q);
        };
        if (image.rows[static_cast<std::size_t>(p.y)][static_cast<std::size_t>(p.x)] == 1) {
            accept(p);
            found += 1.0;
            continue;
        }
        Point q;
        const NeighbourResult neighbour =
            matchNeighbour(image, p, figure.centerX, figure.centerY, q);
        if (neighbour != NeighbourResult::NoneScored) {
            if (neighbour == NeighbourResult::Matched) {
                accept(q);
                found += 1.0;
                offsetSum += 1;
            }
            continue;
        }
        if (findRadialMatch(image, p, q)) {
            const int d = chessboard(q, p);
            accept(q);
            found += 1.0 / d;
            offsetSum += d;
        }
    }
    // An outline clipped away entirely scores 0.
    completeness = outline.empty() ? 0.0 : found / static_cast<double>(outline.size());
    const auto matched = static_cast<double>(matchedPixels.size());
    distance = matchedPixels.empty()
                   ? NO_DISTANCE
                   : offsetSum / (matched * (figure.majorAxis + figure.minorAxis));
    image.restoreClearedPixels();
}

} // namespace Trelm
