#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "core/RunContext.h"
#include "driver/ProgramSettings.h"
#include "driver/ReportWriter.h"
#include "genetic/Chromosome.h"

namespace Trelm
{

/// The program: reads the options, searches every image file, reports the results and a
/// summary. An image that fails is reported and counted, and the batch goes on. Each image's
/// search gets a run context of its own, seeded alike, so an image gives the same result
/// wherever it stands in the batch and however many images are searched at once.
class BatchRun
{
  public:
    /// Runs the whole program; returns the exit status.
    int run(int argc, const char* const argv[]);

  private:
    /// What one image's search leaves for the summary and the report.
    struct ImageOutcome {
        bool failed = false;
        SharedChromosomes solutions;
    };

    bool prepareOutputDir() const;
    std::string resultName(const std::string& fileName) const;
    bool refuseReportPath() const;
    bool openReport();
    RunContext contextForImage(std::ostream& out) const;
    void runInOrder();
    void runInParallel(unsigned jobs);
    ImageOutcome processImage(std::size_t index, std::ostream& out) const;
    void finishImage(std::size_t index, ImageOutcome& outcome);
    bool searchImage(std::size_t index, RunContext& context, ImageOutcome& outcome) const;
    bool reportSolutions(const std::string& fileName, std::int32_t width, std::int32_t height,
                         RunContext& context, const SharedChromosomes& solutions,
                         double& completenessSum, double& distanceSum) const;
    void findResultCollisions();
    void printSummary(std::uint32_t programStart) const;

    ProgramSettings settings_;
    std::int32_t verbosity_ = 3;
    std::int32_t errorCount_ = 0;
    /// Per image, why its result image is refused ("" when it is not).
    std::vector<std::string> resultCollisions_;
    ReportWriter report_;
};

} // namespace Trelm
