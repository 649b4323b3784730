#include <iterator>

#include "engine/ClusterGA.h"

namespace Trelm
{

namespace
{
// An outcast this complete always founds a cluster of its own when no cluster resembles it.
constexpr double ALWAYS_SEEDS = 0.9;
} // namespace

// Only the clusters present at the start are visited; clusters seeded by outcasts wait for
// the next step.
void ClusterGA::reorganize()
{
    if (context_.talks(Verbosity::PHASES))
        context_.out() << "Beginning Reorganization of Individuals\n";
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
    const bool talkative = context_.talks(Verbosity::CHROMOSOMES);
    std::ostream& out = context_.out();
    if (Cluster* target = findSimilarCluster(outcast, &origin)) {
        outcast->ageInCluster = 0;
        target->insert(outcast);
        if (talkative) {
            out << "Chromosome moved to more similar cluster:\n";
            outcast->print(out) << " to Cluster with Chromosome:\n";
            target->best()->print(out) << std::endl;
        }
        return;
    }
    const bool roomForNiche = outcast->completeness > settings_.minCompleteness &&
                              clusters.size() < settings_.populations;
    if (roomForNiche || outcast->completeness >= ALWAYS_SEEDS) {
        Cluster seeded(origin.figureKind);
        outcast->ageInCluster = 0;
        seeded.append(outcast);
        seeded.restoreOrder();
        clusters.push_back(std::move(seeded));
        if (talkative) {
            out << "New Cluster Created for outcast chromosome ";
            outcast->print(out) << std::endl;
        }
        return;
    }
    if (talkative) {
        out << "Outcast chromosome not fit enough for new cluster or similar to any other "
               "cluster. Delete it\n";
        outcast->print(out) << std::endl;
    }
    // Nobody else holds an outcast at this point of the step, so this destroys it.
    Chromosome::release(outcast);
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
    if (context_.talks(Verbosity::PHASES))
        context_.out() << "Beginning Merging of Clusters\n";
    for (auto absorber = clusters.begin(); absorber != clusters.end();) {
        if (absorber->merged) {
            // Takes with it the chromosomes the absorption left behind.
            absorber = clusters.erase(absorber);
            continue;
        }
        // Read once: an absorption that changes the best does not change later comparisons.
        Chromosome* firstBest = absorber->best();
        for (auto other = std::next(absorber); other != clusters.end(); ++other) {
            if (other->merged || !firstBest->isSimilar(other->best()))
                continue;
            if (context_.talks(Verbosity::CHROMOSOMES)) {
                std::ostream& out = context_.out();
                out << "Combine clusters:\n";
                firstBest->print(out) << "and\n";
                other->best()->print(out) << std::endl;
            }
            absorber->absorb(*other, settings_.clusterSize);
            other->merged = true;
        }
        ++absorber;
    }
}

} // namespace Trelm
