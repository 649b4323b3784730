#include <cmath>
#include <vector>

#include "engine/ClusterGA.h"
#include "genetic/EllipseChromosome.h"
#include "geometry/EllipseFrame.h"
#include "geometry/Figure.h"
#include "geometry/Pi.h"
#include "measure/SolutionFit.h"
#include "measure/SupportCheck.h"

namespace Trelm
{

namespace
{

// Solution criteria: strict, mature (old enough in its cluster), relaxed (budget spent).
constexpr double STRICT_COMPLETENESS = 0.9;
constexpr double STRICT_DISTANCE = 0.2;
constexpr std::uint32_t MATURE_AGE = 4;
constexpr double LOOSE_COMPLETENESS = 0.5;
constexpr double LOOSE_DISTANCE = 0.5;
// With the support check, a mature candidate this complete may be a partial outline: it passes
// when its support, however short, could not be chance.
constexpr double ARC_COMPLETENESS = 0.25;

// Failed creations: from the first checkpoint on, every few failures the active points are
// recounted; at the limit the image counts as used up.
constexpr std::int32_t FAILED_CREATION_CHECKPOINT = 100;
constexpr std::int32_t FAILED_CREATION_PERIOD = 4;
constexpr std::int32_t FAILED_CREATION_LIMIT = 200;

// Ellipses the edge chains can propose, as log10: pairs of some thousand chains, each pair
// placed a few dozen ways. Measured on real edge maps, a count this size keeps three in five
// detections true where the image's own count refuses most real ones among clutter.
constexpr double CHAIN_LOG10_TESTS = 8.0;
// Small loops of clutter (letters, texture) are common on real edge maps and offer the binomial
// test too few samples: under edge chains an ellipse with a semi-minor axis below this many
// pixels needs this share of its outline supported.
constexpr double CHAIN_SMALL_MINOR = 8.0;
constexpr double CHAIN_SMALL_SHARE = 0.9;
// Among clutter, chains offer partial outlines through arcs of unrelated curves: on real edge
// maps such ellipses reached 10^-70 expected false alarms, where clutter supported 0.2 % or
// more of the positions around them.
constexpr double CHAIN_PARTIAL_LOG10_FALSE_ALARMS = -75.0;
constexpr double CHAIN_PARTIAL_CLUTTER = 0.002;
// Where there is less, as in drawings, a partial outline needs 10^-15: the usual 10^-20 refused
// arcs of small elongated ellipses standing alone (seven in a hundred generated short arcs),
// and on real edge maps it changed nothing.
constexpr double CHAIN_PARTIAL_CLEAR_LOG10_FALSE_ALARMS = -15.0;
// The clutter's chance is measured at every second position along the outline: as precise
// for the decisions on real edge maps, and the check costs a sixth less.
constexpr int CHAIN_BACKGROUND_EVERY = 2;
// Under edge chains, most candidates judged are clutter, and the refit costs more than the rest
// of the check: a candidate whose own whole-pixel ellipse does not pass within this many pixels
// of enough of an outline is refused without one. On real edge maps this took a quarter of the
// time and refused mostly false detections.
constexpr double CHAIN_SCREEN_TOLERANCE = 1.0;
// Five pixels of a short arc place the candidate's ellipse only roughly, while the arc's pixels
// fix it: under edge chains the refit may move the centre by 15% of the major axis and each axis
// by 30% (else 10% and 20%). On generated short arcs this found 4 more ellipses in 100.
constexpr SolutionFit::Reach CHAIN_REFIT_REACH{0.15, 0.3};
// A partial outline along the flat side of an elongated ellipse turns its normal through few
// sectors: under edge chains 3 of 16 suffice, with the evidence a partial outline needs (4 more
// short arcs in 100 found; on real edge maps neither rule changed F).
constexpr int CHAIN_PARTIAL_SECTORS = 3;
// Half side of the square cleared around a solution's outline under edge chains: the matched
// stroke and its neighbours, not the drawing thickness, so that close concentric outlines
// survive the first one found.
constexpr int CHAIN_CLEARING = 1;
// An ellipse within this share of a solution's semi-major axis plus these pixels, in centre and
// in both semi-axes, repeats it: the two edges of one thick outline.
constexpr double REPEAT_SHARE = 0.08;
constexpr double REPEAT_PIXELS = 2.0;
constexpr int REPEAT_PROBES = 16;

// Whether the outline of e stays within tolerance of the outline of s all the way round: the
// two edges of one thick outline do, two ellipses crossing at an angle do not.
bool outlinesRunTogether(const EllipseParameters& e, const EllipseParameters& s, double tolerance)
{
    const EllipseFrame own(e), other(s);
    for (int k = 0; k < REPEAT_PROBES; ++k) {
        const PlanePoint p = own.pointAt(2 * PI * k / REPEAT_PROBES);
        if (other.firstOrderDistance(p.x, p.y) > tolerance)
            return false;
    }
    return true;
}

std::int32_t majorAxisOf(const Chromosome* solution)
{
    return static_cast<const EllipseChromosome*>(solution)->figure.majorAxis;
}

} // namespace

bool ClusterGA::isSolution(const Chromosome& candidate, std::optional<EllipseParameters>& fitted)
{
    const double c = candidate.completeness;
    const double d = candidate.distance;
    const bool loose = c >= LOOSE_COMPLETENESS && d <= LOOSE_DISTANCE;
    // A search on edge chains ends when they are used up, often before candidates mature; the
    // support check then judges them once they have held their cluster for a step (the bests
    // of a first generation are mostly passing ones, and each check costs a refit).
    const bool settled = candidate.ageInCluster >= MATURE_AGE || context_.budgetReached() ||
                         (settings_.arcs && settings_.validate && candidate.ageInCluster >= 1) ||
                         lastLook_;
    const bool fit = (c >= STRICT_COMPLETENESS && d <= STRICT_DISTANCE) || (loose && settled);
    if (!settings_.validate)
        return fit;
    const bool arc = !fit && c >= ARC_COMPLETENESS && d <= LOOSE_DISTANCE && settled;
    if (!fit && !arc)
        return false;
    const bool supported =
        hasSupport(static_cast<const EllipseChromosome&>(candidate).figure, arc, fitted);
    if (!supported && context_.talks(Verbosity::CHROMOSOMES)) {
        context_.out() << "Best chromo not promoted, its support could be chance:\n";
        candidate.print(context_.out());
    }
    return supported;
}

// Candidates drawn from edge chains are far fewer than the ellipses an image could hold: the
// evidence needed is set by how many the chains can propose.
SupportCheck::Rules ClusterGA::supportRules() const
{
    SupportCheck::Rules rules;
    if (settings_.arcs) {
        rules.log10Tests = CHAIN_LOG10_TESTS;
        rules.smallMinor = CHAIN_SMALL_MINOR;
        rules.smallShare = CHAIN_SMALL_SHARE;
        rules.partialClutterDensity = CHAIN_PARTIAL_CLUTTER;
        rules.log10MaxPartialInClutter = CHAIN_PARTIAL_LOG10_FALSE_ALARMS;
        rules.log10MaxPartialFalseAlarms = CHAIN_PARTIAL_CLEAR_LOG10_FALSE_ALARMS;
        rules.backgroundEvery = CHAIN_BACKGROUND_EVERY;
        rules.minPartialSectors = CHAIN_PARTIAL_SECTORS;
    }
    return rules;
}

SolutionFit::Reach ClusterGA::refitReach() const
{
    return settings_.arcs ? CHAIN_REFIT_REACH : SolutionFit::Reach{};
}

bool ClusterGA::nearEnoughToRefit(const Ellipse& figure, bool partial) const
{
    SupportCheck::Rules screen = supportRules();
    screen.tolerance = CHAIN_SCREEN_TOLERANCE;
    // A small ring's whole-pixel ellipse is too coarse to lie within a pixel of nearly all of
    // it: how whole a small outline is waits for the refit.
    screen.smallMinor = 0.0;
    return SupportCheck(image, screen).outlineCouldPass(figure.parameters(), partial);
}

bool ClusterGA::supports(const EllipseParameters& refit, bool partial) const
{
    const SupportCheck check(image, supportRules());
    if (partial)
        return check.acceptsPartial(refit);
    // A candidate drawn from chains can cover much of the search's tolerant outline and still
    // hold only part of the refitted one: it is a partial outline, judged as one.
    return settings_.arcs ? check.acceptsWholeOrPartial(refit) : check.accepts(refit);
}

bool ClusterGA::hasSupport(const Ellipse& figure, bool partial,
                           std::optional<EllipseParameters>& fitted)
{
    // The image changes only when a solution takes its pixels: until then an ellipse refused
    // once, often the same best candidate step after step, is refused again.
    const RefusedFigure key{figure.centerX,   figure.centerY, figure.majorAxis,
                            figure.minorAxis, figure.angle,   partial};
    if (refusedFigures_.count(key) != 0)
        return false;
    if (settings_.arcs && !nearEnoughToRefit(figure, partial)) {
        refusedFigures_.insert(key);
        return false;
    }
    // Checked on the ellipse refitted to its pixels, to a fraction of a pixel: a true outline's
    // pixels then lie within the check's tight tolerance, and clutter's seldom do. An ellipse
    // that cannot be refitted has no consistent pixels.
    EllipseParameters refit;
    const bool supported =
        SolutionFit::refit(image, figure, refit, refitReach()) && supports(refit, partial);
    if (!supported)
        refusedFigures_.insert(key);
    else
        fitted = refit;
    return supported;
}

void ClusterGA::refineSolution(Chromosome& solution,
                               const std::optional<EllipseParameters>& fitted) const
{
    auto& ellipseSolution = static_cast<EllipseChromosome&>(solution);
    if (fitted) {
        ellipseSolution.refined = fitted;
        return;
    }
    // A failed refit leaves the whole-pixel figure, which is not a refined one.
    EllipseParameters refit;
    if (SolutionFit::refit(image, ellipseSolution.figure, refit, refitReach()))
        ellipseSolution.refined = refit;
}

bool ClusterGA::checkSolutions(SharedChromosomes& solutions)
{
    std::ostream& out = context_.out();
    // Stable: clusters with equal best completeness keep their order.
    clusters.sort([](const Cluster& a, const Cluster& b) {
        return a.best()->completeness > b.best()->completeness;
    });
    if (context_.budgetReached() && context_.talks(Verbosity::PHASES))
        out << "Solution requirements relaxed due to fitness evaluation number\n\n";
    std::size_t bad = promoteSolutions(solutions);
    if (settings_.validate && image.depleted && chainsExhausted()) {
        // The chains ran out before the newest bests held their clusters for a step: no later
        // step will come, so each is judged now, by the support check (without it, a loose
        // fit new to its cluster is too often clutter).
        lastLook_ = true;
        bad = promoteSolutions(solutions);
        lastLook_ = false;
    }
    if (image.depleted && chainsExhausted()) {
        out << "Execution stopped because no edge chain is left to seed a candidate\n\n";
        return false;
    }
    if (image.depleted) {
        out << "Execution stopped because image has been depleted of active pixels (every "
               "ellipse was probably detected)\n\n";
        return false;
    }
    // With edge chains, clusters whose bests fail say nothing of the chains not yet tried:
    // stopping then left whole closed outlines unseeded in busy drawings.
    const bool chainsLeft = seeder_ && !seeder_->exhausted();
    if (bad > 0 && bad == clusters.size() && !chainsLeft) {
        out << "Execution stopped due to too many bad populations\n\n";
        return false;
    }
    return true;
}

std::size_t ClusterGA::promoteSolutions(SharedChromosomes& solutions)
{
    std::ostream& out = context_.out();
    std::size_t bad = 0;
    for (auto cluster = clusters.begin(); cluster != clusters.end();) {
        const bool firstSolution = solutions.empty();
        Chromosome* candidate = cluster->best();
        if (!firstSolution) {
            // Earlier solutions may have taken pixels of this one: score it again.
            cluster->removeMember(0);
            candidate->evaluate();
            cluster->insert(candidate);
        }
        // The support check's refit, when it made one: the image has not changed since.
        std::optional<EllipseParameters> fitted;
        if (!isSolution(*candidate, fitted)) {
            if (candidate->completeness < settings_.minCompleteness)
                ++bad;
            ++cluster;
            continue;
        }
        if (settings_.arcs && repeatsSolution(*candidate, fitted, solutions)) {
            // The other edge of a thick outline: its pixels go, the solution is not repeated.
            removeFigurePixels(*candidate);
            if (context_.talks(Verbosity::CHROMOSOMES))
                out << "Cluster deleted since its best chromo repeats a solution\n";
            cluster = clusters.erase(cluster);
            continue;
        }
        // The solution list holds it now; erasing the cluster releases the cluster's hold, so
        // the list becomes its only holder.
        ++candidate->shareCount;
        solutions.push_back(candidate);
        // Refitted before its pixels leave the image.
        if (settings_.refine)
            refineSolution(*candidate, fitted);
        removeFigurePixels(*candidate);
        // With edge chains a refusal stands after solutions too: they only take pixels, and
        // clearing it made most checks repeats.
        if (!settings_.arcs)
            refusedFigures_.clear();
        if (seeder_) {
            seeder_->renew();
            // Chains used up before this solution may seed again; only they made it depleted.
            if (!seeder_->exhausted())
                image.depleted = false;
        }
        if (context_.talks(Verbosity::CHROMOSOMES)) {
            out << "Cluster deleted since best chromo was promoted to a solution:\n";
            candidate->print(out) << std::endl;
        }
        cluster = clusters.erase(cluster);
        setLimitsFromSolutions(solutions);
    }
    return bad;
}

bool ClusterGA::repeatsSolution(const Chromosome& candidate,
                                const std::optional<EllipseParameters>& fitted,
                                const SharedChromosomes& solutions) const
{
    const EllipseParameters e =
        fitted ? *fitted : static_cast<const EllipseChromosome&>(candidate).figure.parameters();
    for (const Chromosome* solution : solutions.items()) {
        const auto& found = static_cast<const EllipseChromosome&>(*solution);
        const EllipseParameters s = found.refined ? *found.refined : found.figure.parameters();
        const double tolerance = REPEAT_SHARE * s.majorAxis / 2 + REPEAT_PIXELS;
        if (std::hypot(e.centerX - s.centerX, e.centerY - s.centerY) <= tolerance &&
            std::fabs(e.majorAxis - s.majorAxis) / 2 <= tolerance &&
            std::fabs(e.minorAxis - s.minorAxis) / 2 <= tolerance &&
            outlinesRunTogether(e, s, tolerance))
            return true;
    }
    return false;
}

void ClusterGA::removeFigurePixels(const Chromosome& chromosome)
{
    boundIsLoose_ = true;
    const int half = settings_.arcs ? CHAIN_CLEARING : settings_.drawingThickness / 2;
    for (const Point& p : chromosome.outline())
        forEachSquarePixel(p, half, image.height, image.width, [this](int row, int column) {
            image.rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = 0;
        });
}

// With edge chains the candidates already come from real arcs: narrowing the range to the
// sizes found so far would only hide the other ellipses.
void ClusterGA::setLimitsFromSolutions(const SharedChromosomes& solutions)
{
    if (settings_.arcs)
        return;
    std::vector<std::int32_t> majorAxes;
    majorAxes.reserve(solutions.size());
    for (const Chromosome* solution : solutions.items())
        majorAxes.push_back(majorAxisOf(solution));
    limits.setFromSolutions(majorAxes);
    if (context_.talks(Verbosity::LIMITS))
        printLimits();
}

void ClusterGA::widenLimits()
{
    if (settings_.arcs)
        return;
    limits.widen();
    if (context_.talks(Verbosity::PHASES))
        printLimits();
}

void ClusterGA::printLimits() const
{
    context_.out() << "New Limits Set: " << limits.minAxisLimit << '-' << limits.maxAxisLimit
                   << std::endl;
}

// With edge chains every creation uses up a chain's share, so the chains running out ends the
// search; a run of invalid candidates says nothing about the image.
void ClusterGA::recordFailedCreation()
{
    if (seeder_)
        return;
    ++failedCreations;
    if (failedCreations >= FAILED_CREATION_LIMIT) {
        image.depleted = true;
        return;
    }
    if (failedCreations >= FAILED_CREATION_CHECKPOINT &&
        failedCreations % FAILED_CREATION_PERIOD == 0) {
        const std::int32_t activeBefore = image.activeCount;
        image.rebuildActivePoints();
        if (image.activeCount == activeBefore)
            widenLimits();
    }
}

} // namespace Trelm
