#include "driver/Options.h"

#include <fstream>
#include <iostream>

#include <boost/program_options.hpp>

namespace po = boost::program_options;

namespace Trelm
{

namespace
{

const char* const PROGRAM_NAME = "Korvath";
const char* const AUTHOR = "Brannoc";
const double VERSION = 1.0;
const char* const CONFIG_FILE = "settings.cfg";

struct OptionSets {
    po::options_description generic{"Command Line Options"};
    po::options_description config{"Configuration Options"};
    po::options_description hidden{"Hidden Options"};
    po::options_description commandLine;
    po::options_description configFile;
    po::options_description visible{"Allowed options"};
};

void declareGeneric(po::options_description& generic)
{
    auto add = generic.add_options();
    add("version,v", "print program version");
    add("help,h", "print help message");
}

// Double defaults carry their short text so that help shows (=0.1), not a 17-digit form.
template <typename T> po::typed_value<T>* withDefault(T* target, T value, const char* text)
{
    return po::value<T>(target)->default_value(value, text);
}

template <typename T> po::typed_value<T>* withDefault(T* target, T value)
{
    return po::value<T>(target)->default_value(value);
}

void declareConfiguration(po::options_description& config, SearchSettings& s,
                          std::int32_t& verbosity)
{
    auto add = config.add_options();
    add("cluster-size,C", withDefault(&s.clusterSize, 40u),
        "Maximum number of chromosomes per Cluster");
    add("populations,p", withDefault(&s.populations, 40u), "Maximum number of clusters");
    add("min-axis", withDefault(&s.minAxis, 8),
        "Minimum axis length for an ellipse to be considered valid");
    add("evaluations,e", withDefault(&s.evaluations, 8000u),
        "Maximum number of fitness evaluations before stopping");
    add("elite-proportion,E", withDefault(&s.eliteProportion, 0.1, "0.1"),
        "Proportion of the population used as elites for the new generation");
    add("discard-proportion,d", withDefault(&s.discardProportion, 0.15, "0.15"),
        "Proportion of the population to be discarded");
    add("crossover-rate,c", withDefault(&s.crossoverRate, 1.0, "1"),
        "Probability of recombining to parents' genome");
    add("mutation-rate,m", withDefault(&s.mutationRate, 0.15, "0.15"),
        "Probability of mutating a chromosome");
    add("clustering-freq", withDefault(&s.clusteringFreq, 5),
        "How often (in generations) to do combination of similar clusters and increase of "
        "ranges");
    add("drawing-thickness", withDefault(&s.drawingThickness, 6),
        "Drawing thickness (in pixels) of the resulting ellipses");
    add("verbose,V", withDefault(&verbosity, 3),
        "Level of verboseness (0-20). The higher the level, the more execution updates shown");
    add("progress,P", po::bool_switch(&s.progress),
        "Flag to print intermediate images to see detection process");
    add("draw-real,r", po::bool_switch(&s.drawReal),
        "Flag to draw the real figure found instead of the theoretical ellipse");
}

// Accepted on the command line and in settings.cfg, but never shown in help.
void declareHidden(po::options_description& hidden, SearchSettings& s)
{
    auto add = hidden.add_options();
    add("tracing-probability,T", withDefault(&s.tracingProbability, 0.95, "0.95"),
        "Probability of tracing to find genes when creating a chromosome intead of randomly "
        "picking them (high probability might slow down the process)");
    add("max-tracing", withDefault(&s.maxTracing, 50u), "Maximum number of neighbours to trace");
    add("min-completeness", withDefault(&s.minCompleteness, 0.2, "0.2"),
        "Minimum Completeness needed to create a new cluster");
    add("image-files,i", po::value<std::vector<std::string>>(&s.imageFiles)->composing(),
        "Image files to analyze");
    add("report", po::value<std::string>(&s.reportFile),
        "CSV file receiving the parameters of every solution");
    add("validate", po::bool_switch(&s.validate),
        "Accept only solutions whose outline support is unlikely by chance");
    add("refine", po::bool_switch(&s.refine),
        "Refit every solution to its matched pixels for sub-pixel parameters");
}

void buildOptionSets(OptionSets& sets, SearchSettings& s, std::int32_t& verbosity)
{
    declareGeneric(sets.generic);
    declareConfiguration(sets.config, s, verbosity);
    declareHidden(sets.hidden, s);
    sets.commandLine.add(sets.generic).add(sets.config).add(sets.hidden);
    sets.configFile.add(sets.config).add(sets.hidden);
    sets.visible.add(sets.config).add(sets.generic);
}

void printUsage(const po::options_description& visible)
{
    std::cout << "Usage:\n\n  " << PROGRAM_NAME << " [options] file1 [file2 ...]\n\n"
              << visible << "\n";
}

void parseSources(int argc, const char* const argv[], const OptionSets& sets, po::variables_map& vm)
{
    po::positional_options_description positional;
    positional.add("image-files", -1);
    po::store(
        po::command_line_parser(argc, argv).options(sets.commandLine).positional(positional).run(),
        vm);
    std::ifstream configStream(CONFIG_FILE);
    if (configStream)
        po::store(po::parse_config_file(configStream, sets.configFile, false), vm);
    po::notify(vm);
}

} // namespace

bool parseOptions(int argc, const char* const argv[], SearchSettings& settings,
                  std::int32_t& verbosity)
{
    settings = SearchSettings();
    OptionSets sets;
    buildOptionSets(sets, settings, verbosity);
    po::variables_map vm;
    try {
        parseSources(argc, argv, sets, vm);
    } catch (const po::error& error) {
        // A malformed command line or configuration file ends the program before any image.
        std::cout << "Error: " << error.what() << "\n\n";
        printUsage(sets.visible);
        return true;
    }
    if (vm.count("help")) {
        printUsage(sets.visible);
        return true;
    }
    if (vm.count("version")) {
        std::cout << PROGRAM_NAME << " v" << VERSION << " -- "
                  << "Written by " << AUTHOR << std::endl;
        return true;
    }
    if (!vm.count("image-files")) {
        std::cout << "Error: Missing image file(s) to process \n\n";
        printUsage(sets.visible);
        return true;
    }
    return false;
}

} // namespace Trelm
