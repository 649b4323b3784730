#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "genetic/Chromosome.h"
#include "genetic/Cluster.h"
#include "image/BinaryImage.h"

namespace Trelm
{

/// The detection engine of one image: owns the image and the clusters, runs one generation
/// step at a time and promotes solutions. Chromosomes read the image and the axis limits
/// through their engine pointer.
class ClusterGA
{
  public:
    /// maxAxisLimit never goes above this.
    static constexpr std::int32_t AXIS_CAP = 400;

    std::int32_t stepCount = 0;
    /// The niches, held by value; list order matters.
    std::list<Cluster> clusters;
    BinaryImage image;
    std::uint32_t figureMask;
    std::int32_t maxAxisLimit = AXIS_CAP;
    std::int32_t minAxisLimit;
    /// Standard deviations the axis range spans; -1.0 until first set.
    double limitMultiplier = -1.0;
    double solutionAxisMean = 0.0;
    double solutionAxisStdDev = 0.0;
    /// Consecutive chromosome creations that gave an invalid chromosome.
    std::int32_t failedCreations = 0;

    /// Loads the image file and creates the first cluster; throws when the image cannot be
    /// loaded.
    ClusterGA(std::string fileName, std::uint32_t mask);
    /// An engine around an image already in memory, with no cluster yet.
    explicit ClusterGA(BinaryImage loadedImage, std::uint32_t mask = 1);
    ClusterGA(const ClusterGA&) = delete;
    ClusterGA& operator=(const ClusterGA&) = delete;
    /// Releases every cluster by the share-count rule.
    ~ClusterGA();

    /// One generation step: new generation, reorganization, merging, periodic widening.
    void step();
    /// Appends every cluster's best chromosome to list (not retained).
    void collectBest(std::vector<Chromosome*>& list) const;
    /// Promotes the clusters whose best chromosome passes a solution criterion, appending it
    /// to solutions; returns whether the search may go on.
    bool checkSolutions(std::vector<Chromosome*>& solutions);
    /// Number of clusters being explored.
    std::size_t clusterCount() const { return clusters.size(); }

    /// Counts an invalid creation; a long run of them widens the limits or depletes the image.
    void recordFailedCreation();
    /// Widens the axis limits: by one more multiplier step, or by 10% each way.
    void widenLimits();

    // The phases of a step, callable on their own by tests.
    void createInitialCluster();
    void newGeneration();
    void reorganize();
    void mergeClusters();
    Cluster* findSimilarCluster(const Chromosome* chromosome, const Cluster* skipped);
    void removeFigurePixels(const Chromosome& chromosome);
    void setLimitsFromSolutions(const std::vector<Chromosome*>& solutions);

  private:
    void releaseClusters();
    void newGenerationTurn(std::int32_t turn, Cluster& old, Cluster& next,
                           std::vector<Chromosome*>& completenessElites,
                           std::vector<Chromosome*>& distanceElites);
    std::int32_t carryElites(Cluster& old, Cluster& next, std::int32_t eliteCount,
                             std::vector<Chromosome*>& completenessElites,
                             std::vector<Chromosome*>& distanceElites);
    std::int32_t addOffspring(Cluster& old, Cluster& next, std::int32_t keepCount,
                              std::vector<Chromosome*>& completenessElites,
                              std::vector<Chromosome*>& distanceElites);
    std::int32_t injectChromosomes(Cluster& next, std::int32_t present);
    void mutateMembers(Cluster& next, std::int32_t eliteCount, std::int32_t present);
    void reorganizeCluster(Cluster& cluster);
    void placeOutcast(Chromosome* outcast, const Cluster& origin);
    bool isSolution(const Chromosome& candidate) const;
    void applyLimits(double upper, double lower);
};

} // namespace Trelm
