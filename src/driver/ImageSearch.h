#pragma once

#include <cstdint>
#include <string>

#include "core/RunContext.h"
#include "genetic/Chromosome.h"
#include "image/BinaryImage.h"
#include "korvath/korvath.h"

namespace Trelm
{

class ClusterGA;

/// The search of one image, shared by the program's batch and the library: builds the engine,
/// runs its steps and keeps the solutions, which outlive the engine and its image.
class ImageSearch
{
  public:
    /// Every image starts from the same seed, so an image gives the same result wherever it is.
    static constexpr std::uint32_t IMAGE_SEED = korvath::Settings{}.seed;

    /// Why the step loop ended.
    enum class Stop { BUDGET, EXHAUSTED, STALLED };

    /// What a search leaves.
    struct Outcome {
        SharedChromosomes solutions;
        Stop stop = Stop::EXHAUSTED;
        std::int32_t steps = 0;
    };

    /// Loads the file and searches it; throws when it cannot be loaded. fileName also names
    /// the progress images.
    static Outcome run(RunContext& context, const std::string& fileName);
    /// Searches an image already in memory; it must not ask for progress images.
    static Outcome run(RunContext& context, BinaryImage image);

    /// The step loop of one image: steps and solution checks until the engine says stop, the
    /// budget is exceeded or the search can no longer change, with the progress images when
    /// asked for.
    static Stop runSteps(ClusterGA& engine, const std::string& fileName,
                         SharedChromosomes& solutions);

  private:
    static void writeStepImage(ClusterGA& engine, const std::string& fileName);
};

} // namespace Trelm
