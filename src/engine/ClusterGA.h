#pragma once

#include <cstdint>
#include <list>
#include <optional>
#include <set>
#include <tuple>
#include <vector>

#include "core/RunContext.h"
#include "engine/AxisLimits.h"
#include "genetic/ChainSeeder.h"
#include "genetic/Chromosome.h"
#include "genetic/Cluster.h"
#include "genetic/SearchHost.h"
#include "geometry/Ellipse.h"
#include "image/BinaryImage.h"
#include "measure/SolutionFit.h"
#include "measure/SupportCheck.h"

namespace Trelm
{

/// The detection engine of one image: owns the image and the clusters, runs one generation
/// step at a time and promotes solutions. It is the search host of its chromosomes, and
/// every run state it uses lives in the run context it is given.
class ClusterGA : public SearchHost
{
  public:
    std::int32_t stepCount = 0;
    /// The niches, held by value; list order matters.
    std::list<Cluster> clusters;
    BinaryImage image;
    std::uint32_t figureMask;
    /// The range of acceptable major axes.
    AxisLimits limits;
    /// Consecutive chromosome creations that gave an invalid chromosome.
    std::int32_t failedCreations = 0;

    /// An engine around the image, with no cluster yet (createInitialCluster makes the first)
    /// and no evaluation counted.
    ClusterGA(RunContext& context, BinaryImage loadedImage, std::uint32_t mask = ELLIPSE_BIT);
    ClusterGA(const ClusterGA&) = delete;
    ClusterGA& operator=(const ClusterGA&) = delete;
    ~ClusterGA() = default;

    /// One generation step: new generation, reorganization, merging, periodic widening.
    void step();
    /// Appends every cluster's best chromosome to list (not retained).
    void collectBest(std::vector<Chromosome*>& list) const;
    /// Promotes the clusters whose best chromosome passes a solution criterion, appending it
    /// to solutions; returns whether the search may go on.
    bool checkSolutions(SharedChromosomes& solutions);
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
    void setLimitsFromSolutions(const SharedChromosomes& solutions);
    /// Whether the candidate (as fitted, when it was) nearly repeats a solution found.
    bool repeatsSolution(const Chromosome& candidate,
                         const std::optional<EllipseParameters>& fitted,
                         const SharedChromosomes& solutions) const;

    /// Whether the active pixels spread far enough to hold an ellipse beyond the largest axis
    /// searched for.
    bool couldHoldLargerEllipses() const;
    /// Whether the search ended because its edge chains were used up.
    bool chainsExhausted() const { return seeder_ && seeder_->exhausted(); }

    // SearchHost
    ChainSeeder* chainSeeder() override { return seeder_ ? &*seeder_ : nullptr; }
    BinaryImage& searchImage() override { return image; }
    const DistanceBound& distanceBound() const override { return bound_; }
    /// Recomputes the distance bound from the image, which must hold no temporarily cleared
    /// pixel; needed after pixels became active that were not (tests that draw into the
    /// image), and tightens the bound after pixels were removed.
    void refreshDistanceBound()
    {
        bound_.rebuild(image);
        boundIsLoose_ = false;
    }
    std::int32_t upperAxisLimit() const override { return limits.maxAxisLimit; }
    std::int32_t lowerAxisLimit() const override { return limits.minAxisLimit; }
    void reportCreation(bool valid) override;
    RunContext& context() override { return context_; }

  private:
    /// Readies a loaded image for the search: active points, distance bound, axis cap, chains.
    void prepare();
    bool keepsPartialCluster(const Cluster& cluster) const;
    static std::int32_t diagonalOf(std::int32_t width, std::int32_t height);

    /// The working state of one cluster's turn in a new generation.
    struct GenerationTurn;

    void newGenerationTurn(std::int32_t turn, GenerationTurn& work);
    std::int32_t carryElites(GenerationTurn& work, std::int32_t eliteCount);
    std::int32_t addOffspring(GenerationTurn& work, std::int32_t keepCount);
    std::int32_t injectChromosomes(Cluster& next, std::int32_t present);
    void mutateMembers(Cluster& next, std::int32_t eliteCount, std::int32_t present);
    void reorganizeCluster(Cluster& cluster);
    void placeOutcast(Chromosome* outcast, const Cluster& origin);
    /// Whether the candidate passes a solution criterion; fitted receives the refit the support
    /// check made of it, if any.
    bool isSolution(const Chromosome& candidate, std::optional<EllipseParameters>& fitted);
    /// Promotes the clusters' bests that pass to solutions; returns how many clusters are bad.
    std::size_t promoteSolutions(SharedChromosomes& solutions);
    /// Whether the figure's support in the image is beyond chance, by the stricter rule of a
    /// partial outline when partial; remembers a refusal until the image next loses pixels.
    /// fitted receives the refit an accepted figure was checked on.
    bool hasSupport(const Ellipse& figure, bool partial, std::optional<EllipseParameters>& fitted);
    /// Whether the support check passes the refitted ellipse as a whole outline, or as a
    /// partial one when partial (or, under chains, when it falls short of a whole one).
    bool supports(const EllipseParameters& refit, bool partial) const;
    /// Gives a new solution its parameters refitted to the image's pixels: fitted when the
    /// support check made that refit already; none when the refit fails.
    void refineSolution(Chromosome& solution, const std::optional<EllipseParameters>& fitted) const;
    void printLimits() const;
    SupportCheck::Rules supportRules() const;
    SolutionFit::Reach refitReach() const;
    /// Whether the candidate's own ellipse lies near enough to an outline to be worth a refit.
    bool nearEnoughToRefit(const Ellipse& figure, bool partial) const;

    /// Figures whose support was refused since the image last lost pixels.
    using RefusedFigure =
        std::tuple<std::int16_t, std::int16_t, std::int32_t, std::int32_t, double, bool>;
    std::set<RefusedFigure> refusedFigures_;
    RunContext& context_;
    DistanceBound bound_;
    /// Genes from edge chains, when the settings ask for them.
    std::optional<ChainSeeder> seeder_;
    /// Pixels were removed since the bound was built: a rebuild would tighten it.
    bool boundIsLoose_ = false;
    /// The search is about to end: every best is judged as if it had held its cluster.
    bool lastLook_ = false;
    const SearchSettings& settings_;
};

} // namespace Trelm
