#pragma once

#include <string>
#include <vector>

#include "genetic/Chromosome.h"
#include "image/BinaryImage.h"

namespace Trelm
{

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

} // namespace Trelm
