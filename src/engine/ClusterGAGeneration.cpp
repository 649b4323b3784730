#include <algorithm>
#include <memory>

#include "core/Rounding.h"
#include "engine/ClusterGA.h"
#include "genetic/EllipseChromosome.h"

namespace Trelm
{

namespace
{
// Offspring need parents that differ: smaller clusters only keep elites and get injections.
constexpr std::int32_t MIN_SIZE_FOR_OFFSPRING = 6;
constexpr std::int32_t OFFSPRING_PER_CALL = 4;
} // namespace

/// One cluster's turn: the old cluster being emptied, its successor, and the elites drawn.
/// The completeness elites are one holder of each of theirs, so whatever makeOffspring drew but
/// did not carry over dies with the turn; every distance elite is also a completeness elite or
/// still in the old completeness pool, so that list holds nothing.
struct ClusterGA::GenerationTurn {
    Cluster& old;
    Cluster next;
    SharedChromosomes completenessElites;
    std::vector<Chromosome*> distanceElites;

    explicit GenerationTurn(Cluster& oldCluster) : old(oldCluster), next(oldCluster.figureKind) {}
};

// Each turn replaces the cluster at the front by its successor, appended at the back, so
// after all turns the list is in its old order. A turn that throws leaves the old cluster in
// the list; the turn's own lists and successor release themselves.
void ClusterGA::newGeneration()
{
    const std::size_t turns = clusters.size();
    for (std::size_t turn = 0; turn < turns; ++turn) {
        GenerationTurn work(clusters.front());
        newGenerationTurn(static_cast<std::int32_t>(turn), work);
        work.completenessElites.clear();
        clusters.pop_front();
        if (image.depleted && !keepsPartialCluster(work.next))
            return;
        work.next.restoreOrder();
        clusters.push_back(std::move(work.next));
    }
}

void ClusterGA::newGenerationTurn(std::int32_t turn, GenerationTurn& work)
{
    Cluster& old = work.old;
    Cluster& next = work.next;
    std::ostream& out = context_.out();
    const bool talkative = context_.talks(Verbosity::PHASES);
    const std::int32_t n = static_cast<std::int32_t>(std::min<std::uint64_t>(
        static_cast<std::uint64_t>(std::max(old.size, 0)), settings_.clusterSize));
    std::int32_t eliteCount = roundToInt(n * settings_.eliteProportion);
    if (eliteCount < 2)
        eliteCount = 1;
    std::int32_t present = 0;
    if (n <= 1) {
        if (talkative) {
            out << "Best AND ONLY value in Cluster " << turn << " in Completeness: ";
            old.best()->print(out) << std::endl;
        }
        next.append(old.takeTop(Cluster::Pool::Completeness));
        present = 1;
    } else {
        const bool homogeneous = old.isHomogeneous();
        if (talkative)
            out << "Beginning Elitism\n";
        const std::uint16_t validBefore = old.validCount;
        present = carryElites(work, eliteCount);
        if (talkative) {
            out << "Best value in Cluster " << turn << " (" << validBefore
                << " valid chromosomes) in Completeness: ";
            work.completenessElites.front()->print(out) << std::endl;
        }
        const std::int32_t keepCount = roundToInt((1 - settings_.discardProportion) * n);
        if (talkative)
            out << "Beginning Crossover\n";
        if (!homogeneous && n > MIN_SIZE_FOR_OFFSPRING && keepCount > 0)
            present += addOffspring(work, keepCount);
    }
    if (talkative)
        out << "Beginning new chromosomes injection\n";
    present = injectChromosomes(next, present);
    if (talkative)
        out << "Beginning Mutation\n";
    if (!image.depleted)
        mutateMembers(next, eliteCount, present);
}

// Alternate picks from the completeness and the distance pool; a chromosome heading both
// pools is carried over once, and the pick still counts.
std::int32_t ClusterGA::carryElites(GenerationTurn& work, std::int32_t eliteCount)
{
    std::int32_t carried = 0;
    for (std::int32_t pick = 1; pick <= eliteCount; ++pick) {
        Chromosome* elite = nullptr;
        if (pick % 2 == 1) {
            elite = work.old.takeTop(Cluster::Pool::Completeness);
            work.completenessElites.push_back(elite);
        } else {
            elite = work.old.takeTop(Cluster::Pool::Distance);
            work.distanceElites.push_back(elite);
        }
        if (work.next.completenessPool.find(elite) == -1) {
            work.next.append(elite);
            ++elite->shareCount; // held by the elite list and the new cluster
            ++carried;
        }
    }
    return carried;
}

std::int32_t ClusterGA::addOffspring(GenerationTurn& work, std::int32_t keepCount)
{
    std::int32_t added = 0;
    const std::int32_t calls = (keepCount - 1) / OFFSPRING_PER_CALL + 1;
    for (std::int32_t call = 0; call < calls; ++call) {
        Cluster::Offspring offspring;
        work.old.makeOffspring(work.completenessElites.items(), work.distanceElites, offspring,
                               context_);
        for (auto& child : offspring) {
            if (child && child->valid) {
                work.next.append(child.release());
                ++added;
            }
        }
    }
    return added;
}

std::int32_t ClusterGA::injectChromosomes(Cluster& next, std::int32_t present)
{
    while (static_cast<std::int64_t>(present) < settings_.clusterSize && !image.depleted) {
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
        roundToInt(static_cast<double>(settings_.clusterSize) * settings_.mutationRate);
    for (std::int32_t i = 0; i < mutations; ++i)
        next.mutateAt(context_.random.randomInt(eliteCount + 1, present - 1));
}

} // namespace Trelm
