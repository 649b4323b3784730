#include "driver/BatchRun.h"

#include <iostream>

#include "driver/OutputImage.h"
#include "driver/SearchSettings.h"
#include "driver/TickCounter.h"
#include "engine/ClusterGA.h"
#include "genetic/EvaluationCount.h"
#include "genetic/Random.h"
#include "image/PgmFile.h"

namespace Trelm
{

namespace
{

// Every image starts from the same seed, so an image gives the same result wherever it is.
constexpr std::uint32_t IMAGE_SEED = 311;
constexpr std::uint32_t ELLIPSES_ONLY = 1;
constexpr int VERBOSITY_STEP = 1;
constexpr int VERBOSITY_IMAGE = 2;

void destroySolutions(std::vector<Chromosome*>& solutions)
{
    // The solution list is the last holder of its chromosomes.
    for (Chromosome* solution : solutions)
        delete solution;
    solutions.clear();
}

double secondsBetween(std::uint32_t start, std::uint32_t end)
{
    return static_cast<std::uint32_t>(end - start) / 1000.0;
}

} // namespace

int BatchRun::run(int argc, const char* const argv[])
{
    const std::uint32_t programStart = tickCount();
    if (SearchSettings::parseOptions(argc, argv))
        return 1;
    openReport();
    errorCount_ = 0;
    for (std::size_t index = 0; index < searchSettings.imageFiles.size(); ++index)
        processImage(index);
    printSummary(programStart);
    return 0;
}

void BatchRun::openReport()
{
    const std::string& path = searchSettings.reportFile;
    if (!path.empty() && !report_.open(path))
        std::cout << "Cannot create the report file " << path << "; no report is written."
                  << std::endl;
}

void BatchRun::processImage(std::size_t index)
{
    Trelm::srand(IMAGE_SEED);
    const std::uint32_t imageStart = tickCount();
    const std::string fileName = searchSettings.imageFiles[index];
    std::vector<Chromosome*> solutions;
    try {
        searchImage(index, fileName, imageStart, solutions);
    } catch (const std::exception& error) {
        destroySolutions(solutions);
        std::cout << "Unexpected error on (" << fileName << "):\n" << error.what() << std::endl;
        ++errorCount_;
    } catch (...) {
        destroySolutions(solutions);
        std::cout << "Unknown uncaught exception\n";
    }
}

void BatchRun::searchImage(std::size_t index, const std::string& fileName, std::uint32_t imageStart,
                           std::vector<Chromosome*>& solutions)
{
    if (verbosity > VERBOSITY_IMAGE)
        std::cout << "\n\n***********************************\n"
                  << "\nProcessing image " << index + 1 << " of "
                  << searchSettings.imageFiles.size() << ": " << fileName << std::endl;
    ClusterGA engine(fileName, ELLIPSES_ONLY);
    runSteps(engine, fileName, solutions);
    if (evaluationCount > searchSettings.evaluations)
        std::cout << "Execution stopped due to fitness evaluations number\n\n";
    const std::uint32_t imageEnd = tickCount();

    double completenessSum = 0.0;
    double distanceSum = 0.0;
    const std::size_t solutionCount = solutions.size();
    if (solutions.empty())
        std::cout << "Nothing Found" << std::endl;
    else
        reportSolutions(fileName, solutions, completenessSum, distanceSum);

    const double seconds = secondsBetween(imageStart, imageEnd);
    std::cout << "Elapsed time to " << evaluationCount << " evaluations and " << solutionCount
              << " solutions: " << seconds << "secs." << std::endl;
    std::cout << "Evaluations per second:" << evaluationCount / seconds << std::endl;
    // Nothing found gives 0/0 here, printed as the stream prints it; no line end follows.
    const auto n = static_cast<double>(solutionCount);
    std::cout << "Average Completeness: " << completenessSum / n
              << " Average Distance: " << distanceSum / n;
    if (solutionCount == 0)
        ++errorCount_;
}

void BatchRun::runSteps(ClusterGA& engine, const std::string& fileName,
                        std::vector<Chromosome*>& solutions)
{
    for (;;) {
        if (verbosity > VERBOSITY_STEP)
            std::cout << "\n"
                      << solutions.size() << " solutions found so far. " << engine.clusterCount()
                      << " more being explored...\n\n";
        engine.step();
        if (searchSettings.progress)
            writeStepImage(engine, fileName);
        const bool goOn = engine.checkSolutions(solutions);
        if (!goOn || evaluationCount > searchSettings.evaluations)
            return;
    }
}

void BatchRun::writeStepImage(ClusterGA& engine, const std::string& fileName)
{
    std::vector<Chromosome*> bestOfClusters;
    engine.collectBest(bestOfClusters);
    engine.image.restoreClearedPixels();
    const BinaryImage output = makeOutputImage(engine.image, bestOfClusters);
    PGMB_WRITE(stepImageName(fileName, engine.stepCount), output.height, output.rows, output.width);
}

void BatchRun::reportSolutions(const std::string& fileName, std::vector<Chromosome*>& solutions,
                               double& completenessSum, double& distanceSum)
{
    for (const Chromosome* solution : solutions) {
        completenessSum += solution->completeness;
        distanceSum += solution->distance;
        if (verbosity > VERBOSITY_IMAGE)
            std::cout << "Completeness: " << solution->completeness
                      << " Distance:" << solution->distance << std::endl;
    }
    // The stored picture with every pixel, not the engine's image that lost the solutions.
    BinaryImage fresh;
    fresh.load(fileName);
    const BinaryImage output = makeOutputImage(fresh, solutions);
    PGMB_WRITE(resultImageName(fileName), output.height, output.rows, output.width);
    if (report_.isOpen())
        report_.writeImage(fileName, solutions);
    destroySolutions(solutions);
}

void BatchRun::printSummary(std::uint32_t programStart) const
{
    const double total = secondsBetween(programStart, tickCount());
    const std::size_t succeeded =
        searchSettings.imageFiles.size() - static_cast<std::size_t>(errorCount_);
    std::cout << "\n\n+++++++++++++++++++++++++++++++++++++\n\nTerminated successfully\n\n";
    std::cout << "Number of errors: " << errorCount_ << std::endl;
    std::cout << "Program execution time: " << total << "secs.\n";
    std::cout << "Average time per image: " << total / static_cast<double>(succeeded) << "secs.\n";
}

} // namespace Trelm
