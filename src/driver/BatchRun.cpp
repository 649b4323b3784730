#include "driver/BatchRun.h"

#include <iostream>

#include "core/Constants.h"
#include "driver/Options.h"
#include "driver/OutputImage.h"
#include "driver/TickCounter.h"
#include "engine/ClusterGA.h"
#include "image/PgmFile.h"

namespace Trelm
{

namespace
{

// Every image starts from the same seed, so an image gives the same result wherever it is.
constexpr std::uint32_t IMAGE_SEED = 311;

double secondsBetween(std::uint32_t start, std::uint32_t end)
{
    return static_cast<std::uint32_t>(end - start) / 1000.0;
}

} // namespace

int BatchRun::run(int argc, const char* const argv[])
{
    const std::uint32_t programStart = tickCount();
    if (parseOptions(argc, argv, settings_, verbosity_))
        return 1;
    openReport();
    errorCount_ = 0;
    for (std::size_t index = 0; index < settings_.imageFiles.size(); ++index)
        processImage(index);
    printSummary(programStart);
    return 0;
}

void BatchRun::openReport()
{
    const std::string& path = settings_.reportFile;
    if (!path.empty() && !report_.open(path))
        std::cout << "Cannot create the report file " << path << "; no report is written."
                  << std::endl;
}

RunContext BatchRun::contextForImage() const
{
    RunContext context;
    context.settings = settings_;
    context.verbosity = verbosity_;
    context.random.seed(IMAGE_SEED);
    return context;
}

void BatchRun::processImage(std::size_t index)
{
    RunContext context = contextForImage();
    const std::uint32_t imageStart = tickCount();
    const std::string fileName = settings_.imageFiles[index];
    // Released whatever happens, after the engine that shared them is gone.
    SharedChromosomes solutions;
    try {
        searchImage(index, fileName, imageStart, context, solutions);
    } catch (const std::exception& error) {
        std::cout << "Unexpected error on (" << fileName << "):\n" << error.what() << std::endl;
        ++errorCount_;
    } catch (...) {
        std::cout << "Unknown uncaught exception\n";
    }
}

void BatchRun::searchImage(std::size_t index, const std::string& fileName, std::uint32_t imageStart,
                           RunContext& context, SharedChromosomes& solutions)
{
    std::ostream& out = context.out();
    if (context.talks(Verbosity::IMAGE))
        out << "\n\n***********************************\n"
            << "\nProcessing image " << index + 1 << " of " << settings_.imageFiles.size() << ": "
            << fileName << std::endl;
    ClusterGA engine(context, fileName, ELLIPSE_BIT);
    runSteps(engine, fileName, solutions);
    if (context.budgetExceeded())
        out << "Execution stopped due to fitness evaluations number\n\n";
    const std::uint32_t imageEnd = tickCount();

    double completenessSum = 0.0;
    double distanceSum = 0.0;
    const std::size_t solutionCount = solutions.size();
    if (solutions.empty())
        out << "Nothing Found" << std::endl;
    else
        reportSolutions(fileName, context, solutions, completenessSum, distanceSum);

    const double seconds = secondsBetween(imageStart, imageEnd);
    out << "Elapsed time to " << context.evaluationCount << " evaluations and " << solutionCount
        << " solutions: " << seconds << "secs." << std::endl;
    out << "Evaluations per second:" << context.evaluationCount / seconds << std::endl;
    // Nothing found gives 0/0 here, printed as the stream prints it; no line end follows.
    const auto n = static_cast<double>(solutionCount);
    out << "Average Completeness: " << completenessSum / n
        << " Average Distance: " << distanceSum / n;
    if (solutionCount == 0)
        ++errorCount_;
}

void BatchRun::runSteps(ClusterGA& engine, const std::string& fileName,
                        SharedChromosomes& solutions)
{
    RunContext& context = engine.context();
    for (;;) {
        if (context.talks(Verbosity::STEP))
            context.out() << "\n"
                          << solutions.size() << " solutions found so far. "
                          << engine.clusterCount() << " more being explored...\n\n";
        engine.step();
        if (context.settings.progress)
            writeStepImage(engine, fileName);
        const bool goOn = engine.checkSolutions(solutions);
        if (!goOn || context.budgetExceeded())
            return;
    }
}

void BatchRun::writeStepImage(ClusterGA& engine, const std::string& fileName)
{
    const SearchSettings& settings = engine.context().settings;
    std::vector<Chromosome*> bestOfClusters;
    engine.collectBest(bestOfClusters);
    engine.image.restoreClearedPixels();
    const BinaryImage output =
        makeOutputImage(engine.image, bestOfClusters, settings.drawReal, settings.drawingThickness);
    PGMB_WRITE(stepImageName(fileName, engine.stepCount), output.height, output.rows, output.width);
}

void BatchRun::reportSolutions(const std::string& fileName, RunContext& context,
                               SharedChromosomes& solutions, double& completenessSum,
                               double& distanceSum)
{
    for (const Chromosome* solution : solutions.items()) {
        completenessSum += solution->completeness;
        distanceSum += solution->distance;
        if (context.talks(Verbosity::IMAGE))
            context.out() << "Completeness: " << solution->completeness
                          << " Distance:" << solution->distance << std::endl;
    }
    // The stored picture with every pixel, not the engine's image that lost the solutions.
    BinaryImage fresh;
    fresh.load(fileName);
    const BinaryImage output =
        makeOutputImage(fresh, solutions.items(), settings_.drawReal, settings_.drawingThickness);
    PGMB_WRITE(resultImageName(fileName), output.height, output.rows, output.width);
    if (report_.isOpen())
        report_.writeImage(fileName, solutions.items());
    solutions.clear();
}

void BatchRun::printSummary(std::uint32_t programStart) const
{
    const double total = secondsBetween(programStart, tickCount());
    const std::size_t succeeded =
        settings_.imageFiles.size() - static_cast<std::size_t>(errorCount_);
    std::cout << "\n\n+++++++++++++++++++++++++++++++++++++\n\nTerminated successfully\n\n";
    std::cout << "Number of errors: " << errorCount_ << std::endl;
    std::cout << "Program execution time: " << total << "secs.\n";
    std::cout << "Average time per image: " << total / static_cast<double>(succeeded) << "secs.\n";
}

} // namespace Trelm
