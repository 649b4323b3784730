#pragma once

#include <cstdint>
#include <string>

#include "core/RunContext.h"
#include "core/SearchSettings.h"
#include "driver/ReportWriter.h"
#include "genetic/Chromosome.h"

namespace Trelm
{

class ClusterGA;

/// The program: reads the options, searches every image file in turn, reports the results
/// and a summary. An image that fails is reported and the batch goes on. Each image's search
/// gets a run context of its own, seeded alike, so an image gives the same result wherever
/// it stands in the batch.
class BatchRun
{
  public:
    /// Runs the whole program; returns the exit status.
    int run(int argc, const char* const argv[]);

    /// The step loop of one image: steps and solution checks until the engine says stop or
    /// the budget is exceeded, with the progress images when asked for.
    static void runSteps(ClusterGA& engine, const std::string& fileName,
                         SharedChromosomes& solutions);

  private:
    void openReport();
    RunContext contextForImage() const;
    void processImage(std::size_t index);
    void searchImage(std::size_t index, const std::string& fileName, std::uint32_t imageStart,
                     RunContext& context, SharedChromosomes& solutions);
    static void writeStepImage(ClusterGA& engine, const std::string& fileName);
    void reportSolutions(const std::string& fileName, RunContext& context,
                         SharedChromosomes& solutions, double& completenessSum,
                         double& distanceSum);
    void printSummary(std::uint32_t programStart) const;

    SearchSettings settings_;
    std::int32_t verbosity_ = 3;
    std::int32_t errorCount_ = 0;
    ReportWriter report_;
};

} // namespace Trelm
