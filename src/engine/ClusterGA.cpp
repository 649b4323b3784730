#include "engine/ClusterGA.h"

#include <cmath>
#include <memory>
#include <utility>

#include "genetic/EllipseChromosome.h"

namespace Trelm
{

ClusterGA::ClusterGA(RunContext& context, BinaryImage loadedImage, std::uint32_t mask)
    : image(std::move(loadedImage)), figureMask(mask), limits(context.settings.minAxis, AXIS_CAP),
      context_(context), settings_(context.settings)
{
    prepare();
}

void ClusterGA::prepare()
{
    image.rebuildActivePoints();
    bound_.rebuild(image);
    context_.evaluationCount = 0;
    context_.axisCap = settings_.maxAxis;
    if (settings_.maxAxis == 0)
        context_.axisCap = diagonalOf(image.width, image.height);
    limits = AxisLimits(settings_.minAxis, context_.axisCap);
    if (settings_.arcs)
        seeder_.emplace(EdgeChains::link(image.rows, image.width, image.height));
}

std::int32_t ClusterGA::diagonalOf(std::int32_t width, std::int32_t height)
{
    // One more than the diagonal, since the cap itself is excluded.
    return static_cast<std::int32_t>(std::ceil(std::hypot(double(width), double(height)))) + 1;
}

bool ClusterGA::couldHoldLargerEllipses() const
{
    if (image.maxX < image.minX || image.maxY < image.minY)
        return false;
    return std::hypot(double(image.maxX - image.minX), double(image.maxY - image.minY)) >=
           context_.axisCap;
}

void ClusterGA::createInitialCluster()
{
    if ((figureMask & ELLIPSE_BIT) == 0)
        return;
    // Discarded (and its members released) unless it is complete.
    Cluster cluster(ELLIPSE_KIND);
    // Invalid creations do not count; 200 of them in a row deplete the image.
    while (static_cast<std::uint32_t>(cluster.size) < settings_.clusterSize && !image.depleted) {
        auto chromosome = std::make_unique<EllipseChromosome>(this);
        if (chromosome->valid)
            cluster.append(chromosome.release());
    }
    if (image.depleted && !keepsPartialCluster(cluster))
        return;
    cluster.restoreOrder();
    clusters.push_back(std::move(cluster));
}

// Edge chains may run out before a cluster is full; what they gave is still worth a step.
bool ClusterGA::keepsPartialCluster(const Cluster& cluster) const
{
    return seeder_ && seeder_->exhausted() && cluster.size > 0;
}

void ClusterGA::step()
{
    ++stepCount;
    if (context_.talks(Verbosity::STEP))
        context_.out() << "Starting step " << stepCount << ". So far, " << context_.evaluationCount
                       << " fitness calculations" << std::endl;
    if (clusters.empty())
        createInitialCluster();
    newGeneration();
    reorganize();
    mergeClusters();
    // A frequency of 0 would divide by zero: it means never.
    const std::int32_t frequency = settings_.clusteringFreq;
    if (clusters.size() > 1 && frequency != 0 && stepCount % frequency == 0) {
        widenLimits();
        image.rebuildActivePoints();
        // Pixels removed with solutions since the last rebuild make it tighter; without them
        // the image is what the bound was built from.
        if (boundIsLoose_)
            refreshDistanceBound();
    }
}

void ClusterGA::collectBest(std::vector<Chromosome*>& list) const
{
    for (const Cluster& cluster : clusters)
        list.push_back(cluster.best());
}

void ClusterGA::reportCreation(bool valid)
{
    if (valid)
        failedCreations = 0;
    else
        recordFailedCreation();
}

} // namespace Trelm
