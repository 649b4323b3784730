#include <cmath>

#include "core/Exceptions.h"
#include "core/Random.h"
#include "core/Rounding.h"
#include "genetic/ChainSeeder.h"
#include "genetic/EllipseChromosome.h"
#include "geometry/Pi.h"

namespace Trelm
{

namespace
{

// Half-width of the bands around PI/2 and 3·PI/2 where a ray goes straight up or down.
constexpr double VERTICAL_BAND = 0.05;
// A mutation follows the traced curve only when tracing found more pixels than this.
constexpr std::size_t MIN_TRACED_FOR_MUTATION = 10;

// The point dx columns from origin along a ray of slope tanPhi. The row is computed in double
// and saturated to 16 bits: steep rays keep their direction instead of overflowing.
Point offsetTarget(Point origin, int dx, double tanPhi)
{
    const double row = origin.y + std::trunc(dx * tanPhi + 0.5);
    return {static_cast<std::int16_t>(origin.x + dx), saturateToInt16(row)};
}

bool within(double phi, double centre)
{
    return centre - VERTICAL_BAND <= phi && phi <= centre + VERTICAL_BAND;
}

} // namespace

EllipseChromosome::EllipseChromosome(SearchHost* owner) : Chromosome(owner)
{
    BinaryImage& image = engine->searchImage();
    if (image.height == 0)
        throw InvalidStateException("Image has to be set before creating chromosomes");
    pickGenes(image, engine->context());
    computeFigure();
    engine->reportCreation(valid);
}

// Gene 0 is a random active pixel; genes 1 to 4 come from rays when tracing is drawn and the
// rays find them, otherwise from random picks. A failed pick (depleted image) stops filling.
void EllipseChromosome::pickGenes(BinaryImage& image, RunContext& context)
{
    RandomGenerator& random = context.random;
    if (ChainSeeder* seeder = engine->chainSeeder()) {
        // No chain left: nothing new can be proposed, which ends the search.
        if (!seeder->pickGenes(genes, image, random))
            image.depleted = true;
        return;
    }
    if (!image.pickActivePoint(genes[0], random))
        return;
    if (random.randomReal(0, 1) < context.settings.tracingProbability && searchGenesByRays(*this))
        return;
    for (std::size_t i = 1; i < genes.size(); ++i)
        if (!image.pickActivePoint(genes[i], random))
            return;
}

Point EllipseChromosome::rayTarget(const BinaryImage& image, Point start, double phi)
{
    // Tested in this order, so only the outer halves of the vertical bands are reached.
    if (PI / 2 < phi && phi < 3 * PI / 2) // toward the left border
        return offsetTarget(start, -start.x, std::tan(phi));
    if (within(phi, PI / 2)) // straight up to row 0
        return {start.x, 0};
    if (within(phi, 3 * PI / 2)) // straight down to row H
        return {start.x, static_cast<std::int16_t>(image.height)};
    return offsetTarget(start, image.width - start.x, std::tan(phi)); // toward the right border
}

bool EllipseChromosome::searchGenesByRays(EllipseChromosome& chromosome)
{
    const BinaryImage& image = chromosome.engine->searchImage();
    const DistanceBound& bound = chromosome.engine->distanceBound();
    RandomGenerator& random = chromosome.engine->context().random;
    auto& g = chromosome.genes;
    const double theta = 2 * PI * random.randomReal(0, 1);
    if (!findActiveAlongLineFast(image, bound, g[0], rayTarget(image, g[0], theta), g[1]))
        return false;
    // The midpoint rounds toward zero.
    const Point m{static_cast<std::int16_t>((g[0].x + g[1].x) / 2),
                  static_cast<std::int16_t>((g[0].y + g[1].y) / 2)};
    const Point target2 = rayTarget(image, m, theta + PI / 2);
    if (!findActiveAlongLineFast(image, bound, m, target2, g[2]))
        return false;

    // Gene 3 lies the other way from the midpoint, toward the opposite border.
    const int dx2 = target2.x - m.x;
    const int dy2 = target2.y - m.y;
    const double tanPhi3 = std::tan(theta - PI / 2);
    Point target3 = m;
    if (dx2 > 0)
        target3 = offsetTarget(m, -m.x, tanPhi3);
    else if (dx2 < 0)
        target3 = offsetTarget(m, image.width - m.x, tanPhi3);
    else if (dy2 > 0)
        target3 = {m.x, 0};
    else if (dy2 < 0)
        target3 = {m.x, static_cast<std::int16_t>(image.height)};
    if (!findActiveAlongLineFast(image, bound, m, target3, g[3]))
        return false;

    const int quarter = random.randomInt(0, 4);
    return findActiveAlongLineFast(image, bound, m,
                                   rayTarget(image, m, theta + PI / 4 + quarter * PI / 2), g[4]);
}

void EllipseChromosome::traceFrom(EllipseChromosome& chromosome, Point start,
                                  std::vector<Point>& out)
{
    BinaryImage& image = chromosome.engine->searchImage();
    const std::uint32_t maxTracing = chromosome.engine->context().settings.maxTracing;
    NeighbourList candidates = activeNeighbours(image, start);
    while (out.size() <= maxTracing) {
        if (candidates.empty())
            break;
        Point next = candidates[0];
        if (candidates.count > 1) {
            // At a fork follow the branch with the most active pixels around it (the first on
            // a tie) and clear the others so the walk does not come back to them.
            int bestCount = -1;
            for (const Point& candidate : candidates) {
                const int count = activeNeighbours(image, candidate).count;
                if (count > bestCount) {
                    bestCount = count;
                    next = candidate;
                }
            }
        }
        for (const Point& candidate : candidates)
            if (image.rows[static_cast<std::size_t>(candidate.y)]
                          [static_cast<std::size_t>(candidate.x)] != 0)
                image.clearPixel(candidate);
        out.push_back(next);
        candidates = activeNeighbours(image, next);
    }
    image.restoreClearedPixels();
}

void EllipseChromosome::mutate(EllipseChromosome& chromosome)
{
    BinaryImage& image = chromosome.engine->searchImage();
    RandomGenerator& random = chromosome.engine->context().random;
    auto& genes = chromosome.genes;
    const int kept = random.randomInt(1, 4); // gene 0 is never the one kept
    std::vector<Point> traced;
    traceFrom(chromosome, genes[static_cast<std::size_t>(kept)], traced);
    if (traced.size() > MIN_TRACED_FOR_MUTATION) {
        const int last = static_cast<int>(traced.size()) - 1;
        for (int i = 0; i < 5; ++i)
            if (i != kept)
                genes[static_cast<std::size_t>(i)] =
                    traced[static_cast<std::size_t>(random.randomInt(0, last))];
    } else {
        for (int repeat = 0; repeat < kept; ++repeat) {
            Point picked;
            if (!image.pickActivePoint(picked, random))
                break;
            genes[static_cast<std::size_t>(random.randomInt(0, 4))] = picked;
        }
    }
    chromosome.ageInCluster = 0;
    chromosome.reviewed = false;
    chromosome.valid = false;
    // The new outline alone must be evaluated, not the one copied from the parent.
    chromosome.figure.points.clear();
}

} // namespace Trelm
