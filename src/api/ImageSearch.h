#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "core/RunContext.h"
#include "genetic/Chromosome.h"
#include "image/BinaryImage.h"
#include "korvath/korvath.h"

namespace Trelm
{

class ClusterGA;

/// The search of one image in memory, shared by the program's batch and the library: builds the
/// engine, runs its steps and keeps the solutions, which outlive the engine and its image.
class ImageSearch
{
  public:
    /// Every image starts from the same seed, so an image gives the same result wherever it is.
    static constexpr std::uint32_t IMAGE_SEED = korvath::Settings{}.seed;

    /// Why the step loop ended.
    enum class Stop { BUDGET, EXHAUSTED, STALLED, ASKED };

    /// What an observer learns after a step, before the step's solutions are taken.
    struct StepReport {
        std::int32_t step;
        std::uint32_t evaluations;
        std::size_t solutions;
        /// The engine as the step left it, for a picture of its clusters.
        ClusterGA& engine;
    };

    /// Called after every step; returning false asks the search to stop.
    using StepObserver = std::function<bool(const StepReport&)>;

    /// What a search leaves.
    struct Outcome {
        SharedChromosomes solutions;
        Stop stop = Stop::EXHAUSTED;
        std::int32_t steps = 0;
    };

    /// Searches the image from its first cluster on, calling the observer, when given, after
    /// every step.
    static Outcome run(RunContext& context, BinaryImage image,
                       const StepObserver& observer = nullptr);

    /// The step loop: steps and solution checks until the engine says stop, the budget is
    /// exceeded, the search can no longer change or the observer asks to stop.
    static Stop runSteps(ClusterGA& engine, SharedChromosomes& solutions,
                         const StepObserver& observer = nullptr);

  private:
    static void hintAtLargerEllipses(ClusterGA& engine, const Outcome& outcome);
};

} // namespace Trelm
