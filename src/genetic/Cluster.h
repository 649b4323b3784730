#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/RunContext.h"
#include "genetic/Chromosome.h"
#include "genetic/CompletenessMaxHeap.h"
#include "genetic/DistanceMinHeap.h"

namespace Trelm
{

/// A niche of the search: chromosomes standing for the same figure, kept in two pools over
/// the same objects. The cluster holds its members by the share-count rule: destroying it
/// releases every chromosome of its completeness pool. It can be moved, not copied.
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
    Cluster(const Cluster&) = delete;
    Cluster& operator=(const Cluster&) = delete;
    Cluster(Cluster&&) noexcept = default;
    Cluster& operator=(Cluster&& other) noexcept;
    ~Cluster() { release(); }

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
    /// Moves the most complete half (rounded up, at most clusterSize) of other into this.
    void absorb(Cluster& other, std::uint32_t clusterSize);
    /// True when every neighbouring pair of completenessPool's storage is similar.
    bool isHomogeneous() const;
    /// Picks two parents by linear ranking and makes four offspring: two from the
    /// completeness elites, two from the distance elites, crossed or copied.
    void makeOffspring(std::vector<Chromosome*>& completenessElites,
                       std::vector<Chromosome*>& distanceElites, Offspring& out,
                       RunContext& context);
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
    static void pickRanks(double u1, double u2, int n, int& a1, int& a2, RandomGenerator& random);
    void makePair(const std::vector<Chromosome*>& parents, int a1, int a2,
                  std::unique_ptr<Chromosome>& first, std::unique_ptr<Chromosome>& second,
                  RunContext& context);
};

} // namespace Trelm
