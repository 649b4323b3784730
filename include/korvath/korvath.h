#pragma once

// The detector as a library: one image in, its ellipses out. Nothing is printed unless the
// settings ask for it, and every call keeps its state to itself, so calls may run at once on
// several threads.
//
// Conventions, the same as the program's report:
// - Coordinates are in pixels, x to the right (column) and y down (row), with the origin at
//   the centre of the top-left pixel: pixel (x, y) covers [x - 0.5, x + 0.5] x [y - 0.5, y + 0.5].
// - Axes are full lengths (twice the semi-axes), the major first.
// - The angle is the major axis' direction in radians, in (-pi/2, pi/2]: 0 along +x, growing
//   from +x towards +y, which turns clockwise on screen since y points down.
// - Completeness is the share of the ellipse's outline found in the image, from 0 to 1; distance
//   is the mean distance in pixels between the outline's points and the pixels matching them.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "korvath/options.h"

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

/// Which pixel value of an ImageView marks an active pixel.
enum class ActivePixels {
    /// Every value but 0, as in an edge map.
    NonZero,
    /// 0, as in a picture of dark lines stored as 0 on a ground of another value.
    Zero,
};

/// A caller's buffer of one byte per pixel, searched without copying it first: row y starts
/// rowStride bytes after row y - 1. It must stay unchanged while a search reads it.
struct ImageView {
    const std::uint8_t* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    /// Bytes from the start of one row to the start of the next; 0 means width.
    std::ptrdiff_t rowStride = 0;
    ActivePixels active = ActivePixels::NonZero;
};

/// The search's parameters, one field per row of the option table (korvath/options.def) that
/// reaches the library, with the program's defaults; seed and verbosity are the library's own.
/// The fields, their meaning, unit and default:
/// - clusterSize (40): the most candidates a cluster holds; 1 to 10000.
/// - populations (40): the most clusters searched at once.
/// - minAxis (8 pixels): the shortest full axis a valid ellipse may have.
/// - evaluations (8000): the budget of fitness evaluations; the search stops once it is spent.
/// - eliteProportion (0.1): the share of a cluster carried unchanged into its next generation.
/// - discardProportion (0.15): the share of a cluster dropped at each generation.
/// - crossoverRate (1.0): the probability that two parents are recombined.
/// - mutationRate (0.15): the probability that a candidate is mutated.
/// - clusteringFreq (5 steps): every how many steps similar clusters merge and the axis limits
///   widen.
/// - tracingProbability (0.95): the probability that a new candidate's points are traced along
///   the image's pixels rather than drawn at random.
/// - maxTracing (50 pixels): the most neighbours traced for one mutation.
/// - minCompleteness (0.2, a share of the outline): the completeness a candidate outside every
///   cluster needs to found a cluster of its own.
/// - validate (false): accept only solutions whose outline support is unlikely by chance.
/// - refine (false): refit every solution to its matched pixels for sub-pixel parameters.
/// - lightIsActive (false): in files read by name, light pixels of PNG, PGM, TIFF and BMP
///   images are the active ones; no effect on Image or ImageView.
/// - darkIsActive (false): in files read by name, dark pixels of PNG, PGM and TIFF images are
///   active whichever side has more pixels (by default the side with fewer is).
/// - arcs (false): draw candidates from the image's edge chains, ending when they are used up.
/// - maxAxis (400 pixels): the longest full axis searched for; 0 for the image's diagonal.
/// - seed (311): the random generator's seed; the program seeds every image with it.
/// - verbosity (0): the console detail of the program's --verbose, 0 to 20; 0 prints nothing.
struct Settings {
#define KORVATH_OPTION(field, name, shortName, Type, value, bounds, help, scope, doc)              \
    KORVATH_SETTING_##scope(Type, field, value)
#define KORVATH_SETTING_Both(Type, field, value) options::Type field = value;
#define KORVATH_SETTING_Library(Type, field, value) options::Type field = value;
#define KORVATH_SETTING_Program(Type, field, value)
#define KORVATH_SETTING_Preset(Type, field, value)
#include "korvath/options.def"
#undef KORVATH_OPTION
#undef KORVATH_SETTING_Both
#undef KORVATH_SETTING_Library
#undef KORVATH_SETTING_Program
#undef KORVATH_SETTING_Preset

    /// The program's --robust: arcs, validation, refinement and no axis limit below the
    /// image's diagonal. Fields set after it win, as explicit options win over --robust.
    static Settings robust();
};

inline Settings Settings::robust()
{
    Settings settings;
    settings.arcs = true;
    settings.validate = true;
    settings.refine = true;
    settings.maxAxis = 0;
    return settings;
}

/// One ellipse found, with the fields of the program's report, in the conventions above.
/// Centre and axes are whole pixels unless the settings asked for refined ones.
struct DetectedEllipse {
    /// Centre in pixels, x right and y down from the centre of the top-left pixel.
    double centerX = 0;
    double centerY = 0;
    /// Full lengths of the axes, in pixels, major >= minor.
    double majorAxis = 0;
    double minorAxis = 0;
    /// Angle of the major axis from +x towards +y (clockwise on screen), radians in
    /// (-pi/2, pi/2].
    double angle = 0;
    /// Share of the outline found in the image, 0 to 1.
    double completeness = 0;
    /// Mean distance in pixels of the outline's points from the pixels that matched them.
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
    /// The progress observer asked to stop.
    Asked,
};

/// Where a search stands after one of its steps.
struct Progress {
    std::int32_t step = 0;
    std::uint32_t evaluations = 0;
    /// Solutions found before this step's are taken.
    std::size_t solutions = 0;
};

/// Called after every step of a search, on the searching thread; returning false stops the
/// search, which then returns what it found so far.
using ProgressObserver = std::function<bool(const Progress&)>;

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
    /// An error blamed on one setting, named by its long option name.
    Error(const std::string& message, std::string option)
        : std::runtime_error(message), option_(std::move(option))
    {
    }

    /// The long name of the option blamed ("cluster-size"), empty when none is.
    const std::string& option() const { return option_; }

  private:
    std::string option_;
};

/// Searches the image. Text the settings' verbosity asks for goes to log, when given; the
/// observer, when given, is called after every step.
Result detect(const Image& image, const Settings& settings = Settings(),
              std::ostream* log = nullptr, const ProgressObserver& observer = nullptr);

/// Searches the caller's buffer, read once into the search's own grid.
Result detect(const ImageView& image, const Settings& settings = Settings(),
              std::ostream* log = nullptr, const ProgressObserver& observer = nullptr);

/// Reads an image file as the program does (PBM, BMP, PNG, PGM, TIFF) and searches it.
Result detect(const std::string& fileName, const Settings& settings = Settings(),
              std::ostream* log = nullptr, const ProgressObserver& observer = nullptr);

/// Which pixels of an image file are active. A PBM's 1 always is, and a BMP's dark pixels are
/// unless the side is Light; the side chooses for PNG, PGM and TIFF files.
enum class ActiveSide {
    /// The side of the grey threshold with fewer pixels; a tie makes the dark pixels active.
    Minority,
    /// The dark pixels.
    Dark,
    /// The light pixels.
    Light,
};

/// Reads an image file as the program does; throws Error with the reader's message.
Image readImage(const std::string& fileName, ActiveSide side = ActiveSide::Minority);

/// Reads an image file with its light pixels active, or its dark ones when lightIsActive is
/// false, whichever side has more pixels.
Image readImage(const std::string& fileName, bool lightIsActive);

/// The library's version, as the program prints it.
const char* version();

} // namespace korvath
