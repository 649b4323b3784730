// The library's entry points: the same search the program runs on each image of a batch.
#include "korvath/korvath.h"

#include <exception>
#include <sstream>
#include <utility>

#include "api/ImageSearch.h"
#include "api/LibrarySettings.h"
#include "core/Constants.h"
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

// The grid the engine searches, set up as a loaded file's: the one copy of the caller's pixels.
BinaryImage binaryImage(const ImageView& image)
{
    if (image.width <= 0 || image.height <= 0 || image.width > Trelm::MAX_IMAGE_SIDE ||
        image.height > Trelm::MAX_IMAGE_SIDE)
        throw Error("Image size must be 1 to " + std::to_string(Trelm::MAX_IMAGE_SIDE) +
                    " pixels each way, not " + std::to_string(image.width) + "x" +
                    std::to_string(image.height));
    const auto width = static_cast<std::size_t>(image.width);
    const std::ptrdiff_t stride = image.rowStride == 0 ? image.width : image.rowStride;
    if (image.pixels == nullptr)
        throw Error("Image view has no pixels");
    if (stride < image.width)
        throw Error("Image rows must be at least width bytes apart, not " + std::to_string(stride));
    const std::uint8_t activeWhenZero = image.active == ActivePixels::Zero ? 1 : 0;
    BinaryImage grid;
    grid.resize(image.height, image.width, 0);
    for (std::size_t y = 0; y < grid.rows.size(); ++y) {
        const std::uint8_t* row = image.pixels + static_cast<std::ptrdiff_t>(y) * stride;
        for (std::size_t x = 0; x < width; ++x)
            grid.rows[y][x] = (row[x] == 0) == activeWhenZero ? 1 : 0;
    }
    grid.minX = static_cast<std::int16_t>(image.width);
    grid.minY = static_cast<std::int16_t>(image.height);
    grid.maxX = 0;
    grid.maxY = 0;
    return grid;
}

BinaryImage binaryImage(const Image& image)
{
    if (image.width > 0 && image.height > 0 &&
        image.pixels.size() !=
            static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
        throw Error("Image holds " + std::to_string(image.pixels.size()) +
                    " pixels, not width x height");
    ImageView view;
    view.pixels = image.pixels.data();
    view.width = image.width;
    view.height = image.height;
    // An empty image has no buffer; the size check names what is wrong with it.
    static const std::uint8_t none = 0;
    if (view.pixels == nullptr)
        view.pixels = &none;
    return binaryImage(view);
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
    case Trelm::ImageSearch::Stop::ASKED:
        return StopReason::Asked;
    case Trelm::ImageSearch::Stop::EXHAUSTED:
        break;
    }
    return StopReason::Exhausted;
}

} // namespace

namespace
{

// The grid of an image file, read as the program reads it; throws Error with the reader's
// message.
BinaryImage loadedGrid(const std::string& fileName, Trelm::ActiveSide side)
{
    BinaryImage grid;
    std::ostringstream messages;
    bool loaded = false;
    try {
        loaded = grid.load(fileName, messages, side);
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
Result search(BinaryImage grid, SearchSettings checked, const Settings& settings, std::ostream* log,
              const ProgressObserver& observer)
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
        Trelm::ImageSearch::StepObserver stepObserver;
        if (observer)
            stepObserver = [&observer](const Trelm::ImageSearch::StepReport& step) {
                return observer({step.step, step.evaluations, step.solutions});
            };
        outcome = Trelm::ImageSearch::run(context, std::move(grid), stepObserver);
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

Result detect(const Image& image, const Settings& settings, std::ostream* log,
              const ProgressObserver& observer)
{
    // Settings are checked first, as the program reads its options before any image.
    SearchSettings checked = Trelm::searchSettingsOf(settings);
    return search(binaryImage(image), std::move(checked), settings, log, observer);
}

Result detect(const ImageView& image, const Settings& settings, std::ostream* log,
              const ProgressObserver& observer)
{
    SearchSettings checked = Trelm::searchSettingsOf(settings);
    return search(binaryImage(image), std::move(checked), settings, log, observer);
}

Result detect(const std::string& fileName, const Settings& settings, std::ostream* log,
              const ProgressObserver& observer)
{
    SearchSettings checked = Trelm::searchSettingsOf(settings);
    BinaryImage grid =
        loadedGrid(fileName, Trelm::activeSideOf(settings.lightIsActive, settings.darkIsActive));
    if (log != nullptr) {
        // As the program says them, at the same levels.
        if (!grid.pageNote.empty() && settings.verbosity > Trelm::Verbosity::IMAGE)
            *log << grid.pageNote << "\n";
        if (!grid.activeRule.empty() && settings.verbosity > Trelm::Verbosity::PICTURE)
            *log << grid.activeRule << "\n";
    }
    return search(std::move(grid), std::move(checked), settings, log, observer);
}

Image readImage(const std::string& fileName, ActiveSide side)
{
    const Trelm::ActiveSide reading = side == ActiveSide::Light  ? Trelm::ActiveSide::Light
                                      : side == ActiveSide::Dark ? Trelm::ActiveSide::Dark
                                                                 : Trelm::ActiveSide::Minority;
    const BinaryImage grid = loadedGrid(fileName, reading);
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

Image readImage(const std::string& fileName, bool lightIsActive)
{
    return readImage(fileName, lightIsActive ? ActiveSide::Light : ActiveSide::Dark);
}

const char* version()
{
    return KORVATH_VERSION;
}

} // namespace korvath
