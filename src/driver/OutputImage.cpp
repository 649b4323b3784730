#include "driver/OutputImage.h"

#include <filesystem>

#include "driver/PgmFile.h"
#include "driver/PngFile.h"
#include "engine/ClusterGA.h"
#include "geometry/Figure.h"

namespace Trelm
{

namespace
{

// The colour of the ellipses in a PNG result: a red that neither black nor white hides.
constexpr PaletteColour ELLIPSE_COLOUR{220, 20, 60};

// The stem beside the input, or the stem without the input's folder inside outputDir.
std::string placedStem(const std::string& fileName, const std::string& outputDir)
{
    const std::string stem = fileStem(fileName);
    if (outputDir.empty())
        return stem;
    return (std::filesystem::path(outputDir) / std::filesystem::path(stem).filename()).string();
}

} // namespace

BinaryImage makeOutputImage(const BinaryImage& source, std::vector<Chromosome*> chromosomes,
                            bool drawReal, int thickness)
{
    BinaryImage output;
    output.resize(source.height, source.width, BACKGROUND_GREY);
    for (int y = 0; y < source.height; ++y) {
        // A row the reader never reached stays background.
        const auto& sourceRow = source.rows[static_cast<std::size_t>(y)];
        auto& outputRow = output.rows[static_cast<std::size_t>(y)];
        for (std::size_t x = 0; x < sourceRow.size() && x < outputRow.size(); ++x)
            if (sourceRow[x] != 0)
                outputRow[x] = 0;
    }
    for (Chromosome* chromosome : chromosomes)
        chromosome->draw(output.rows, output.height, output.width, !drawReal, thickness);
    return output;
}

std::string fileStem(const std::string& fileName)
{
    return fileName.substr(0, fileName.rfind('.'));
}

std::string resultImageName(const std::string& fileName, const std::string& outputDir, bool png)
{
    return placedStem(fileName, outputDir) + (png ? "_quvex++.png" : "_quvex++.pgm");
}

std::string stepImageName(const std::string& fileName, int step, const std::string& outputDir)
{
    return placedStem(fileName, outputDir) + "_quvex++TMP (Step " + std::to_string(step) + ").pgm";
}

bool writeResultImage(const BinaryImage& output, const std::string& fileName,
                      const ProgramSettings& settings, std::ostream& out)
{
    const std::string name = resultImageName(fileName, settings.outputDir, settings.resultPng);
    if (!settings.resultPng)
        return !PGMB_WRITE(name, output.height, output.rows, output.width, out);
    // Every grey stays the grey it is (input pixels black, background white); the drawn
    // ellipses take a colour that stands out from both.
    Palette palette;
    for (std::size_t grey = 0; grey < palette.size(); ++grey) {
        const auto level = static_cast<std::uint8_t>(grey);
        palette[grey] = {level, level, level};
    }
    palette[FIGURE_GREY] = ELLIPSE_COLOUR;
    return writePalettePng(name, output.height, output.rows, output.width, palette, out);
}

void writeStepImage(ClusterGA& engine, const std::string& fileName, const ProgramSettings& settings,
                    std::ostream& out)
{
    std::vector<Chromosome*> bestOfClusters;
    engine.collectBest(bestOfClusters);
    engine.image.restoreClearedPixels();
    const BinaryImage output =
        makeOutputImage(engine.image, bestOfClusters, settings.drawReal, settings.drawingThickness);
    PGMB_WRITE(stepImageName(fileName, engine.stepCount, settings.outputDir), output.height,
               output.rows, output.width, out);
}

bool rereadInput(BinaryImage& fresh, const std::string& fileName, std::int32_t width,
                 std::int32_t height, ActiveSide side, std::ostream& out)
{
    if (!fresh.load(fileName, out, side)) {
        out << "No result image for " << fileName << ": it can no longer be read.\n";
        return false;
    }
    if (fresh.width != width || fresh.height != height) {
        out << "No result image for " << fileName << ": it is now " << fresh.width << "x"
            << fresh.height << " pixels, not the " << width << "x" << height << " searched.\n";
        return false;
    }
    return true;
}

} // namespace Trelm
