#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/Point.h"
#include "core/Random.h"
#include "genetic/ArcGrouping.h"
#include "geometry/EllipseFrame.h"
#include "image/BinaryImage.h"
#include "image/EdgeChains.h"

namespace Trelm
{

/// Draws the five genes of new chromosomes from the image's edge chains: along one chain that
/// turns far enough, otherwise across two chains that could lie on one ellipse, and around
/// every other chain lying along their fit. A chain retires once it has seeded its share of
/// candidates or a solution took most of its pixels, so the search knows when nothing is left
/// to try.
class ChainSeeder
{
  public:
    explicit ChainSeeder(EdgeChains chains);

    /// Fills genes from a live chain (and a partner); false when no chain is left.
    bool pickGenes(std::array<Point, 5>& genes, const BinaryImage& image, RandomGenerator& random);
    /// Gives the chains that retired with pixels left a few more candidates: a solution
    /// changed the image, and candidates lost with its cluster may be found again.
    void renew();
    /// Whether every chain has retired.
    bool exhausted() const { return liveCount_ == 0; }

    /// Candidates a chain seeds before it retires.
    static constexpr std::uint32_t SEEDS_PER_CHAIN = 20;

  private:
    struct CachedFit {
        bool known = false;
        /// The frame of the chains' least-squares ellipse, when they have one: genes are
        /// chosen near it.
        std::optional<EllipseFrame> frame;
        /// The pixels of the chains and of the others lying along the fit, in order around it;
        /// empty when no other chain does.
        std::vector<Point> around;
    };
    struct ChainState {
        std::uint32_t seeds = 0;
        bool retired = false;
        /// Retired for good: solutions took its pixels.
        bool dead = false;
        bool partnersKnown = false;
        /// The nearest chains that are convex together with this one.
        std::vector<std::uint32_t> partners;
        /// The least-squares fits of the chain alone (first) and with each partner, made
        /// when first needed: chains never change.
        std::vector<CachedFit> fits;
    };

    std::uint32_t drawChain(RandomGenerator& random);
    bool isAlive(std::uint32_t chain, const BinaryImage& image) const;
    void retire(std::uint32_t chain);
    const std::vector<std::uint32_t>& partnersOf(std::uint32_t chain);
    /// slot 0 is the chain alone, slot k + 1 the chain with its partner k.
    const CachedFit& fitOf(std::uint32_t chain, std::size_t slot);
    static void spread(const std::vector<Point>& pixels, std::size_t count, Point* genes,
                       RandomGenerator& random, const EllipseFrame* fit);

    EdgeChains chains_;
    ArcGrouping grouping_;
    std::vector<ChainState> states_;
    /// Running sums of the live chains' pixel counts, for draws weighted by length.
    std::vector<std::uint64_t> cumulative_;
    std::vector<std::uint32_t> liveIds_;
    bool liveChanged_ = true;
    std::size_t liveCount_ = 0;
};

} // namespace Trelm
