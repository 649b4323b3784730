#include "api/ImageSearch.h"

#include <utility>

#include "core/Constants.h"
#include "engine/ClusterGA.h"

namespace Trelm
{

namespace
{
// A chromosome can still mature into a solution over this many steps without evaluations;
// after that, a search that spends nothing and finds nothing can no longer change.
constexpr int STALLED_STEPS = 5;
// With edge chains, steps in a row that add no solution before the search counts as done.
constexpr int STEPS_WITHOUT_SOLUTION = 6;

} // namespace

ImageSearch::Outcome ImageSearch::run(RunContext& context, BinaryImage image,
                                      const StepObserver& observer)
{
    Outcome outcome;
    // The engine, its image and its distance bound are gone before the caller builds a result
    // image: the solutions outlive it, and memory holds at most two grids at a time.
    ClusterGA engine(context, std::move(image), ELLIPSE_BIT);
    engine.createInitialCluster();
    outcome.stop = runSteps(engine, outcome.solutions, observer);
    outcome.steps = engine.stepCount;
    hintAtLargerEllipses(engine, outcome);
    // The solutions outlive the engine: they must not point to it.
    for (Chromosome* solution : outcome.solutions.items())
        solution->engine = nullptr;
    return outcome;
}

// An empty result on a large image may only mean that its ellipses are beyond the cap.
void ImageSearch::hintAtLargerEllipses(ClusterGA& engine, const Outcome& outcome)
{
    RunContext& context = engine.context();
    if (outcome.solutions.empty() && context.settings.maxAxis != 0 &&
        engine.couldHoldLargerEllipses())
        context.out() << "Ellipses with a major axis of " << context.axisCap
                      << " pixels or more are not searched for: --max-axis 0 allows any size "
                         "the image holds\n";
}

ImageSearch::Stop ImageSearch::runSteps(ClusterGA& engine, SharedChromosomes& solutions,
                                        const StepObserver& observer)
{
    RunContext& context = engine.context();
    int stalledSteps = 0;
    int stepsWithoutSolution = 0;
    for (;;) {
        if (context.talks(Verbosity::STEP))
            context.out() << "\n"
                          << solutions.size() << " solutions found so far. "
                          << engine.clusterCount() << " more being explored...\n\n";
        const std::uint32_t evaluationsBefore = context.evaluationCount;
        const std::size_t solutionsBefore = solutions.size();
        engine.step();
        if (observer &&
            !observer({engine.stepCount, context.evaluationCount, solutions.size(), engine}))
            return Stop::ASKED;
        const bool goOn = engine.checkSolutions(solutions);
        if (context.budgetExceeded())
            return Stop::BUDGET;
        if (!goOn)
            return Stop::EXHAUSTED;
        const bool stalled =
            context.evaluationCount == evaluationsBefore && solutions.size() == solutionsBefore;
        stalledSteps = stalled ? stalledSteps + 1 : 0;
        if (stalledSteps > STALLED_STEPS) {
            context.out() << "Execution stopped because the search no longer changes\n\n";
            return Stop::STALLED;
        }
        stepsWithoutSolution = solutions.size() == solutionsBefore ? stepsWithoutSolution + 1 : 0;
        if (context.settings.arcs && stepsWithoutSolution >= STEPS_WITHOUT_SOLUTION) {
            context.out() << "Execution stopped because " << STEPS_WITHOUT_SOLUTION
                          << " steps in a row found nothing new\n\n";
            return Stop::STALLED;
        }
    }
}

} // namespace Trelm
