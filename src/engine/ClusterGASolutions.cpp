#include <vector>

#include "engine/ClusterGA.h"
#include "genetic/EllipseChromosome.h"
#include "geometry/Figure.h"

namespace Trelm
{

namespace
{

// Solution criteria: strict, mature (old enough in its cluster), relaxed (budget spent).
constexpr double STRICT_COMPLETENESS = 0.9;
constexpr double STRICT_DISTANCE = 0.2;
constexpr std::uint32_t MATURE_AGE = 4;
constexpr double LOOSE_COMPLETENESS = 0.5;
constexpr double LOOSE_DISTANCE = 0.5;

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
           (loose && candidate.ageInCluster >= MATURE_AGE) || (loose && context_.budgetReached());
}

bool ClusterGA::checkSolutions(SharedChromosomes& solutions)
{
    std::ostream& out = context_.out();
    // Stable: clusters with equal best completeness keep their order.
    clusters.sort([](const Cluster& a, const Cluster& b) {
        return a.best()->completeness > b.best()->completeness;
    });
    if (context_.budgetReached() && context_.talks(Verbosity::PHASES))
        out << "Solution requirements relaxed due to fitness evaluation number\n\n";
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
            if (candidate->completeness < settings_.minCompleteness)
                ++bad;
            ++cluster;
            continue;
        }
        // The solution list holds it now; erasing the cluster releases the cluster's hold, so
        // the list becomes its only holder.
        ++candidate->shareCount;
        solutions.push_back(candidate);
        removeFigurePixels(*candidate);
        if (context_.talks(Verbosity::CHROMOSOMES)) {
            out << "Cluster deleted since best chromo was promoted to a solution:\n";
            candidate->print(out) << std::endl;
        }
        cluster = clusters.erase(cluster);
        setLimitsFromSolutions(solutions);
    }
    if (image.depleted) {
        out << "Execution stopped because image has been depleted of active pixels (every "
               "ellipse was probably detected)\n\n";
        return false;
    }
    if (bad > 0 && bad == clusters.size()) {
        out << "Execution stopped due to too many bad populations\n\n";
        return false;
    }
    return true;
}

void ClusterGA::removeFigurePixels(const Chromosome& chromosome)
{
    const int half = settings_.drawingThickness / 2;
    for (const Point& p : chromosome.outline())
        forEachSquarePixel(p, half, image.height, image.width, [this](int row, int column) {
            image.rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = 0;
        });
}

void ClusterGA::setLimitsFromSolutions(const SharedChromosomes& solutions)
{
    std::vector<std::int32_t> majorAxes;
    majorAxes.reserve(solutions.size());
    for (const Chromosome* solution : solutions.items())
        majorAxes.push_back(majorAxisOf(solution));
    limits.setFromSolutions(majorAxes);
    if (context_.talks(Verbosity::LIMITS))
        printLimits();
}

void ClusterGA::widenLimits()
{
    limits.widen();
    if (context_.talks(Verbosity::PHASES))
        printLimits();
}

void ClusterGA::printLimits() const
{
    context_.out() << "New Limits Set: " << limits.minAxisLimit << '-' << limits.maxAxisLimit
                   << std::endl;
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
