#include "driver/OutputImage.h"

#include "driver/PgmFile.h"
#include "engine/ClusterGA.h"
#include "geometry/Figure.h"

namespace Trelm
{

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

std::string resultImageName(const std::string& fileName)
{
    return fileStem(fileName) + "_quvex++.pgm";
}

std::string stepImageName(const std::string& fileName, int step)
{
    return fileStem(fileName) + "_quvex++TMP (Step " + std::to_string(step) + ").pgm";
}

void writeStepImage(ClusterGA& engine, const std::string& fileName, const ProgramSettings& settings,
                    std::ostream& out)
{
    std::vector<Chromosome*> bestOfClusters;
    engine.collectBest(bestOfClusters);
    engine.image.restoreClearedPixels();
    const BinaryImage output =
        makeOutputImage(engine.image, bestOfClusters, settings.drawReal, settings.drawingThickness);
    PGMB_WRITE(stepImageName(fileName, engine.stepCount), output.height, output.rows, output.width,
               out);
}

bool rereadInput(BinaryImage& fresh, const std::string& fileName, std::int32_t width,
                 std::int32_t height, bool lightIsActive, std::ostream& out)
{
    if (!fresh.load(fileName, out, lightIsActive)) {
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
