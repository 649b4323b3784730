#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/ReportWriter.h"
#include "genetic/Chromosome.h"

namespace Trelm
{

class ClusterGA;

/// The program: reads the options, searches every image file in turn, reports the results
/// and a summary. An image that fails is reported and the batch goes on.
class BatchRun
{
  public:
    /// Runs the whole program; returns the exit status.
    int run(int argc, const char* const argv[]);

  private:
    void openReport();
    void processImage(std::size_t index);
    void searchImage(std::size_t index, const std::string& fileName, std::uint32_t imageStart,
                     std::vector<Chromosome*>& solutions);
    void runSteps(ClusterGA& engine, const std::string& fileName,
                  std::vector<Chromosome*>& solutions);
    void writeStepImage(ClusterGA& engine, const std::string& fileName);
    void reportSolutions(const std::string& fileName, std::vector<Chromosome*>& solutions,
                         double& completenessSum, double& distanceSum);
    void printSummary(std::uint32_t programStart) const;

    std::int32_t errorCount_ = 0;
    ReportWriter report_;
};

} // namespace Trelm
