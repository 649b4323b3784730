// The Python module: korvath.detect on numpy arrays or image files, korvath.read_image.
#include <cstdint>
#include <limits>
#include <optional>
#include <sstream>
#include <string>

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

py::object detect(const py::object& image, std::uint32_t evaluations, std::uint32_t clusterSize,
                  std::uint32_t populations, std::int32_t minAxis, double tracingProbability,
                  std::uint32_t maxTracing, double minCompleteness, double eliteProportion,
                  double discardProportion, double crossoverRate, double mutationRate,
                  std::int32_t clusteringFreq, bool validate, bool refine, bool lightIsActive,
                  std::uint32_t seed, std::int32_t verbose, bool fullOutput)
{
    korvath::Settings settings;
    settings.evaluations = evaluations;
    settings.clusterSize = clusterSize;
    settings.populations = populations;
    settings.minAxis = minAxis;
    settings.tracingProbability = tracingProbability;
    settings.maxTracing = maxTracing;
    settings.minCompleteness = minCompleteness;
    settings.eliteProportion = eliteProportion;
    settings.discardProportion = discardProportion;
    settings.crossoverRate = crossoverRate;
    settings.mutationRate = mutationRate;
    settings.clusteringFreq = clusteringFreq;
    settings.validate = validate;
    settings.refine = refine;
    settings.lightIsActive = lightIsActive;
    settings.seed = seed;
    settings.verbosity = verbose;
    const std::optional<std::string> path = pathOf(image);
    const korvath::Image searched =
        path ? korvath::Image() : imageFromArray(py::array::ensure(image));
    korvath::Result result;
    std::ostringstream log;
    std::ostream* const text = verbose > 0 ? &log : nullptr;
    {
        // Other Python threads run while this one reads and searches.
        py::gil_scoped_release unlocked;
        result = path ? korvath::detect(*path, settings, text)
                      : korvath::detect(searched, settings, text);
    }
    if (verbose > 0)
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

    const korvath::Settings defaults;
    module.def("detect", &detect, py::arg("image"), py::kw_only(),
               py::arg("evaluations") = defaults.evaluations,
               py::arg("cluster_size") = defaults.clusterSize,
               py::arg("populations") = defaults.populations,
               py::arg("min_axis") = defaults.minAxis,
               py::arg("tracing_probability") = defaults.tracingProbability,
               py::arg("max_tracing") = defaults.maxTracing,
               py::arg("min_completeness") = defaults.minCompleteness,
               py::arg("elite_proportion") = defaults.eliteProportion,
               py::arg("discard_proportion") = defaults.discardProportion,
               py::arg("crossover_rate") = defaults.crossoverRate,
               py::arg("mutation_rate") = defaults.mutationRate,
               py::arg("clustering_freq") = defaults.clusteringFreq,
               py::arg("validate") = defaults.validate, py::arg("refine") = defaults.refine,
               py::arg("light_is_active") = defaults.lightIsActive, py::arg("seed") = defaults.seed,
               py::arg("verbose") = defaults.verbosity, py::arg("full_output") = false,
               R"(Finds the ellipses of a binary image.

image: a 2-D numpy array of booleans or integers (non-zero is active, as in an edge map), or
the path of an image file the program reads (PBM, BMP, PNG, PGM). The keyword arguments are
the program's options. Returns a structured array with one record per ellipse, in the order
they were found: center_x, center_y, major_axis, minor_axis (full lengths), angle (radians),
completeness, distance, refined. With full_output, returns (ellipses, info), info holding
evaluations, steps and stop_reason ("budget", "exhausted" or "stalled"). The search releases
the GIL. Raises korvath.Error with the program's message.)");
    module.def(
        "read_image",
        [](const py::object& path, bool lightIsActive) {
            const std::string name = py::str(py::module_::import("os").attr("fspath")(path));
            korvath::Image image;
            {
                py::gil_scoped_release unlocked;
                image = korvath::readImage(name, lightIsActive);
            }
            return arrayFromImage(image);
        },
        py::arg("path"), py::arg("light_is_active") = false,
        "Reads an image file as the program does: a 2-D boolean array, True where active.");
}
