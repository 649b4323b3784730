#include "engine/ClusterGA.h"

#include <iostream>
#include <memory>
#include <utility>

#include "driver/SearchSettings.h"
#include "genetic/EllipseChromosome.h"
#include "genetic/EvaluationCount.h"
#include "genetic/Exceptions.h"

namespace Trelm
{

namespace
{
constexpr std::uint32_t ELLIPSE_BIT = 1;
constexpr std::int32_t ELLIPSE_KIND = 1;
constexpr int VERBOSITY_STEP = 1;
} // namespace

ClusterGA::ClusterGA(std::string fileName, std::uint32_t mask)
    : figureMask(mask), minAxisLimit(searchSettings.minAxis)
{
    if (!image.load(fileName))
        throw InvalidParameterException("Error trying to load image");
    image.rebuildActivePoints();
    evaluationCount = 0;
    createInitialCluster();
}

ClusterGA::ClusterGA(BinaryImage loadedImage, std::uint32_t mask)
    : image(std::move(loadedImage)), figureMask(mask), minAxisLimit(searchSettings.minAxis)
{
    image.rebuildActivePoints();
    evaluationCount = 0;
}

ClusterGA::~ClusterGA()
{
    releaseClusters();
}

void ClusterGA::releaseClusters()
{
    while (!clusters.empty()) {
        clusters.front().release();
        clusters.pop_front();
    }
}

void ClusterGA::createInitialCluster()
{
    if ((figureMask & ELLIPSE_BIT) == 0)
        return;
    Cluster cluster(ELLIPSE_KIND);
    try {
        // Invalid creations do not count; 200 of them in a row deplete the image.
        while (static_cast<std::uint32_t>(cluster.size) < searchSettings.clusterSize &&
               !image.depleted) {
            auto chromosome = std::make_unique<EllipseChromosome>(this);
            if (chromosome->valid)
                cluster.append(chromosome.release());
        }
    } catch (...) {
        cluster.release();
        throw;
    }
    if (image.depleted) {
        cluster.release();
        return;
    }
    cluster.restoreOrder();
    clusters.push_back(std::move(cluster));
}

void ClusterGA::step()
{
    ++stepCount;
    if (verbosity > VERBOSITY_STEP)
        std::cout << "Starting step " << stepCount << ". So far, " << evaluationCount
                  << " fitness calculations" << std::endl;
    if (clusters.empty())
        createInitialCluster();
    newGeneration();
    reorganize();
    mergeClusters();
    // A frequency of 0 would divide by zero: it means never.
    const std::int32_t frequency = searchSettings.clusteringFreq;
    if (clusters.size() > 1 && frequency != 0 && stepCount % frequency == 0) {
        widenLimits();
        image.rebuildActivePoints();
    }
}

void ClusterGA::collectBest(std::vector<Chromosome*>& list) const
{
    for (const Cluster& cluster : clusters)
        list.push_back(cluster.best());
}

} // namespace Trelm
