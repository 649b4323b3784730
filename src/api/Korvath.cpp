// The library's entry points: the same search the program runs on each image of a batch.
#include "korvath/korvath.h"

#include <exception>
#include <sstream>
#include <utility>

#include "api/ImageSearch.h"
#include "api/LibrarySettings.h"
#include "core/RunContext.h"
#include "genetic/EllipseChromosome.h"
#include "image/BinaryImage.h"
#include "image/PbmFile.h"

namespace korvath
{

namespace
{

using Trelm::BinaryImage;
using Trelm::RunContext;
using Trelm::SearchSettings;

// The grid the engine searches, set up as a loaded file's.
BinaryImage binaryImage(const Image& image)
{
    if (image.width <= 0 || image.height <= 0 || image.width > Trelm::MAX_IMAGE_SIDE ||
        image.height > Trelm::MAX_IMAGE_SIDE)
        throw Error("Image size must be 1 to " + std::to_string(Trelm::MAX_IMAGE_SIDE) +
                    " pixels each way, not " + std::to_string(image.width) + "x" +
                    std::to_string(image.height));
    const auto width = static_cast<std::size_t>(image.width);
    if (image.pixels.size() != width * static_cast<std::size_t>(image.height))
        throw Error("Image holds " + std::to_string(image.pixels.size()) +
                    " pixels, not width x height");
    BinaryImage grid;
    grid.resize(image.height, image.width, 0);
    for (std::size_t y = 0; y < grid.rows.size(); ++y)
        for (std::size_t x = 0; x < width; ++x)
            grid.rows[y][x] = image.pixels[y * width + x] != 0 ? 1 : 0;
    grid.minX = static_cast<std::int16_t>(image.width);
    grid.minY = static_cast<std::int16_t>(image.height);
    grid.maxX = 0;
    grid.maxY = 0;
    return grid;
}

DetectedEllipse detectedEllipse(const Trelm::Chromosome* solution)
{
    const auto* ellipse = static_cast<const Trelm::EllipseChromosome*>(solution);
    const Trelm::EllipseParameters e =
        ellipse->refined ? *ellipse->refined : ellipse->figure.parameters();
    return {e.centerX,
            e.centerY,
            e.majorAxis,
            e.minorAxis,
            e.angle,
            solution->completeness,
            solution->distance,
            ellipse->refined.has_value()};
}

StopReason stopReason(Trelm::ImageSearch::Stop stop)
{
    switch (stop) {
    case Trelm::ImageSearch::Stop::BUDGET:
        return StopReason::Budget;
    case Trelm::ImageSearch::Stop::STALLED:
        return StopReason::Stalled;
    case Trelm::ImageSearch::Stop::EXHAUSTED:
    // The library asks for no stop: it passes no observer.
    case Trelm::ImageSearch::Stop::ASKED:
        break;
    }
    return StopReason::Exhausted;
}

} // namespace

namespace
{

// The grid of an image file, read as the program reads it; throws Error with the reader's
// message.
BinaryImage loadedGrid(const std::string& fileName, bool lightIsActive)
{
    BinaryImage grid;
    std::ostringstream messages;
    bool loaded = false;
    try {
        loaded = grid.load(fileName, messages, lightIsActive);
    } catch (const std::exception& error) {
        throw Error(error.what());
    }
    if (!loaded) {
        // The reader's message, without the blank lines the console puts around it.
        std::string text = messages.str();
        const auto first = text.find_first_not_of('\n');
        const auto last = text.find_last_not_of('\n');
        text = first == std::string::npos ? "Error trying to load image"
                                          : text.substr(first, last - first + 1);
        throw Error(text);
    }
    return grid;
}

// The search of a grid with settings already checked (searchSettingsOf), as the program runs it.
Result search(BinaryImage grid, SearchSettings checked, const Settings& settings, std::ostream* log)
{
    RunContext context;
    context.settings = std::move(checked);
    context.verbosity = settings.verbosity;
    context.random.seed(settings.seed);
    // A stream without a buffer takes every write and keeps nothing.
    std::ostream silent(nullptr);
    context.output = log != nullptr ? log : &silent;
    Trelm::ImageSearch::Outcome outcome;
    try {
        outcome = Trelm::ImageSearch::run(context, std::move(grid));
    } catch (const std::exception& error) {
        throw Error(error.what());
    }
    Result result;
    for (const Trelm::Chromosome* solution : outcome.solutions.items())
        result.ellipses.push_back(detectedEllipse(solution));
    result.evaluations = context.evaluationCount;
    result.steps = outcome.steps;
    result.stopReason = stopReason(outcome.stop);
    return result;
}

} // namespace

Result detect(const Image& image, const Settings& settings, std::ostream* log)
{
    // Settings are checked first, as the program reads its options before any image.
    SearchSettings checked = Trelm::searchSettingsOf(settings);
    return search(binaryImage(image), std::move(checked), settings, log);
}

Result detect(const std::string& fileName, const Settings& settings, std::ostream* log)
{
    SearchSettings checked = Trelm::searchSettingsOf(settings);
    return search(loadedGrid(fileName, settings.lightIsActive), std::move(checked), settings, log);
}

Image readImage(const std::string& fileName, bool lightIsActive)
{
    const BinaryImage grid = loadedGrid(fileName, lightIsActive);
    Image image;
    image.width = grid.width;
    image.height = grid.height;
    image.pixels.reserve(static_cast<std::size_t>(grid.width) *
                         static_cast<std::size_t>(grid.height));
    for (const auto& row : grid.rows)
        for (std::size_t x = 0; x < static_cast<std::size_t>(grid.width); ++x)
            image.pixels.push_back(x < row.size() && row[x] != 0 ? 1 : 0);
    return image;
}

const char* version()
{
    return KORVATH_VERSION;
}

} // namespace korvath
