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
    return outcome;
}

ImageSearch::Stop ImageSearch::runSteps(ClusterGA& engine, SharedChromosomes& solutions,
                                        const StepObserver& observer)
{
    RunContext& context = engine.context();
    int stalledSteps = 0;
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
    }
}

} // namespace Trelm
