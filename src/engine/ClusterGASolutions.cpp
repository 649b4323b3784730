#include <cmath>
#include <iostream>
#include <vector>

#include "driver/SearchSettings.h"
#include "engine/ClusterGA.h"
#include "genetic/EllipseChromosome.h"
#include "genetic/EvaluationCount.h"
#include "genetic/Rounding.h"
#include "geometry/Figure.h"

namespace Trelm
{

namespace
{

constexpr int VERBOSITY_LIMITS = 4;
constexpr int VERBOSITY_PHASES = 5;
constexpr int VERBOSITY_CHROMOSOMES = 7;

// Solution criteria: strict, mature (old enough in its cluster), relaxed (budget spent).
constexpr double STRICT_COMPLETENESS = 0.9;
constexpr double STRICT_DISTANCE = 0.2;
constexpr std::uint32_t MATURE_AGE = 4;
constexpr double LOOSE_COMPLETENESS = 0.5;
constexpr double LOOSE_DISTANCE = 0.5;

// Axis limits.
constexpr double SPREAD_THRESHOLD = 0.02;
constexpr double FIRST_MULTIPLIER = 1.5;
constexpr double MULTIPLIER_STEP = 1.5;
constexpr double WIDEN_UPPER = 1.1;
constexpr double WIDEN_LOWER = 0.9;

// Failed creations: from the first checkpoint on, every few failures the active points are
// recounted; at the limit the image counts as used up.
constexpr std::int32_t FAILED_CREATION_CHECKPOINT = 100;
constexpr std::int32_t FAILED_CREATION_PERIOD = 4;
constexpr std::int32_t FAILED_CREATION_LIMIT = 200;

std::int32_t majorAxisOf(const Chromosome* solution)
{
    return static_cast<const EllipseChromosome*>(solution)->figure.majorAxis;
}

} // namespace

bool ClusterGA::isSolution(const Chromosome& candidate) const
{
    const double c = candidate.completeness;
    const double d = candidate.distance;
    const bool loose = c >= LOOSE_COMPLETENESS && d <= LOOSE_DISTANCE;
    return (c >= STRICT_COMPLETENESS && d <= STRICT_DISTANCE) ||
           (loose && candidate.ageInCluster >= MATURE_AGE) ||
           (loose && evaluationCount >= searchSettings.evaluations);
}

bool ClusterGA::checkSolutions(std::vector<Chromosome*>& solutions)
{
    // Stable: clusters with equal best completeness keep their order.
    clusters.sort([](const Cluster& a, const Cluster& b) {
        return a.best()->completeness > b.best()->completeness;
    });
    if (evaluationCount >= searchSettings.evaluations && verbosity > VERBOSITY_PHASES)
        std::cout << "Solution requirements relaxed due to fitness evaluation number\n\n";
    std::size_t bad = 0;
    for (auto cluster = clusters.begin(); cluster != clusters.end();) {
        const bool firstSolution = solutions.empty();
        Chromosome* candidate = cluster->best();
        if (!firstSolution) {
            // Earlier solutions may have taken pixels of this one: score it again.
            cluster->removeMember(0);
            candidate->evaluate();
            cluster->insert(candidate);
        }
        if (!isSolution(*candidate)) {
            if (candidate->completeness < searchSettings.minCompleteness)
                ++bad;
            ++cluster;
            continue;
        }
        if (firstSolution)
            cluster->takeTop(Cluster::Pool::Completeness);
        ++candidate->shareCount; // the solution list holds it now
        solutions.push_back(candidate);
        removeFigurePixels(*candidate);
        if (verbosity > VERBOSITY_CHROMOSOMES) {
            std::cout << "Cluster deleted since best chromo was promoted to a solution:\n";
            candidate->print(std::cout) << std::endl;
        }
        cluster->release();
        cluster = clusters.erase(cluster);
        setLimitsFromSolutions(solutions);
    }
    if (image.depleted) {
        std::cout << "Execution stopped because image has been depleted of active pixels (every "
                     "ellipse was probably detected)\n\n";
        return false;
    }
    if (bad > 0 && bad == clusters.size()) {
        std::cout << "Execution stopped due to too many bad populations\n\n";
        return false;
    }
    return true;
}

void ClusterGA::removeFigurePixels(const Chromosome& chromosome)
{
    std::vector<Point> outline(static_cast<std::size_t>(chromosome.pointCount()));
    chromosome.copyPoints(outline.data());
    const int half = searchSettings.drawingThickness / 2;
    for (const Point& p : outline)
        forEachSquarePixel(p, half, image.height, image.width, [this](int row, int column) {
            image.rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = 0;
        });
}

void ClusterGA::setLimitsFromSolutions(const std::vector<Chromosome*>& solutions)
{
    const auto n = static_cast<std::uint32_t>(solutions.size());
    std::uint32_t axisSum = 0;
    for (const Chromosome* solution : solutions)
        axisSum += static_cast<std::uint32_t>(majorAxisOf(solution));
    const std::uint32_t mean = axisSum / n; // integer mean, remainder dropped
    solutionAxisMean = mean;
    double squares = 0.0;
    for (const Chromosome* solution : solutions) {
        // A signed difference: axes below the mean count too.
        const double difference = static_cast<double>(majorAxisOf(solution)) - mean;
        squares += difference * difference;
    }
    if (n >= 2)
        squares /= n - 1;
    solutionAxisStdDev = std::sqrt(squares);

    if (solutionAxisStdDev < SPREAD_THRESHOLD) {
        applyLimits(mean * WIDEN_UPPER, mean * WIDEN_LOWER);
    } else {
        if (limitMultiplier == -1.0)
            limitMultiplier = FIRST_MULTIPLIER;
        applyLimits(mean + limitMultiplier * solutionAxisStdDev,
                    mean - limitMultiplier * solutionAxisStdDev);
    }
    if (verbosity > VERBOSITY_LIMITS)
        std::cout << "New Limits Set: " << minAxisLimit << '-' << maxAxisLimit << std::endl;
}

void ClusterGA::widenLimits()
{
    if (limitMultiplier > -1.0) {
        limitMultiplier += MULTIPLIER_STEP;
        applyLimits(solutionAxisMean + limitMultiplier * solutionAxisStdDev,
                    solutionAxisMean - limitMultiplier * solutionAxisStdDev);
    } else {
        applyLimits(maxAxisLimit * WIDEN_UPPER, minAxisLimit * WIDEN_LOWER);
    }
    if (verbosity > VERBOSITY_PHASES)
        std::cout << "New Limits Set: " << minAxisLimit << '-' << maxAxisLimit << std::endl;
}

// Rounds both limits, caps the upper one at 400 and floors the lower one at min-axis.
void ClusterGA::applyLimits(double upper, double lower)
{
    const std::int32_t roundedUpper = roundToInt(upper);
    const std::int32_t roundedLower = roundToInt(lower);
    maxAxisLimit = roundedUpper >= AXIS_CAP ? AXIS_CAP : roundedUpper;
    minAxisLimit = roundedLower <= searchSettings.minAxis ? searchSettings.minAxis : roundedLower;
}

void ClusterGA::recordFailedCreation()
{
    ++failedCreations;
    if (failedCreations >= FAILED_CREATION_LIMIT) {
        image.depleted = true;
        return;
    }
    if (failedCreations >= FAILED_CREATION_CHECKPOINT &&
        failedCreations % FAILED_CREATION_PERIOD == 0) {
        const std::int32_t activeBefore = image.activeCount;
        image.rebuildActivePoints();
        if (image.activeCount == activeBefore)
            widenLimits();
    }
}

} // namespace Trelm
