#include "driver/Options.h"

#include <cmath>
#include <fstream>
#include <iostream>
#include <limits>
#include <sstream>

#include <boost/program_options.hpp>

#include "core/SettingsBounds.h"

namespace po = boost::program_options;

namespace Trelm
{

namespace
{

const char* const PROGRAM_NAME = "Korvath";
const char* const AUTHOR = "Brannoc";
const double VERSION = 1.0;
const char* const CONFIG_FILE = "settings.cfg";

// The smallest and largest cluster sizes; the other bounds are checked on the whole settings.
using SettingsBounds::MAX_CLUSTER_SIZE;
using SettingsBounds::MIN_CLUSTER_SIZE;

struct OptionSets {
    po::options_description generic{"Command Line Options"};
    po::options_description config{"Configuration Options"};
    po::options_description hidden{"Hidden Options"};
    po::options_description commandLine;
    po::options_description configFile;
    po::options_description visible{"Allowed options"};
};

// The library reads "-1" into an unsigned as 4294967295: a minus sign before a non-zero value
// is refused here, and so is a value outside [lowest, highest], as an invalid argument.
class UnsignedValue : public po::typed_value<std::uint32_t>
{
  public:
    UnsignedValue(std::uint32_t* target, std::uint32_t lowest, std::uint32_t highest)
        : po::typed_value<std::uint32_t>(target), lowest_(lowest), highest_(highest)
    {
    }

    void xparse(boost::any& store, const std::vector<std::string>& tokens) const override
    {
        po::typed_value<std::uint32_t>::xparse(store, tokens);
        const auto value = boost::any_cast<std::uint32_t>(store);
        const bool wrapped = tokens.front().front() == '-' && value != 0;
        if (wrapped || value < lowest_ || value > highest_)
            throw po::invalid_option_value(tokens.front());
    }

  private:
    std::uint32_t lowest_;
    std::uint32_t highest_;
};

// The library reads "inf" and "nan" as doubles; no count or probability can be formed from them.
class FiniteValue : public po::typed_value<double>
{
  public:
    explicit FiniteValue(double* target) : po::typed_value<double>(target) {}

    void xparse(boost::any& store, const std::vector<std::string>& tokens) const override
    {
        po::typed_value<double>::xparse(store, tokens);
        if (!std::isfinite(boost::any_cast<double>(store)))
            throw po::invalid_option_value(tokens.front());
    }
};

po::typed_value<std::uint32_t>*
unsignedValue(std::uint32_t* target, std::uint32_t value, std::uint32_t lowest = 0,
              std::uint32_t highest = std::numeric_limits<std::uint32_t>::max())
{
    return (new UnsignedValue(target, lowest, highest))->default_value(value);
}

// Double defaults carry their short text so that help shows (=0.1), not a 17-digit form.
po::typed_value<double>* finiteValue(double* target, double value, const char* text)
{
    return (new FiniteValue(target))->default_value(value, text);
}

po::typed_value<std::int32_t>* withDefault(std::int32_t* target, std::int32_t value)
{
    return po::value<std::int32_t>(target)->default_value(value);
}

void declareGeneric(po::options_description& generic)
{
    auto add = generic.add_options();
    add("version,v", "print program version");
    add("help,h", "print help message");
}

void declareConfiguration(po::options_description& config, SearchSettings& s,
                          std::int32_t& verbosity)
{
    auto add = config.add_options();
    add("cluster-size,C", unsignedValue(&s.clusterSize, 40u, MIN_CLUSTER_SIZE, MAX_CLUSTER_SIZE),
        "Maximum number of chromosomes per Cluster");
    add("populations,p", unsignedValue(&s.populations, 40u), "Maximum number of clusters");
    add("min-axis", withDefault(&s.minAxis, 8),
        "Minimum axis length for an ellipse to be considered valid");
    add("evaluations,e", unsignedValue(&s.evaluations, 8000u),
        "Maximum number of fitness evaluations before stopping");
    add("elite-proportion,E", finiteValue(&s.eliteProportion, 0.1, "0.1"),
        "Proportion of the population used as elites for the new generation");
    add("discard-proportion,d", finiteValue(&s.discardProportion, 0.15, "0.15"),
        "Proportion of the population to be discarded");
    add("crossover-rate,c", finiteValue(&s.crossoverRate, 1.0, "1"),
        "Probability of recombining to parents' genome");
    add("mutation-rate,m", finiteValue(&s.mutationRate, 0.15, "0.15"),
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
    add("tracing-probability,T", finiteValue(&s.tracingProbability, 0.95, "0.95"),
        "Probability of tracing to find genes when creating a chromosome intead of randomly "
        "picking them (high probability might slow down the process)");
    add("max-tracing", unsignedValue(&s.maxTracing, 50u), "Maximum number of neighbours to trace");
    add("min-completeness", finiteValue(&s.minCompleteness, 0.2, "0.2"),
        "Minimum Completeness needed to create a new cluster");
    add("image-files,i", po::value<std::vector<std::string>>(&s.imageFiles)->composing(),
        "Image files to analyze");
    add("report", po::value<std::string>(&s.reportFile),
        "CSV file receiving the parameters of every solution");
    add("validate", po::bool_switch(&s.validate),
        "Accept only solutions whose outline support is unlikely by chance");
    add("refine", po::bool_switch(&s.refine),
        "Refit every solution to its matched pixels for sub-pixel parameters");
    add("jobs,j", unsignedValue(&s.jobs, 1u),
        "Number of images searched at once (0: one per core)");
    add("light-is-active", po::bool_switch(&s.lightIsActive),
        "Make light pixels of PNG, PGM and BMP images active instead of dark ones");
    add("arcs", po::bool_switch(&s.arcs), "Draw candidates from edge chains");
    add("max-axis", withDefault(&s.maxAxis, 400), "Largest major axis searched for (0: any)");
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

// The library fills a message template by replacing each placeholder (%value%, %option%, ...)
// until none is left, so a user's text that holds a placeholder is replaced forever. Every
// text of an error is escaped to hold no '%' before the message is formatted, and restored in
// the finished message, whose own words hold neither character used here.
const char ESCAPE = '\x01';
const char ESCAPED_ESCAPE = '\x01';
const char ESCAPED_PERCENT = '\x02';

std::string escapePercents(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == ESCAPE)
            out += {ESCAPE, ESCAPED_ESCAPE};
        else if (c == '%')
            out += {ESCAPE, ESCAPED_PERCENT};
        else
            out += c;
    }
    return out;
}

std::string restorePercents(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ESCAPE && i + 1 < text.size()) {
            out += text[i + 1] == ESCAPED_PERCENT ? '%' : ESCAPE;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// A copy of an error with its substitutions escaped; it formats with the library's wording.
template <typename Error> class EscapedError : public Error
{
  public:
    explicit EscapedError(const Error& original) : Error(original)
    {
        for (auto& substitution : this->m_substitutions)
            substitution.second = escapePercents(substitution.second);
    }

    std::string message() const { return restorePercents(this->what()); }
};

// The ambiguous option error is the one that adds to the template (its alternatives, which
// are declared names); every other error formats as its base.
std::string messageOf(const po::error& error)
{
    if (const auto* ambiguous = dynamic_cast<const po::ambiguous_option*>(&error))
        return EscapedError<po::ambiguous_option>(*ambiguous).message();
    if (const auto* named = dynamic_cast<const po::error_with_option_name*>(&error))
        return EscapedError<po::error_with_option_name>(*named).message();
    return error.what();
}

// What was parsed, the command line first, which wins over settings.cfg.
using ParsedSources = std::vector<po::parsed_options>;

void parseSources(int argc, const char* const argv[], const OptionSets& sets,
                  ParsedSources& sources, po::variables_map& vm)
{
    po::positional_options_description positional;
    positional.add("image-files", -1);
    sources.push_back(
        po::command_line_parser(argc, argv).options(sets.commandLine).positional(positional).run());
    po::store(sources.back(), vm);
    std::ifstream configStream(CONFIG_FILE);
    if (configStream) {
        sources.push_back(po::parse_config_file(configStream, sets.configFile, false));
        po::store(sources.back(), vm);
    }
    po::notify(vm);
}

// The invalid-argument error for the occurrence that set an option, worded as the library
// words it; an option left at its default is shown as on the command line with that value.
std::string invalidArgument(const ParsedSources& sources, const std::string& name,
                            const std::string& valueText)
{
    for (const po::parsed_options& source : sources) {
        for (const po::option& option : source.options) {
            if (option.string_key != name || option.value.empty())
                continue;
            po::invalid_option_value error(option.value.front());
            const std::string original =
                option.original_tokens.empty() ? "" : option.original_tokens.front();
            error.add_context(name, original, source.m_options_prefix);
            return messageOf(error);
        }
    }
    po::invalid_option_value error(valueText);
    error.add_context(name, "--" + name, po::command_line_style::allow_long);
    return messageOf(error);
}

std::string textOf(double value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

bool wasGiven(const ParsedSources& sources, const std::string& name)
{
    for (const po::parsed_options& source : sources)
        for (const po::option& option : source.options)
            if (option.string_key == name)
                return true;
    return false;
}

// Blames the first suspect the user gave. The defaults pass every check, so one was given.
std::string blame(const ParsedSources& sources,
                  const std::vector<SettingsBounds::Suspect>& suspects)
{
    const SettingsBounds::Suspect* chosen = &suspects.front();
    for (const SettingsBounds::Suspect& suspect : suspects) {
        if (wasGiven(sources, suspect.name)) {
            chosen = &suspect;
            break;
        }
    }
    return invalidArgument(sources, chosen->name, textOf(chosen->value));
}

// The message for settings that no generation step can work with, or "" when the step can be
// formed.
std::string checkCombination(const SearchSettings& s, const ParsedSources& sources)
{
    const std::vector<SettingsBounds::Suspect> suspects = SettingsBounds::unworkable(s);
    return suspects.empty() ? "" : blame(sources, suspects);
}

} // namespace

bool parseOptions(int argc, const char* const argv[], SearchSettings& settings,
                  std::int32_t& verbosity)
{
    settings = SearchSettings();
    OptionSets sets;
    buildOptionSets(sets, settings, verbosity);
    po::variables_map vm;
    ParsedSources sources;
    std::string problem;
    try {
        parseSources(argc, argv, sets, sources, vm);
        problem = checkCombination(settings, sources);
    } catch (const po::error& error) {
        problem = messageOf(error);
    }
    if (!problem.empty()) {
        // A malformed command line or configuration file ends the program before any image.
        std::cout << "Error: " << problem << "\n\n";
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
