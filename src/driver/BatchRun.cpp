#include "driver/BatchRun.h"

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "api/ImageSearch.h"
#include "core/Constants.h"
#include "core/Exceptions.h"
#include "driver/Options.h"
#include "driver/OutputImage.h"
#include "driver/PgmFile.h"
#include "driver/TickCounter.h"
#include "image/BinaryImage.h"

namespace Trelm
{

namespace
{

// Exit status when the batch ran but its console output could not be written.
constexpr int LOST_OUTPUT = 2;

double secondsBetween(std::uint32_t start, std::uint32_t end)
{
    return static_cast<std::uint32_t>(end - start) / 1000.0;
}

// The file a name reaches, links and "." or ".." resolved as far as they exist.
std::filesystem::path resolvedPath(const std::string& name)
{
    std::error_code ignored;
    return std::filesystem::weakly_canonical(std::filesystem::absolute(name), ignored)
        .lexically_normal();
}

bool samePath(const std::string& a, const std::string& b)
{
    return resolvedPath(a) == resolvedPath(b);
}

// The picture of an image file, the reader's messages on out; throws when it cannot be read. A
// name the readers refuse is the error itself.
BinaryImage loadedImage(const std::string& fileName, const RunContext& context)
{
    const std::string problem = BinaryImage::formatProblem(fileName);
    if (!problem.empty())
        throw InvalidParameterException(problem);
    BinaryImage image;
    const SearchSettings& s = context.settings;
    if (!image.load(fileName, context.out(), activeSideOf(s.lightIsActive, s.darkIsActive)))
        throw InvalidParameterException("Error trying to load image");
    if (!image.pageNote.empty() && context.talks(Verbosity::IMAGE))
        context.out() << image.pageNote << "\n";
    if (!image.activeRule.empty() && context.talks(Verbosity::PICTURE))
        context.out() << image.activeRule << "\n";
    return image;
}

} // namespace

int BatchRun::run(int argc, const char* const argv[])
{
    const std::uint32_t programStart = tickCount();
    if (parseOptions(argc, argv, settings_, verbosity_))
        return 1;
    if (!prepareOutputDir() || refuseReportPath() || !openReport())
        return 1;
    findResultCollisions();
    errorCount_ = 0;
    unsigned jobs = settings_.jobs;
    if (jobs == 0)
        jobs = std::max(1u, std::thread::hardware_concurrency());
    jobs = static_cast<unsigned>(std::min<std::size_t>(jobs, settings_.imageFiles.size()));
    if (jobs <= 1)
        runInOrder();
    else
        runInParallel(jobs);
    report_.printHeld(std::cout);
    printSummary(programStart);
    std::cout.flush();
    return std::cout ? 0 : LOST_OUTPUT;
}

// The folder of the results is made before any image is read, so that a batch never runs for
// results it cannot write.
bool BatchRun::prepareOutputDir() const
{
    const std::string& folder = settings_.outputDir;
    if (folder.empty())
        return true;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (std::filesystem::is_directory(folder, error))
        return true;
    std::cout << "Error: the output folder " << folder
              << " is not a folder and cannot be made one; nothing is processed.\n";
    return false;
}

std::string BatchRun::resultName(const std::string& fileName) const
{
    return resultImageName(fileName, settings_.outputDir, settings_.resultPng);
}

// A report must never replace an image of the batch: it is created before any image is read.
bool BatchRun::refuseReportPath() const
{
    const std::string& report = settings_.reportFile;
    if (report.empty() || report == "-")
        return false;
    for (const std::string& image : settings_.imageFiles) {
        for (const std::string& other : {image, resultName(image)}) {
            if (samePath(report, other)) {
                std::cout << "Error: the report file " << report << " would replace " << other
                          << ", an image of the batch; nothing is processed.\n";
                return true;
            }
        }
    }
    return false;
}

// A batch whose report was asked for but cannot be made would run for nothing.
bool BatchRun::openReport()
{
    const std::string& path = settings_.reportFile;
    if (path.empty() || report_.open(path))
        return true;
    std::cout << "Error: the report file " << path << " cannot be created; nothing is processed."
              << std::endl;
    return false;
}

RunContext BatchRun::contextForImage(std::ostream& out) const
{
    RunContext context;
    context.settings = settings_;
    context.verbosity = verbosity_;
    context.random.seed(settings_.seed);
    context.output = &out;
    return context;
}

void BatchRun::runInOrder()
{
    for (std::size_t index = 0; index < settings_.imageFiles.size(); ++index) {
        ImageOutcome outcome = processImage(index, std::cout);
        finishImage(index, outcome);
    }
}

// Up to jobs images are searched at once, each printing into a buffer of its own; the buffers
// are printed whole and in input order, so the console reads as with one job. No image is
// started more than 2·jobs places ahead of the one printed next, which bounds what waits.
void BatchRun::runInParallel(unsigned jobs)
{
    struct Finished {
        std::string text;
        ImageOutcome outcome;
    };
    const std::size_t count = settings_.imageFiles.size();
    std::vector<std::optional<Finished>> finished(count);
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t nextToStart = 0;
    std::size_t nextToPrint = 0;
    const auto work = [&] {
        for (;;) {
            std::size_t index = 0;
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] {
                    return nextToStart >= count || nextToStart < nextToPrint + 2 * jobs;
                });
                if (nextToStart >= count)
                    return;
                index = nextToStart++;
            }
            std::ostringstream text;
            ImageOutcome outcome = processImage(index, text);
            std::lock_guard<std::mutex> lock(mutex);
            finished[index] = Finished{text.str(), std::move(outcome)};
            changed.notify_all();
        }
    };
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < jobs; ++i)
        workers.emplace_back(work);
    for (std::size_t index = 0; index < count; ++index) {
        Finished done;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return finished[index].has_value(); });
            done = std::move(*finished[index]);
            finished[index].reset();
            nextToPrint = index + 1;
            changed.notify_all();
        }
        std::cout << done.text;
        std::cout.flush();
        finishImage(index, done.outcome);
    }
    for (std::thread& worker : workers)
        worker.join();
}

BatchRun::ImageOutcome BatchRun::processImage(std::size_t index, std::ostream& out) const
{
    RunContext context = contextForImage(out);
    const std::string& fileName = settings_.imageFiles[index];
    ImageOutcome outcome;
    try {
        outcome.failed = !searchImage(index, context, outcome);
    } catch (const std::exception& error) {
        outcome.solutions.clear();
        out << "Unexpected error on (" << fileName << "):\n" << error.what() << std::endl;
        outcome.failed = true;
    } catch (...) {
        // Whatever else is thrown ends this image like any other error.
        outcome.solutions.clear();
        out << "Unknown uncaught exception\n";
        outcome.failed = true;
    }
    return outcome;
}

void BatchRun::finishImage(std::size_t index, ImageOutcome& outcome)
{
    bool failed = outcome.failed;
    if (report_.isOpen() && !outcome.solutions.empty()) {
        report_.writeImage(settings_.imageFiles[index], outcome.solutions.items());
        // A report cut short (a full device, a size limit) is said once and counted once, as
        // a failure of the image whose rows it lost.
        if (report_.noticeFailure(std::cout))
            failed = true;
    }
    if (failed)
        ++errorCount_;
    outcome.solutions.clear();
}

// The first image of the batch to name a result image keeps it: a later image with another
// name but the same result image would replace that result without a word, so it is refused.
// The same image listed again writes the same result and is no collision, and a name the
// readers refuse never writes one. Each name is resolved once, before the batch, so a long
// batch costs one pass.
void BatchRun::findResultCollisions()
{
    const std::vector<std::string>& files = settings_.imageFiles;
    resultCollisions_.assign(files.size(), "");
    std::map<std::filesystem::path, std::size_t> firstClaimer;
    for (std::size_t index = 0; index < files.size(); ++index) {
        if (!BinaryImage::hasImageExtension(files[index]))
            continue;
        const std::string result = resultName(files[index]);
        const auto [claim, isFirst] = firstClaimer.emplace(resolvedPath(result), index);
        if (isFirst)
            continue;
        const std::string& other = files[claim->second];
        if (resolvedPath(other) != resolvedPath(files[index]))
            resultCollisions_[index] =
                "Its result image " + result + " is already that of " + other + " in this batch";
    }
}

bool BatchRun::searchImage(std::size_t index, RunContext& context, ImageOutcome& outcome) const
{
    const std::uint32_t imageStart = tickCount();
    const std::string& fileName = settings_.imageFiles[index];
    std::ostream& out = context.out();
    if (context.talks(Verbosity::IMAGE))
        out << "\n\n***********************************\n"
            << "\nProcessing image " << index + 1 << " of " << settings_.imageFiles.size() << ": "
            << fileName << std::endl;
    const std::string& collision = resultCollisions_[index];
    if (!collision.empty())
        throw std::runtime_error(collision);
    BinaryImage image = loadedImage(fileName, context);
    const std::int32_t width = image.width;
    const std::int32_t height = image.height;
    ImageSearch::StepObserver progress;
    if (settings_.progress)
        progress = [&](const ImageSearch::StepReport& step) {
            writeStepImage(step.engine, fileName, settings_, out);
            return true;
        };
    SharedChromosomes& solutions = outcome.solutions;
    solutions = std::move(ImageSearch::run(context, std::move(image), progress).solutions);
    if (context.budgetExceeded())
        out << "Execution stopped due to fitness evaluations number\n\n";
    const std::uint32_t imageEnd = tickCount();

    double completenessSum = 0.0;
    double distanceSum = 0.0;
    const std::size_t solutionCount = solutions.size();
    bool written = true;
    if (solutions.empty())
        out << "Nothing Found" << std::endl;
    else
        written = reportSolutions(fileName, width, height, context, solutions, completenessSum,
                                  distanceSum);

    const double seconds = secondsBetween(imageStart, imageEnd);
    out << "Elapsed time to " << context.evaluationCount << " evaluations and " << solutionCount
        << " solutions: " << seconds << "secs." << std::endl;
    out << "Evaluations per second:" << context.evaluationCount / seconds << std::endl;
    // Nothing found gives 0/0 here, printed as the stream prints it; no line end follows.
    const auto n = static_cast<double>(solutionCount);
    out << "Average Completeness: " << completenessSum / n
        << " Average Distance: " << distanceSum / n;
    return solutionCount > 0 && written;
}

bool BatchRun::reportSolutions(const std::string& fileName, std::int32_t width, std::int32_t height,
                               RunContext& context, const SharedChromosomes& solutions,
                               double& completenessSum, double& distanceSum) const
{
    for (const Chromosome* solution : solutions.items()) {
        completenessSum += solution->completeness;
        distanceSum += solution->distance;
        if (context.talks(Verbosity::IMAGE))
            context.out() << "Completeness: " << solution->completeness
                          << " Distance:" << solution->distance << std::endl;
    }
    // The stored picture with every pixel, not the engine's image that lost the solutions. A
    // BMP's warnings are printed a second time, as the program always has.
    BinaryImage fresh;
    if (!rereadInput(fresh, fileName, width, height,
                     activeSideOf(settings_.lightIsActive, settings_.darkIsActive), context.out()))
        return false;
    const BinaryImage output =
        makeOutputImage(fresh, solutions.items(), settings_.drawReal, settings_.drawingThickness);
    return writeResultImage(output, fileName, settings_, context.out());
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
