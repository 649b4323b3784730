#include "engine/ClusterGA.h"

#include <memory>
#include <utility>

#include "genetic/EllipseChromosome.h"

namespace Trelm
{

ClusterGA::ClusterGA(RunContext& context, BinaryImage loadedImage, std::uint32_t mask)
    : image(std::move(loadedImage)), figureMask(mask), limits(context.settings.minAxis),
      context_(context), settings_(context.settings)
{
    image.rebuildActivePoints();
    bound_.rebuild(image);
    context_.evaluationCount = 0;
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
    if (image.depleted)
        return;
    cluster.restoreOrder();
    clusters.push_back(std::move(cluster));
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
