#include "driver/SearchSettings.h"

#include <fstream>
#include <iostream>

#include <boost/program_options.hpp>

namespace po = boost::program_options;

namespace Trelm
{

SearchSettings searchSettings;
std::int32_t verbosity = 3;

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
    generic.add_options()("version,v", "print program version")("help,h", "print help message");
}

void declareConfiguration(po::options_description& config, SearchSettings& s)
{
    // Double defaults carry their short text so that help shows (=0.1), not a 17-digit form.
    config.add_options()("cluster-size,C",
                         po::value<std::uint32_t>(&s.clusterSize)->default_value(40),
                         "Maximum number of chromosomes per Cluster")(
        "populations,p", po::value<std::uint32_t>(&s.populations)->default_value(40),
        "Maximum number of clusters")("min-axis",
                                      po::value<std::int32_t>(&s.minAxis)->default_value(8),
                                      "Minimum axis length for an ellipse to be considered valid")(
        "evaluations,e", po::value<std::uint32_t>(&s.evaluations)->default_value(8000),
        "Maximum number of fitness evaluations before stopping")(
        "elite-proportion,E", po::value<double>(&s.eliteProportion)->default_value(0.1, "0.1"),
        "Proportion of the population used as elites for the new generation")(
        "discard-proportion,d",
        po::value<double>(&s.discardProportion)->default_value(0.15, "0.15"),
        "Proportion of the population to be discarded")(
        "crossover-rate,c", po::value<double>(&s.crossoverRate)->default_value(1.0, "1"),
        "Probability of recombining to parents' genome")(
        "mutation-rate,m", po::value<double>(&s.mutationRate)->default_value(0.15, "0.15"),
        "Probability of mutating a chromosome")(
        "clustering-freq", po::value<std::int32_t>(&s.clusteringFreq)->default_value(5),
        "How often (in generations) to do combination of similar clusters and increase of "
        "ranges")("drawing-thickness",
                  po::value<std::int32_t>(&s.drawingThickness)->default_value(6),
                  "Drawing thickness (in pixels) of the resulting ellipses")(
        "verbose,V", po::value<std::int32_t>(&verbosity)->default_value(3),
        "Level of verboseness (0-20). The higher the level, the more execution updates shown")(
        "progress,P", po::bool_switch(&s.progress),
        "Flag to print intermediate images to see detection process")(
        "draw-real,r", po::bool_switch(&s.drawReal),
        "Flag to draw the real figure found instead of the theoretical ellipse");
}

void declareHidden(po::options_description& hidden, SearchSettings& s)
{
    hidden.add_options()(
        "tracing-probability,T",
        po::value<double>(&s.tracingProbability)->default_value(0.95, "0.95"),
        "Probability of tracing to find genes when creating a chromosome intead of "
        "randomly picking them (high probability might slow down the process)")(
        "max-tracing", po::value<std::uint32_t>(&s.maxTracing)->default_value(50),
        "Maximum number of neighbours to trace")(
        "min-completeness", po::value<double>(&s.minCompleteness)->default_value(0.2, "0.2"),
        "Minimum Completeness needed to create a new cluster")(
        "image-files,i", po::value<std::vector<std::string>>(&s.imageFiles)->composing(),
        "Image files to analyze")("report", po::value<std::string>(&s.reportFile),
                                  "CSV file receiving the parameters of every solution");
}

void buildOptionSets(OptionSets& sets, SearchSettings& s)
{
    declareGeneric(sets.generic);
    declareConfiguration(sets.config, s);
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

SearchSettings SearchSettings::defaults()
{
    SearchSettings s;
    const std::int32_t savedVerbosity = verbosity;
    OptionSets sets;
    buildOptionSets(sets, s);
    po::variables_map vm;
    // Storing an empty parse applies every default value.
    po::store(po::parsed_options(&sets.commandLine), vm);
    po::notify(vm);
    verbosity = savedVerbosity;
    return s;
}

bool SearchSettings::parseOptions(int argc, const char* const argv[])
{
    searchSettings = SearchSettings();
    OptionSets sets;
    buildOptionSets(sets, searchSettings);
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
