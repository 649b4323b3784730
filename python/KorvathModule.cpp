// The compiled half of the Python package korvath: detect on numpy arrays or image files,
// read_image, and the keywords of the option table. korvath/__init__.py gives them their
// signatures and documentation.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iomanip>
#include <limits>
#include <optional>
#include <sstream>
#include <streambuf>
#include <string>
#include <type_traits>
#include <vector>

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

std::string typeName(const py::handle& value)
{
    return py::str(value.get_type().attr("__name__"));
}

// A numpy array as the search reads it, and what keeps its pixels alive meanwhile.
struct ArrayInput {
    py::array held;
    korvath::ImageView view;
};

// Booleans, integers or reals where non-zero is active, as edge maps and filters give them, in
// H x W or H x W x 1. Arrays of one byte per pixel whose rows are contiguous are read in place;
// any other is compared with zero first.
ArrayInput arrayInput(py::array array)
{
    if (array.ndim() == 3 && array.shape(2) == 1)
        array = py::array::ensure(py::object(array[py::make_tuple(py::ellipsis(), 0)]));
    if (array.ndim() != 2)
        throw py::value_error("image must be a 2-D array or H x W x 1, not of shape " +
                              std::string(py::str(py::tuple(array.attr("shape")))));
    const char kind = array.dtype().kind();
    if (kind != 'b' && kind != 'i' && kind != 'u' && kind != 'f')
        throw py::type_error("image must hold booleans, integers or reals, not " +
                             std::string(py::str(array.dtype())));
    const bool inPlace =
        array.itemsize() == 1 && array.strides(1) == 1 && array.strides(0) >= array.shape(1);
    if (!inPlace)
        // numpy compares whatever the strides and type; the result is C-ordered booleans.
        array = ActiveArray::ensure(py::module_::import("numpy").attr("not_equal")(array, 0));
    ArrayInput input{array, {}};
    input.view.pixels = static_cast<const std::uint8_t*>(array.data());
    input.view.height = side(array.shape(0));
    input.view.width = side(array.shape(1));
    input.view.rowStride = array.strides(0);
    return input;
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
    case korvath::StopReason::Asked:
        return "asked";
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
std::string keywordOf(const std::string& name)
{
    std::string keyword = name;
    std::replace(keyword.begin(), keyword.end(), '-', '_');
    return keyword;
}

std::string number(double value)
{
    std::ostringstream text;
    text << std::setprecision(15) << value;
    return text.str();
}

// The value of a keyword as the field's type, within the table's bounds and the type's range.
template <typename Value>
Value checked(const std::string& keyword, const py::object& value, korvath::options::Bounds bounds)
{
    if constexpr (std::is_same_v<Value, bool>) {
        if (!py::isinstance<py::bool_>(value) &&
            !py::isinstance(value, py::module_::import("numpy").attr("bool_")))
            throw py::type_error(keyword + " must be a bool, not " + typeName(value));
        return value.cast<bool>();
    } else {
        if constexpr (std::is_integral_v<Value>)
            if (py::isinstance<py::bool_>(value) || !py::hasattr(value, "__index__"))
                throw py::type_error(keyword + " must be an integer, not " + typeName(value));
        double given = 0;
        try {
            given = value.cast<double>();
        } catch (const py::cast_error&) {
            throw py::type_error(keyword + " must be a number, not " + typeName(value));
        }
        if (!std::isfinite(given))
            throw py::value_error(keyword + " must be a finite number");
        const double lowest =
            std::max(bounds.lowest, static_cast<double>(std::numeric_limits<Value>::lowest()));
        const double highest =
            std::min(bounds.highest, static_cast<double>(std::numeric_limits<Value>::max()));
        if (given < lowest)
            throw py::value_error(keyword + " must be at least " + number(lowest));
        if (given > highest)
            throw py::value_error(keyword + " must be at most " + number(highest));
        return static_cast<Value>(given);
    }
}

// Takes the keyword out of the given ones into target when it is there.
template <typename Value>
void take(py::dict& given, const char* name, Value& target, korvath::options::Bounds bounds)
{
    const std::string keyword = keywordOf(name);
    if (given.contains(keyword))
        target = checked<Value>(keyword, given.attr("pop")(keyword), bounds);
}

// Every keyword detect takes: those of the table, then the module's own.
std::vector<std::string> allKeywords()
{
    std::vector<std::string> keywords;
#define KORVATH_OPTION(field, name, shortName, Type, value, bounds, help, scope, doc)              \
    KORVATH_NAME_##scope(name)
#define KORVATH_NAME_Both(name) keywords.push_back(keywordOf(name));
#define KORVATH_NAME_Library(name) keywords.push_back(keywordOf(name));
#define KORVATH_NAME_Preset(name) keywords.push_back(keywordOf(name));
#define KORVATH_NAME_Program(name)
#include <korvath/options.def>
#undef KORVATH_OPTION
#undef KORVATH_NAME_Both
#undef KORVATH_NAME_Library
#undef KORVATH_NAME_Preset
#undef KORVATH_NAME_Program
    keywords.insert(keywords.end(), {"progress", "full_output"});
    return keywords;
}

// A keyword none of the table's rows has, named as Python names it, with the closest one.
[[noreturn]] void refuseKeyword(const std::string& function, const py::handle& keyword)
{
    std::string message =
        function + "() got an unexpected keyword '" + std::string(py::str(keyword)) + "'";
    py::list known;
    for (const std::string& name : allKeywords())
        known.append(name);
    const py::list close =
        py::module_::import("difflib").attr("get_close_matches")(keyword, known, 1);
    if (!close.empty())
        message += "; did you mean '" + std::string(py::str(close[0])) + "'?";
    throw py::type_error(message);
}

// The settings the keywords give: the table's defaults, or --robust's preset when robust is
// true, then every keyword given, so that a keyword given explicitly wins over the preset.
korvath::Settings settingsOf(py::dict given, const std::string& function)
{
    using namespace korvath::options;
    bool preset = false;
#define KORVATH_OPTION(field, name, shortName, Type, value, bounds, help, scope, doc)              \
    KORVATH_PRESET_##scope(name, bounds)
#define KORVATH_PRESET_Preset(name, bounds) take(given, name, preset, bounds);
#define KORVATH_PRESET_Both(name, bounds)
#define KORVATH_PRESET_Library(name, bounds)
#define KORVATH_PRESET_Program(name, bounds)
#include <korvath/options.def>
#undef KORVATH_OPTION
#undef KORVATH_PRESET_Preset
#undef KORVATH_PRESET_Both
#undef KORVATH_PRESET_Library
#undef KORVATH_PRESET_Program
    korvath::Settings settings = preset ? korvath::Settings::robust() : korvath::Settings();
#define KORVATH_OPTION(field, name, shortName, Type, value, bounds, help, scope, doc)              \
    KORVATH_KEYWORD_##scope(field, name, bounds)
#define KORVATH_KEYWORD_Both(field, name, bounds) take(given, name, settings.field, bounds);
#define KORVATH_KEYWORD_Library(field, name, bounds) take(given, name, settings.field, bounds);
#define KORVATH_KEYWORD_Preset(field, name, bounds)
#define KORVATH_KEYWORD_Program(field, name, bounds)
#include <korvath/options.def>
#undef KORVATH_OPTION
#undef KORVATH_KEYWORD_Both
#undef KORVATH_KEYWORD_Library
#undef KORVATH_KEYWORD_Preset
#undef KORVATH_KEYWORD_Program
    if (!given.empty())
        refuseKeyword(function, given.begin()->first);
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

// The table's keywords as (keyword, default, type, meaning), for signatures, stubs and docs.
py::list keywordTable()
{
    py::list rows;
    const korvath::Settings defaults;
    auto row = [&rows](const char* name, py::object value, const char* doc) {
        rows.append(py::make_tuple(keywordOf(name), value, typeName(value), doc));
    };
#define KORVATH_OPTION(field, name, shortName, Type, value, bounds, help, scope, doc)              \
    KORVATH_ROW_##scope(field, name, doc)
#define KORVATH_ROW_Both(field, name, doc) row(name, py::cast(defaults.field), doc);
#define KORVATH_ROW_Library(field, name, doc) row(name, py::cast(defaults.field), doc);
#define KORVATH_ROW_Preset(field, name, doc) row(name, py::cast(false), doc);
#define KORVATH_ROW_Program(field, name, doc)
#include <korvath/options.def>
#undef KORVATH_OPTION
#undef KORVATH_ROW_Both
#undef KORVATH_ROW_Library
#undef KORVATH_ROW_Preset
#undef KORVATH_ROW_Program
    return rows;
}

// The search's text, written to sys.stdout line by line as it comes, with the GIL taken for
// each write. A write that fails is kept to be raised once the search has stopped.
class PythonStdout : public std::streambuf
{
  public:
    explicit PythonStdout(std::optional<py::error_already_set>& failure) : failure_(failure) {}

    /// Writes out what is left after the last line end.
    void finish() { write(pending_.size()); }

  protected:
    int overflow(int c) override
    {
        if (c != traits_type::eof()) {
            const char text = static_cast<char>(c);
            xsputn(&text, 1);
        }
        return traits_type::not_eof(c);
    }

    std::streamsize xsputn(const char* text, std::streamsize count) override
    {
        pending_.append(text, static_cast<std::size_t>(count));
        const std::size_t lineEnd = pending_.rfind('\n');
        if (lineEnd != std::string::npos)
            write(lineEnd + 1);
        return count;
    }

  private:
    void write(std::size_t length)
    {
        if (length == 0)
            return;
        py::gil_scoped_acquire held;
        if (!failure_) {
            try {
                const py::object out = py::module_::import("sys").attr("stdout");
                out.attr("write")(py::str(pending_.substr(0, length)));
                out.attr("flush")();
            } catch (py::error_already_set& error) {
                failure_.emplace(std::move(error));
            }
        }
        pending_.erase(0, length);
    }

    std::string pending_;
    std::optional<py::error_already_set>& failure_;
};

// After every step, with the GIL taken briefly: a pending signal's handler runs (Ctrl-C raises
// KeyboardInterrupt), then the caller's progress callable; an exception or a False stops.
bool observeStep(const korvath::Progress& step, const py::object& progress,
                 std::optional<py::error_already_set>& failure)
{
    py::gil_scoped_acquire held;
    if (failure)
        return false;
    try {
        if (PyErr_CheckSignals() != 0)
            throw py::error_already_set();
        if (progress.is_none())
            return true;
        return !progress(step.step, step.evaluations, step.solutions).is(py::bool_(false));
    } catch (py::error_already_set& error) {
        failure.emplace(std::move(error));
        return false;
    }
}

// An error the library blames on one setting, named by its keyword.
[[noreturn]] void raiseSettingError(const korvath::Error& error)
{
    // The per-keyword checks came first: what is left is a generation step the settings
    // cannot form together.
    throw py::value_error(keywordOf(error.option()) +
                          " does not work with the other settings: a generation step cannot "
                          "be formed with them");
}

py::object detect(const py::object& image, const py::kwargs& keywords)
{
    py::dict given(keywords);
    bool fullOutput = false;
    if (given.contains("full_output"))
        fullOutput = checked<bool>("full_output", given.attr("pop")("full_output"), {});
    py::object progress = py::none();
    if (given.contains("progress"))
        progress = given.attr("pop")("progress");
    if (!progress.is_none() && !PyCallable_Check(progress.ptr()))
        throw py::type_error("progress must be callable, not " + typeName(progress));
    const korvath::Settings settings = settingsOf(given, "detect");
    const std::optional<std::string> path = pathOf(image);
    const ArrayInput input = path ? ArrayInput{} : arrayInput(py::array::ensure(image));
    if (!path && !input.held)
        throw py::type_error("image must be a numpy array or a file name, not " + typeName(image));

    std::optional<py::error_already_set> failure;
    PythonStdout stdoutBuffer(failure);
    std::ostream text(&stdoutBuffer);
    const korvath::ProgressObserver observer = [&progress, &failure](const korvath::Progress& p) {
        return observeStep(p, progress, failure);
    };
    korvath::Result result;
    try {
        // Other Python threads run while this one reads and searches.
        py::gil_scoped_release unlocked;
        std::ostream* log = settings.verbosity > 0 ? &text : nullptr;
        result = path ? korvath::detect(*path, settings, log, observer)
                      : korvath::detect(input.view, settings, log, observer);
        stdoutBuffer.finish();
    } catch (const korvath::Error& error) {
        if (!error.option().empty())
            raiseSettingError(error);
        throw;
    }
    if (failure)
        throw *failure;
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

PYBIND11_MODULE(_korvath, module)
{
    module.doc() = "The compiled search of the korvath package; use korvath itself.";
    module.attr("__version__") = korvath::version();
    py::register_exception<korvath::Error>(module, "Error", PyExc_RuntimeError);

    module.def("detect", &detect, py::arg("image"), "See korvath.detect.");
    module.def(
        "settings",
        [](const py::kwargs& keywords) {
            return settingsDict(settingsOf(py::dict(keywords), "settings"));
        },
        "See korvath.settings.");
    module.def("keywords", &keywordTable,
               "The option table's keywords: (keyword, default, type name, meaning) each.");
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
        "See korvath.read_image.");
}
