#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "driver/ProgramSettings.h"
#include "genetic/Chromosome.h"
#include "image/BinaryImage.h"

namespace Trelm
{

class ClusterGA;

/// A grey image of source (active pixels 0, background 255) with the chromosomes drawn
/// over the background in grey, squares of the given thickness: the ideal ellipse, or the
/// matched pixels with drawReal.
BinaryImage makeOutputImage(const BinaryImage& source, std::vector<Chromosome*> chromosomes,
                            bool drawReal, int thickness);

/// The input name up to, not including, its last "." (the whole name when there is none).
std::string fileStem(const std::string& fileName);

/// Name of the result image written beside the input.
std::string resultImageName(const std::string& fileName);

/// Name of the intermediate image of a step, written beside the input.
std::string stepImageName(const std::string& fileName, int step);

/// Writes the intermediate image of the engine's last step: every cluster's best candidate over
/// the image; the writer's message, if any, goes to out.
void writeStepImage(ClusterGA& engine, const std::string& fileName, const ProgramSettings& settings,
                    std::ostream& out);

/// Reads the input again into fresh for its result image. False, said on out, when it can no
/// longer be read or is no longer width x height pixels: the file changed during the search.
bool rereadInput(BinaryImage& fresh, const std::string& fileName, std::int32_t width,
                 std::int32_t height, bool lightIsActive, std::ostream& out);

} // namespace Trelm
