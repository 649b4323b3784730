#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "genetic/Chromosome.h"
#include "genetic/CompletenessMaxHeap.h"
#include "genetic/DistanceMinHeap.h"

namespace Trelm
{

/// A niche of the search: chromosomes standing for the same figure, kept in two pools over
/// the same objects. The pools hold non-owning pointers; see release() for who frees them.
class Cluster
{
  public:
    /// Which pool takeTop draws from.
    enum class Pool { Completeness, Distance };
    /// The four chromosomes one makeOffspring call makes, owned by the caller.
    using Offspring = std::array<std::unique_ptr<Chromosome>, 4>;

    CompletenessMaxHeap<Chromosome*> completenessPool;
    DistanceMinHeap<Chromosome*> distancePool;
    /// The smaller of the two pools' counts.
    std::int32_t size = 0;
    /// Kind of figure of the chromosomes; 1 = ellipse, the only kind.
    std::int32_t figureKind;
    /// Set while a merging pass has absorbed this cluster into another.
    bool merged = false;
    std::uint16_t validCount = 0;

    explicit Cluster(std::int32_t kind) : figureKind(kind) {}

    /// The most complete chromosome; throws "Heap is empty" on an empty cluster.
    Chromosome* best() const;
    /// Pops the top of one pool; the chromosome stays in the other.
    Chromosome* takeTop(Pool pool);
    /// Adds a chromosome to both pools in heap order.
    void insert(Chromosome* chromosome);
    /// Adds a chromosome at the end of both pools without ordering (see restoreOrder).
    void append(Chromosome* chromosome);
    /// Re-establishes heap order in both pools after appends.
    void restoreOrder();
    /// Takes the chromosome at a storage position of completenessPool out of both pools.
    void removeMember(std::int32_t position);
    /// Releases every chromosome of completenessPool (share-count rule) and empties the pools.
    void release();
    /// Moves the most complete half (rounded up, at most cluster-size) of other into this.
    void absorb(Cluster& other);
    /// True when every neighbouring pair of completenessPool's storage is similar.
    bool isHomogeneous() const;
    /// Picks two parents by linear ranking and makes four offspring: two from the
    /// completeness elites, two from the distance elites, crossed or copied.
    void makeOffspring(std::vector<Chromosome*>& completenessElites,
                       std::vector<Chromosome*>& distanceElites, Offspring& out);
    /// Mutates a copy of the chromosome at a storage position and keeps it when it is more
    /// complete.
    void mutateAt(std::int32_t position);

    /// Linear-ranking table for n ranks: t[0] = 0, bucket k is [t[k], t[k + 1]) with
    /// probability (n - k) / (n(n + 1)/2), so rank 0 is n times as likely as the last.
    static std::vector<double> rankTable(int n);
    /// The bucket of u in the table, or -1 when u falls in none.
    static int rankOf(double u, const std::vector<double>& table);

  private:
    void recountSize();
    void countMember(const Chromosome* chromosome);
    void pickRanks(double u1, double u2, int n, int& a1, int& a2);
    void makePair(const std::vector<Chromosome*>& parents, int a1, int a2,
                  std::unique_ptr<Chromosome>& first, std::unique_ptr<Chromosome>& second);
};

} // namespace Trelm
