#include "genetic/ChainSeeder.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

namespace Trelm
{

namespace
{

// A chain turning at least this far (radians) holds enough of an ellipse to place one alone;
// shorter ones are paired, and half of the long ones too, which measured better than alone.
constexpr double SINGLE_CHAIN_TURNING = 2.5;
// Nearest convex partners kept per chain: arcs of one ellipse are seldom far apart, and a short
// list keeps the pairing cheap on busy images.
constexpr std::size_t MAX_PARTNERS = 10;
// A chain whose pixels were mostly taken by solutions has nothing left to seed.
constexpr double ALIVE_SHARE = 0.6;
// Candidates a chain seeds again after a solution changed the image: a few, since most chains
// are not arcs of what is left to find, and each round costs a check of every new candidate.
constexpr std::uint32_t RENEWED_SEEDS = 5;
// Pixels either side of a random place searched for the one nearest the fit.
constexpr std::size_t NEAREST_WINDOW = 3;

// The squared distance between the nearest ends of two chains: whole pixels, so it orders
// chains as the distance itself does, without a square root.
std::int64_t squaredEndGap(const EdgeChain& a, const EdgeChain& b)
{
    std::int64_t gap = std::numeric_limits<std::int64_t>::max();
    for (Point p : {a.pixels.front(), a.pixels.back()})
        for (Point q : {b.pixels.front(), b.pixels.back()}) {
            const std::int64_t dx = p.x - q.x, dy = p.y - q.y;
            gap = std::min(gap, dx * dx + dy * dy);
        }
    return gap;
}

} // namespace

ChainSeeder::ChainSeeder(EdgeChains chains)
    : chains_(std::move(chains)), grouping_(chains_), states_(chains_.size()),
      liveCount_(chains_.size())
{
}

bool ChainSeeder::pickGenes(std::array<Point, 5>& genes, const BinaryImage& image,
                            RandomGenerator& random)
{
    // Every draw of a dead chain retires it, so this ends.
    while (liveCount_ > 0) {
        const std::uint32_t id = drawChain(random);
        if (!isAlive(id, image)) {
            states_[id].dead = true;
            retire(id);
            continue;
        }
        if (++states_[id].seeds >= SEEDS_PER_CHAIN)
            retire(id);
        const EdgeChain& chain = chains_[id];
        const std::vector<std::uint32_t>& partners = partnersOf(id);
        const bool alone = partners.empty() ||
                           (chain.turning >= SINGLE_CHAIN_TURNING && random.randomInt(0, 1) == 0);
        const EdgeChain* other = nullptr;
        std::size_t partnerIndex = 0;
        if (!alone) {
            partnerIndex =
                static_cast<std::size_t>(random.randomIndex(static_cast<int>(partners.size())));
            if (isAlive(partners[partnerIndex], image))
                other = &chains_[partners[partnerIndex]];
        }
        const std::size_t own =
            other == nullptr ? 5 : static_cast<std::size_t>(random.randomInt(2, 3));
        const CachedFit& cached = fitOf(id, other == nullptr ? 0 : partnerIndex + 1);
        const EllipseFrame* fit = cached.frame ? &*cached.frame : nullptr;
        if (!cached.around.empty()) {
            // Other arcs lie along the fit: the genes spread around all of them.
            spread(cached.around, 5, genes.data(), random, fit);
            return true;
        }
        spread(chain.pixels, own, genes.data(), random, fit);
        if (other != nullptr)
            spread(other->pixels, 5 - own, genes.data() + own, random, fit);
        return true;
    }
    return false;
}

// Weighted by length: a long chain is more likely a real outline than a short one.
std::uint32_t ChainSeeder::drawChain(RandomGenerator& random)
{
    if (liveChanged_) {
        liveIds_.clear();
        cumulative_.clear();
        std::uint64_t sum = 0;
        for (std::uint32_t id = 0; id < states_.size(); ++id) {
            if (states_[id].retired)
                continue;
            sum += chains_[id].pixels.size();
            liveIds_.push_back(id);
            cumulative_.push_back(sum);
        }
        liveChanged_ = false;
    }
    const auto total = static_cast<int>(
        std::min<std::uint64_t>(cumulative_.back(), std::numeric_limits<int>::max()));
    const auto ticket = static_cast<std::uint64_t>(random.randomIndex(total));
    const auto at = std::upper_bound(cumulative_.begin(), cumulative_.end(), ticket);
    return liveIds_[static_cast<std::size_t>(at - cumulative_.begin())];
}

bool ChainSeeder::isAlive(std::uint32_t chain, const BinaryImage& image) const
{
    const std::vector<Point>& pixels = chains_[chain].pixels;
    const auto active = std::count_if(pixels.begin(), pixels.end(), [&image](Point p) {
        return pixelSet(image.rows, p.x, p.y, image.width, image.height);
    });
    return static_cast<double>(active) >= ALIVE_SHARE * static_cast<double>(pixels.size());
}

void ChainSeeder::renew()
{
    for (ChainState& state : states_) {
        if (!state.retired || state.dead)
            continue;
        state.retired = false;
        state.seeds = SEEDS_PER_CHAIN - RENEWED_SEEDS;
        ++liveCount_;
        liveChanged_ = true;
    }
}

void ChainSeeder::retire(std::uint32_t chain)
{
    if (states_[chain].retired)
        return;
    states_[chain].retired = true;
    --liveCount_;
    liveChanged_ = true;
}

const std::vector<std::uint32_t>& ChainSeeder::partnersOf(std::uint32_t chain)
{
    ChainState& state = states_[chain];
    if (state.partnersKnown)
        return state.partners;
    state.partnersKnown = true;
    const EdgeChain& own = chains_[chain];
    std::vector<std::pair<std::int64_t, std::uint32_t>> byGap;
    for (std::uint32_t other = 0; other < chains_.size(); ++other)
        if (other != chain)
            byGap.emplace_back(squaredEndGap(own, chains_[other]), other);
    std::sort(byGap.begin(), byGap.end());
    // Nearest first, so that the costlier convexity test stops at the last partner kept.
    for (const auto& [gap, other] : byGap) {
        if (state.partners.size() == MAX_PARTNERS)
            break;
        if (EdgeChains::convexTogether(own, chains_[other]))
            state.partners.push_back(other);
    }
    return state.partners;
}

const ChainSeeder::CachedFit& ChainSeeder::fitOf(std::uint32_t chain, std::size_t slot)
{
    ChainState& state = states_[chain];
    if (state.fits.empty())
        state.fits.resize(state.partners.size() + 1);
    CachedFit& cached = state.fits[slot];
    if (!cached.known) {
        cached.known = true;
        std::vector<std::uint32_t> seeds{chain};
        if (slot > 0)
            seeds.push_back(state.partners[slot - 1]);
        // The genes then sit on pixels close to the chains' least-squares ellipse, so that the
        // rounding of single pixels does not throw the five-point ellipse off.
        EllipseParameters fit;
        if (ArcGrouping::fitChains(chains_, seeds, fit)) {
            cached.around = grouping_.grow(chains_, seeds, fit);
            cached.frame.emplace(fit);
        }
    }
    return cached;
}

// count pixels spread along pixels (a chain's, or a group's in order around its fit): one in
// each of count equal stretches, the one nearest the fit among a few around a random place
// when there is a fit.
void ChainSeeder::spread(const std::vector<Point>& pixels, std::size_t count, Point* genes,
                         RandomGenerator& random, const EllipseFrame* fit)
{
    const std::size_t size = pixels.size();
    const double stretch = static_cast<double>(size) / static_cast<double>(count);
    for (std::size_t j = 0; j < count; ++j) {
        const double at = (static_cast<double>(j) + random.randomReal(0, 1)) * stretch;
        std::size_t index = std::min(static_cast<std::size_t>(at), size - 1);
        if (fit != nullptr) {
            const std::size_t first = index >= NEAREST_WINDOW ? index - NEAREST_WINDOW : 0;
            const std::size_t last = std::min(size - 1, index + NEAREST_WINDOW);
            double best = std::numeric_limits<double>::max();
            for (std::size_t k = first; k <= last; ++k) {
                const Point p = pixels[k];
                // To first order: enough to tell the nearest among a few neighbours.
                const double d = fit->firstOrderDistance(p.x, p.y);
                if (d < best) {
                    best = d;
                    index = k;
                }
            }
        }
        genes[j] = pixels[index];
    }
}

} // namespace Trelm
