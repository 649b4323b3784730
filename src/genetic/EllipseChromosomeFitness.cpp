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

int chessboard(Point a, Point b)
{
    return std::max(std::abs(a.x - b.x), std::abs(a.y - b.y));
}

} // namespace

void EllipseChromosome::evaluate()
{
    ++engine->context().evaluationCount;
    BinaryImage& image = engine->searchImage();
    const std::vector<Point>& outline = figure.points;
    const DistanceBound& bound = engine->distanceBound();
    const Point centre{figure.centerX, figure.centerY};
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
        // A chessboard bound of 2 or more proves every neighbour background, as most are on a
        // candidate far from the image's pixels.
        const NeighbourResult neighbour =
            bound.at(p.x, p.y) >= 2 ? NeighbourResult::NoneScored
                                    : matchNeighbour(image, p, figure.centerX, figure.centerY, q);
        if (neighbour != NeighbourResult::NoneScored) {
            if (neighbour == NeighbourResult::Matched) {
                accept(q);
                found += 1.0;
                offsetSum += 1;
            }
            continue;
        }
        // The nearer of the first active pixels inward and outward along the radius.
        if (findNearestAlongRadius(image, bound, p, centre, q)) {
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
