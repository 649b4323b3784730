// The Python module: korvath.detect on numpy arrays or image files, korvath.read_image.
#include <cstdint>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <type_traits>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <korvath/korvath.h>

namespace py = pybind11;

namespace
{

using ActiveArray = py::array_t<bool, py::array::c_style | py::array::forcecast>;

std::int32_t side(py::ssize_t length)
{
    if (length > std::numeric_limits<std::int32_t>::max())
        throw py::value_error("image is too large: " + std::to_string(length) + " pixels");
    return static_cast<std::int32_t>(length);
}

// Booleans, or integers of any width where non-zero is active, as edge maps hold them.
korvath::Image imageFromArray(const py::array& array)
{
    if (array.ndim() != 2)
        throw py::value_error("image must be a 2-D array, not " + std::to_string(array.ndim()) +
                              "-D");
    const char kind = array.dtype().kind();
    if (kind != 'b' && kind != 'i' && kind != 'u')
        throw py::type_error("image must hold booleans or integers, not " +
                             std::string(py::str(array.dtype())));
    // numpy compares whatever the strides and width; the result is C-ordered booleans.
    const auto active =
        ActiveArray::ensure(py::module_::import("numpy").attr("not_equal")(array, 0));
    korvath::Image image;
    image.height = side(active.shape(0));
    image.width = side(active.shape(1));
    const bool* data = active.data();
    image.pixels.assign(data, data + active.size());
    return image;
}

py::array arrayFromImage(const korvath::Image& image)
{
    ActiveArray array(
        {static_cast<py::ssize_t>(image.height), static_cast<py::ssize_t>(image.width)});
    bool* data = array.mutable_data();
    for (std::size_t i = 0; i < image.pixels.size(); ++i)
        data[i] = image.pixels[i] != 0;
    return std::move(array);
}

// The report's fields, one record per ellipse in promotion order.
py::array ellipseArray(const korvath::Result& result)
{
    py::list fields;
    for (const char* name :
         {"center_x", "center_y", "major_axis", "minor_axis", "angle", "completeness", "distance"})
        fields.append(py::make_tuple(name, "f8"));
    fields.append(py::make_tuple("refined", "?"));
    py::list rows;
    for (const korvath::DetectedEllipse& e : result.ellipses)
        rows.append(py::make_tuple(e.centerX, e.centerY, e.majorAxis, e.minorAxis, e.angle,
                                   e.completeness, e.distance, e.refined));
    return py::module_::import("numpy").attr("array")(rows, py::arg("dtype") = fields);
}

const char* stopName(korvath::StopReason reason)
{
    switch (reason) {
    case korvath::StopReason::Budget:
        return "budget";
    case korvath::StopReason::Stalled:
        return "stalled";
    case korvath::StopReason::Exhausted:
        break;
    }
    return "exhausted";
}

// The file name an image argument gives, or nothing when it is an array.
std::optional<std::string> pathOf(const py::object& image)
{
    if (!py::isinstance<py::str>(image) &&
        !py::isinstance(image, py::module_::import("os").attr("PathLike")))
        return std::nullopt;
    return std::string(py::str(py::module_::import("os").attr("fspath")(image)));
}

// The keyword of a table row: its long name with '_' for '-'.
std::string keywordOf(const char* name)
{
    std::string keyword = name;
    for (char& c : keyword)
        if (c == '-')
            c = '_';
    return keyword;
}

// Takes the keyword out of the given ones into target when it is there.
template <typename Value> void take(py::dict& given, const char* name, Value& target)
{
    const py::str keyword(keywordOf(name));
    if (!given.contains(keyword))
        return;
    const py::object value = given.attr("pop")(keyword);
    try {
        target = value.cast<Value>();
    } catch (const py::cast_error&) {
        throw py::type_error("detect() argument '" + std::string(keyword) + "' must be " +
                             (std::is_same_v<Value, bool> ? "a bool" : "a number") + ", not " +
                             std::string(py::str(value.get_type().attr("__name__"))));
    }
}

// The settings the keywords give: the table's defaults, or --robust's preset when robust is
// true, then every keyword given, so that a keyword given explicitly wins over the preset.
korvath::Settings settingsOf(py::dict given)
{
    bool preset = false;
#define KORVATH_OPTION(field, name, shortName, Type, value, bounds, help, scope, doc)              \
    KORVATH_PRESET_##scope(name)
#define KORVATH_PRESET_Preset(name) take(given, name, preset);
#define KORVATH_PRESET_Both(name)
#define KORVATH_PRESET_Library(name)
#define KORVATH_PRESET_Program(name)
#include <korvath/options.def>
#undef KORVATH_OPTION
#undef KORVATH_PRESET_Preset
#undef KORVATH_PRESET_Both
#undef KORVATH_PRESET_Library
#undef KORVATH_PRESET_Program
    korvath::Settings settings = preset ? korvath::Settings::robust() : korvath::Settings();
#define KORVATH_OPTION(field, name, shortName, Type, value, bounds, help, scope, doc)              \
    KORVATH_KEYWORD_##scope(field, name)
#define KORVATH_KEYWORD_Both(field, name) take(given, name, settings.field);
#define KORVATH_KEYWORD_Library(field, name) take(given, name, settings.field);
#define KORVATH_KEYWORD_Preset(field, name)
#define KORVATH_KEYWORD_Program(field, name)
#include <korvath/options.def>
#undef KORVATH_OPTION
#undef KORVATH_KEYWORD_Both
#undef KORVATH_KEYWORD_Library
#undef KORVATH_KEYWORD_Preset
#undef KORVATH_KEYWORD_Program
    if (!given.empty())
        throw py::type_error("detect() got an unexpected keyword argument '" +
                             std::string(py::str(given.begin()->first)) + "'");
    return settings;
}

// Every setting by its keyword, as a dict.
py::dict settingsDict(const korvath::Settings& settings)
{
    py::dict values;
#define KORVATH_OPTION(field, name, shortName, Type, value, bounds, help, scope, doc)              \
    KORVATH_VALUE_##scope(field, name)
#define KORVATH_VALUE_Both(field, name) values[py::str(keywordOf(name))] = settings.field;
#define KORVATH_VALUE_Library(field, name) values[py::str(keywordOf(name))] = settings.field;
#define KORVATH_VALUE_Preset(field, name)
#define KORVATH_VALUE_Program(field, name)
#include <korvath/options.def>
#undef KORVATH_OPTION
#undef KORVATH_VALUE_Both
#undef KORVATH_VALUE_Library
#undef KORVATH_VALUE_Preset
#undef KORVATH_VALUE_Program
    return values;
}

// The keywords of the table with their defaults and docs, for detect's documentation.
std::string keywordDocs()
{
    std::ostringstream text;
    const korvath::Settings defaults;
    text << "\n\nKeywords:\n";
#define KORVATH_OPTION(field, name, shortName, Type, value, bounds, help, scope, doc)              \
    KORVATH_DOC_##scope(field, name, doc)
#define KORVATH_DOC_Both(field, name, doc)                                                         \
    text << "  " << keywordOf(name) << " = " << std::string(py::repr(py::cast(defaults.field)))    \
         << ": " << doc << "\n";
#define KORVATH_DOC_Library(field, name, doc) KORVATH_DOC_Both(field, name, doc)
#define KORVATH_DOC_Preset(field, name, doc)                                                       \
    text << "  " << keywordOf(name) << " = False: " << doc << "\n";
#define KORVATH_DOC_Program(field, name, doc)
#include <korvath/options.def>
#undef KORVATH_OPTION
#undef KORVATH_DOC_Both
#undef KORVATH_DOC_Library
#undef KORVATH_DOC_Preset
#undef KORVATH_DOC_Program
    text << "  full_output = False: also return the search's info";
    return text.str();
}

py::object detect(const py::object& image, const py::kwargs& keywords)
{
    py::dict given(keywords);
    bool fullOutput = false;
    if (given.contains("full_output"))
        fullOutput = given.attr("pop")("full_output").cast<bool>();
    const korvath::Settings settings = settingsOf(given);
    const std::optional<std::string> path = pathOf(image);
    const korvath::Image searched =
        path ? korvath::Image() : imageFromArray(py::array::ensure(image));
    korvath::Result result;
    std::ostringstream log;
    std::ostream* const text = settings.verbosity > 0 ? &log : nullptr;
    {
        // Other Python threads run while this one reads and searches.
        py::gil_scoped_release unlocked;
        result = path ? korvath::detect(*path, settings, text)
                      : korvath::detect(searched, settings, text);
    }
    if (settings.verbosity > 0)
        py::print(log.str(), py::arg("end") = "");
    py::array ellipses = ellipseArray(result);
    if (!fullOutput)
        return std::move(ellipses);
    py::dict info;
    info["evaluations"] = result.evaluations;
    info["steps"] = result.steps;
    info["stop_reason"] = stopName(result.stopReason);
    return py::make_tuple(ellipses, info);
}

} // namespace

PYBIND11_MODULE(korvath, module)
{
    module.doc() = "Ellipse detection in binary images by a clustered genetic search.";
    module.attr("__version__") = korvath::version();
    py::register_exception<korvath::Error>(module, "Error", PyExc_RuntimeError);

    static const std::string detectDoc = R"(Finds the ellipses of a binary image.

image: a 2-D numpy array of booleans or integers (non-zero is active, as in an edge map), or
the path of an image file the program reads (PBM, BMP, PNG, PGM, TIFF; see read_image for its
active pixels). The keyword arguments are the program's options. Returns a structured array
with one record per ellipse, in the order they were found: center_x, center_y, major_axis,
minor_axis (full lengths), angle (radians), completeness, distance, refined. With
full_output, returns (ellipses, info), info holding evaluations, steps and stop_reason
("budget", "exhausted" or "stalled"). The search releases the GIL. Raises korvath.Error with
the program's message.)" + keywordDocs();
    module.def("detect", &detect, py::arg("image"), detectDoc.c_str());
    module.def(
        "settings",
        [](const py::kwargs& keywords) { return settingsDict(settingsOf(py::dict(keywords))); },
        "The settings detect would search with for the same keywords, by keyword.");
    module.def(
        "read_image",
        [](const py::object& path, bool lightIsActive, bool darkIsActive) {
            const std::string name = py::str(py::module_::import("os").attr("fspath")(path));
            if (lightIsActive && darkIsActive)
                throw korvath::Error("light_is_active and dark_is_active cannot both be true");
            const korvath::ActiveSide side = lightIsActive  ? korvath::ActiveSide::Light
                                             : darkIsActive ? korvath::ActiveSide::Dark
                                                            : korvath::ActiveSide::Minority;
            korvath::Image image;
            {
                py::gil_scoped_release unlocked;
                image = korvath::readImage(name, side);
            }
            return arrayFromImage(image);
        },
        py::arg("path"), py::arg("light_is_active") = false, py::arg("dark_is_active") = false,
        "Reads an image file as the program does: a 2-D boolean array, True where active. The\n"
        "active pixels of a PNG, PGM or TIFF file are those of the side of the grey threshold\n"
        "with fewer pixels (the dark ones on a tie) unless light_is_active or dark_is_active\n"
        "forces a side; a PBM's 1 is active, and a BMP's dark pixels unless light_is_active.");
}
