#include <algorithm>
#include <iostream>
#include <memory>

#include "driver/SearchSettings.h"
#include "engine/ClusterGA.h"
#include "genetic/EllipseChromosome.h"
#include "genetic/Random.h"
#include "genetic/Rounding.h"

namespace Trelm
{

namespace
{
constexpr int VERBOSITY_PHASES = 5;
// Offspring need parents that differ: smaller clusters only keep elites and get injections.
constexpr std::int32_t MIN_SIZE_FOR_OFFSPRING = 6;
constexpr std::int32_t OFFSPRING_PER_CALL = 4;

void announce(const char* phase)
{
    if (verbosity > VERBOSITY_PHASES)
        std::cout << phase;
}
} // namespace

// Each turn replaces the cluster at the front by its successor, appended at the back, so
// after all turns the list is in its old order.
void ClusterGA::newGeneration()
{
    const std::size_t turns = clusters.size();
    std::vector<Chromosome*> completenessElites;
    std::vector<Chromosome*> distanceElites;
    for (std::size_t turn = 0; turn < turns; ++turn) {
        completenessElites.clear();
        distanceElites.clear();
        Cluster& old = clusters.front();
        Cluster next(old.figureKind);
        try {
            newGenerationTurn(static_cast<std::int32_t>(turn), old, next, completenessElites,
                              distanceElites);
        } catch (...) {
            // The old cluster stays in the list and is released with the engine.
            releaseAll(completenessElites);
            next.release();
            throw;
        }
        // Elites carried into the new cluster survive; whatever makeOffspring drew but did
        // not carry over is destroyed. Every distance elite is also in completenessElites or
        // still in the old completeness pool.
        releaseAll(completenessElites);
        distanceElites.clear();
        old.release();
        clusters.pop_front();
        if (image.depleted) {
            next.release();
            return;
        }
        next.restoreOrder();
        clusters.push_back(std::move(next));
    }
}

void ClusterGA::newGenerationTurn(std::int32_t turn, Cluster& old, Cluster& next,
                                  std::vector<Chromosome*>& completenessElites,
                                  std::vector<Chromosome*>& distanceElites)
{
    const std::int32_t n = static_cast<std::int32_t>(std::min<std::uint64_t>(
        static_cast<std::uint64_t>(std::max(old.size, 0)), searchSettings.clusterSize));
    std::int32_t eliteCount = roundToInt(n * searchSettings.eliteProportion);
    if (eliteCount < 2)
        eliteCount = 1;
    std::int32_t present = 0;
    if (n <= 1) {
        if (verbosity > VERBOSITY_PHASES) {
            std::cout << "Best AND ONLY value in Cluster " << turn << " in Completeness: ";
            old.best()->print(std::cout) << std::endl;
        }
        next.append(old.takeTop(Cluster::Pool::Completeness));
        present = 1;
    } else {
        const bool homogeneous = old.isHomogeneous();
        announce("Beginning Elitism\n");
        const std::uint16_t validBefore = old.validCount;
        present = carryElites(old, next, eliteCount, completenessElites, distanceElites);
        if (verbosity > VERBOSITY_PHASES) {
            std::cout << "Best value in Cluster " << turn << " (" << validBefore
                      << " valid chromosomes) in Completeness: ";
            completenessElites.front()->print(std::cout) << std::endl;
        }
        const std::int32_t keepCount = roundToInt((1 - searchSettings.discardProportion) * n);
        announce("Beginning Crossover\n");
        if (!homogeneous && n > MIN_SIZE_FOR_OFFSPRING && keepCount > 0)
            present += addOffspring(old, next, keepCount, completenessElites, distanceElites);
    }
    announce("Beginning new chromosomes injection\n");
    present = injectChromosomes(next, present);
    announce("Beginning Mutation\n");
    if (!image.depleted)
        mutateMembers(next, eliteCount, present);
}

// Alternate picks from the completeness and the distance pool; a chromosome heading both
// pools is carried over once, and the pick still counts.
std::int32_t ClusterGA::carryElites(Cluster& old, Cluster& next, std::int32_t eliteCount,
                                    std::vector<Chromosome*>& completenessElites,
                                    std::vector<Chromosome*>& distanceElites)
{
    std::int32_t carried = 0;
    for (std::int32_t pick = 1; pick <= eliteCount; ++pick) {
        Chromosome* elite = nullptr;
        if (pick % 2 == 1) {
            elite = old.takeTop(Cluster::Pool::Completeness);
            completenessElites.push_back(elite);
        } else {
            elite = old.takeTop(Cluster::Pool::Distance);
            distanceElites.push_back(elite);
        }
        if (next.completenessPool.find(elite) == -1) {
            next.append(elite);
            ++elite->shareCount; // held by the elite list and the new cluster
            ++carried;
        }
    }
    return carried;
}

std::int32_t ClusterGA::addOffspring(Cluster& old, Cluster& next, std::int32_t keepCount,
                                     std::vector<Chromosome*>& completenessElites,
                                     std::vector<Chromosome*>& distanceElites)
{
    std::int32_t added = 0;
    const std::int32_t calls = (keepCount - 1) / OFFSPRING_PER_CALL + 1;
    for (std::int32_t call = 0; call < calls; ++call) {
        Cluster::Offspring offspring;
        old.makeOffspring(completenessElites, distanceElites, offspring);
        for (auto& child : offspring) {
            if (child && child->valid) {
                next.append(child.release());
                ++added;
            }
        }
    }
    return added;
}

std::int32_t ClusterGA::injectChromosomes(Cluster& next, std::int32_t present)
{
    while (static_cast<std::int64_t>(present) < searchSettings.clusterSize && !image.depleted) {
        auto chromosome = std::make_unique<EllipseChromosome>(this);
        if (chromosome->valid) {
            next.append(chromosome.release());
            ++present;
        }
    }
    return present;
}

// Positions 0 to eliteCount are never mutated; the pools are not in heap order yet, so
// positions are insertion positions: elites, then offspring, then injected chromosomes.
void ClusterGA::mutateMembers(Cluster& next, std::int32_t eliteCount, std::int32_t present)
{
    const std::int32_t mutations =
        roundToInt(static_cast<double>(searchSettings.clusterSize) * searchSettings.mutationRate);
    for (std::int32_t i = 0; i < mutations; ++i)
        next.mutateAt(randomInt(eliteCount + 1, present - 1));
}

} // namespace Trelm
