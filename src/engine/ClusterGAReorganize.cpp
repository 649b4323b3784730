#include <iostream>
#include <iterator>

#include "driver/SearchSettings.h"
#include "engine/ClusterGA.h"

namespace Trelm
{

namespace
{
constexpr int VERBOSITY_PHASES = 5;
constexpr int VERBOSITY_CHROMOSOMES = 7;
// An outcast this complete always founds a cluster of its own when no cluster resembles it.
constexpr double ALWAYS_SEEDS = 0.9;
} // namespace

// Only the clusters present at the start are visited; clusters seeded by outcasts wait for
// the next step.
void ClusterGA::reorganize()
{
    if (verbosity > VERBOSITY_PHASES)
        std::cout << "Beginning Reorganization of Individuals\n";
    auto cluster = clusters.begin();
    for (std::size_t visits = clusters.size(); visits > 0; --visits, ++cluster)
        reorganizeCluster(*cluster);
}

void ClusterGA::reorganizeCluster(Cluster& cluster)
{
    cluster.best()->reviewed = true;
    for (std::int32_t i = 0; i < cluster.size; ++i)
        ++cluster.completenessPool[i]->ageInCluster;
    std::int32_t i = 0;
    while (i < cluster.size) {
        // Removals below the top never change the best.
        Chromosome* best = cluster.best();
        if (i == 0) {
            best->reviewed = true;
            ++i;
            continue;
        }
        Chromosome* member = cluster.completenessPool[i];
        if (member->reviewed || !member->valid || member->isSimilar(best)) {
            member->reviewed = true;
            ++i;
            continue;
        }
        // An outcast: position i now holds another chromosome, examined next.
        cluster.removeMember(i);
        placeOutcast(member, cluster);
    }
}

void ClusterGA::placeOutcast(Chromosome* outcast, const Cluster& origin)
{
    const bool talkative = verbosity > VERBOSITY_CHROMOSOMES;
    if (Cluster* target = findSimilarCluster(outcast, &origin)) {
        outcast->ageInCluster = 0;
        target->insert(outcast);
        if (talkative) {
            std::cout << "Chromosome moved to more similar cluster:\n";
            outcast->print(std::cout) << " to Cluster with Chromosome:\n";
            target->best()->print(std::cout) << std::endl;
        }
        return;
    }
    const bool roomForNiche = outcast->completeness > searchSettings.minCompleteness &&
                              clusters.size() < searchSettings.populations;
    if (roomForNiche || outcast->completeness >= ALWAYS_SEEDS) {
        Cluster seeded(origin.figureKind);
        outcast->ageInCluster = 0;
        seeded.append(outcast);
        seeded.restoreOrder();
        clusters.push_back(std::move(seeded));
        if (talkative) {
            std::cout << "New Cluster Created for outcast chromosome ";
            outcast->print(std::cout) << std::endl;
        }
        return;
    }
    if (talkative) {
        std::cout << "Outcast chromosome not fit enough for new cluster or similar to any other "
                     "cluster. Delete it\n";
        outcast->print(std::cout) << std::endl;
    }
    delete outcast; // nobody else holds an outcast at this point of the step
}

Cluster* ClusterGA::findSimilarCluster(const Chromosome* chromosome, const Cluster* skipped)
{
    for (Cluster& cluster : clusters)
        if (&cluster != skipped && chromosome->isSimilar(cluster.best()))
            return &cluster;
    return nullptr;
}

// Clusters whose best resembles the best of an earlier cluster are absorbed into it, marked
// merged and removed when the walk reaches them.
void ClusterGA::mergeClusters()
{
    if (verbosity > VERBOSITY_PHASES)
        std::cout << "Beginning Merging of Clusters\n";
    for (auto absorber = clusters.begin(); absorber != clusters.end();) {
        if (absorber->merged) {
            absorber->release();
            absorber = clusters.erase(absorber);
            continue;
        }
        // Read once: an absorption that changes the best does not change later comparisons.
        Chromosome* firstBest = absorber->best();
        for (auto other = std::next(absorber); other != clusters.end(); ++other) {
            if (other->merged || !firstBest->isSimilar(other->best()))
                continue;
            if (verbosity > VERBOSITY_CHROMOSOMES) {
                std::cout << "Combine clusters:\n";
                firstBest->print(std::cout) << "and\n";
                other->best()->print(std::cout) << std::endl;
            }
            absorber->absorb(*other);
            other->merged = true;
        }
        ++absorber;
    }
}

} // namespace Trelm
