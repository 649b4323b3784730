#pragma once

// The detector as a library: one image in, its ellipses out. Nothing is printed unless the
// settings ask for it, and every call keeps its state to itself, so calls may run at once on
// several threads.

#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace korvath
{

/// A binary image: width × height pixels in row-major order, a non-zero pixel active.
struct Image {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> pixels;

    /// Whether the pixel at column x, row y is active.
    bool active(std::int32_t x, std::int32_t y) const
    {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)] != 0;
    }
};

/// The search's parameters; the defaults are the program's.
struct Settings {
    std::uint32_t clusterSize = 40;
    std::uint32_t populations = 40;
    std::int32_t minAxis = 8;
    std::uint32_t evaluations = 8000;
    double tracingProbability = 0.95;
    std::uint32_t maxTracing = 50;
    double minCompleteness = 0.2;
    double eliteProportion = 0.1;
    double discardProportion = 0.15;
    double crossoverRate = 1.0;
    double mutationRate = 0.15;
    std::int32_t clusteringFreq = 5;
    /// A candidate must also show support unlikely by chance to become a solution.
    bool validate = false;
    /// Each solution is refitted to its pixels for sub-pixel parameters.
    bool refine = false;
    /// For files: light grey pixels are active instead of dark ones (edge maps stored white on
    /// black).
    bool lightIsActive = false;
    /// Seed of the search; the program seeds every image alike with this value.
    std::uint32_t seed = 311;
    /// Console detail as the program's --verbose; 0 prints nothing.
    std::int32_t verbosity = 0;
};

/// One ellipse found, with the fields of the program's report. Centre and axes are whole
/// pixels unless the settings asked for refined ones.
struct DetectedEllipse {
    double centerX = 0;
    double centerY = 0;
    /// Full lengths of the axes, in pixels.
    double majorAxis = 0;
    double minorAxis = 0;
    /// Angle of the major axis, in radians.
    double angle = 0;
    /// Share of the outline found in the image.
    double completeness = 0;
    /// Mean distance of the outline's points from the pixels that matched them.
    double distance = 0;
    /// Whether the parameters were refitted to the pixels.
    bool refined = false;
};

/// Why a search ended.
enum class StopReason {
    /// The evaluation budget was spent.
    Budget,
    /// The image held no more candidates worth searching.
    Exhausted,
    /// The search no longer changed.
    Stalled,
};

/// What a search of one image found, its solutions in the order they were promoted.
struct Result {
    std::vector<DetectedEllipse> ellipses;
    std::uint32_t evaluations = 0;
    std::int32_t steps = 0;
    StopReason stopReason = StopReason::Exhausted;
};

/// A file that cannot be read, an image or settings the search cannot work with; the message
/// is the program's.
class Error : public std::runtime_error
{
  public:
    using std::runtime_error::runtime_error;
};

/// Searches the image. Text the settings' verbosity asks for goes to log, when given.
Result detect(const Image& image, const Settings& settings = Settings(),
              std::ostream* log = nullptr);

/// Reads an image file as the program does (PBM, BMP, PNG, PGM) and searches it.
Result detect(const std::string& fileName, const Settings& settings = Settings(),
              std::ostream* log = nullptr);

/// Reads an image file as the program does; throws Error with the reader's message.
Image readImage(const std::string& fileName, bool lightIsActive = false);

/// The library's version, as the program prints it.
const char* version();

} // namespace korvath
