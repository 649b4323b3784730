#pragma once

// The detector as a library: one image in, its ellipses out. Nothing is printed unless the
// settings ask for it, and every call keeps its state to itself, so calls may run at once on
// several threads.

#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <string>
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

/// The search's parameters, one field per row of the option table (korvath/options.def) that
/// reaches the library, with the program's defaults; seed and verbosity are the library's own.
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

/// Reads an image file as the program does (PBM, BMP, PNG, PGM, TIFF) and searches it.
Result detect(const std::string& fileName, const Settings& settings = Settings(),
              std::ostream* log = nullptr);

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
/// false, whichever side has fewer pixels.
Image readImage(const std::string& fileName, bool lightIsActive);

/// The library's version, as the program prints it.
const char* version();

} // namespace korvath
