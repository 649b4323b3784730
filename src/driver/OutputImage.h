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

/// Name of the result image: beside the input, or in outputDir when it is not empty; a PNG's
/// name when png is true, else a PGM's.
std::string resultImageName(const std::string& fileName, const std::string& outputDir = "",
                            bool png = false);

/// Name of the intermediate image of a step: beside the input, or in outputDir when it is not
/// empty.
std::string stepImageName(const std::string& fileName, int step, const std::string& outputDir = "");

/// Writes the result image of fileName as the settings ask (a grey PGM, or with resultPng the
/// ellipses in colour in a PNG); true when written, else the writer's message went to out.
bool writeResultImage(const BinaryImage& output, const std::string& fileName,
                      const ProgramSettings& settings, std::ostream& out);

/// Writes the intermediate image of the engine's last step: every cluster's best candidate over
/// the image; the writer's message, if any, goes to out.
void writeStepImage(ClusterGA& engine, const std::string& fileName, const ProgramSettings& settings,
                    std::ostream& out);

/// Reads the input again into fresh for its result image. False, said on out, when it can no
/// longer be read or is no longer width x height pixels: the file changed during the search.
bool rereadInput(BinaryImage& fresh, const std::string& fileName, std::int32_t width,
                 std::int32_t height, ActiveSide side, std::ostream& out);

} // namespace Trelm
