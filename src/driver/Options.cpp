#include "driver/Options.h"

#include <cmath>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <type_traits>

#include <boost/program_options.hpp>

#include "api/SettingsBounds.h"
#include "korvath/korvath.h"

namespace po = boost::program_options;

namespace Trelm
{

namespace
{

const char* const PROGRAM_NAME = "Korvath";
const char* const AUTHOR = "Brannoc";
const char* const CONFIG_FILE = "settings.cfg";

// What the command line and settings.cfg fill: the program's settings and the console detail.
struct ParsedOptions : ProgramSettings {
    std::int32_t verbosity = 0;
};

struct OptionSets {
    po::options_description generic{"Command Line Options"};
    po::options_description config{"Configuration Options"};
    po::options_description hidden{"Hidden Options"};
    po::options_description commandLine;
    po::options_description configFile;
    po::options_description visible{"Allowed options"};
};

// A number refused unless the table's bounds hold it. The library reads "-1" into an unsigned
// as 4294967295, so a minus sign before a non-zero count is refused too, and it reads "inf"
// and "nan" as reals, from which no count or probability can be formed.
template <typename Number> class CheckedValue : public po::typed_value<Number>
{
  public:
    CheckedValue(Number* target, korvath::options::Bounds bounds)
        : po::typed_value<Number>(target), bounds_(bounds)
    {
    }

    void xparse(boost::any& store, const std::vector<std::string>& tokens) const override
    {
        po::typed_value<Number>::xparse(store, tokens);
        if (!accepts(boost::any_cast<Number>(store), tokens.front()))
            throw po::invalid_option_value(tokens.front());
    }

  private:
    bool accepts(Number value, const std::string& token) const
    {
        if constexpr (std::is_unsigned_v<Number>) {
            if (token.front() == '-' && value != 0)
                return false;
        }
        if constexpr (std::is_floating_point_v<Number>) {
            if (!std::isfinite(value))
                return false;
        }
        return value >= bounds_.lowest && value <= bounds_.highest;
    }

    korvath::options::Bounds bounds_;
};

std::string textOf(double value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

po::value_semantic* valueFor(std::uint32_t* target, std::uint32_t value,
                             korvath::options::Bounds bounds)
{
    return (new CheckedValue<std::uint32_t>(target, bounds))->default_value(value);
}

po::value_semantic* valueFor(std::int32_t* target, std::int32_t value,
                             korvath::options::Bounds bounds)
{
    return (new CheckedValue<std::int32_t>(target, bounds))->default_value(value);
}

// Real defaults carry their short text so that help shows (=0.1), not a 17-digit form.
po::value_semantic* valueFor(double* target, double value, korvath::options::Bounds bounds)
{
    return (new CheckedValue<double>(target, bounds))->default_value(value, textOf(value));
}

po::value_semantic* valueFor(bool* target, bool, korvath::options::Bounds)
{
    return po::bool_switch(target);
}

po::value_semantic* valueFor(std::string* target, const std::string&, korvath::options::Bounds)
{
    return po::value<std::string>(target);
}

po::value_semantic* valueFor(std::vector<std::string>* target, const std::vector<std::string>&,
                             korvath::options::Bounds)
{
    return po::value<std::vector<std::string>>(target)->composing();
}

void declare(OptionSets& sets, korvath::options::Help help, const std::string& name,
             const std::string& shortName, po::value_semantic* value, const char* doc)
{
    const std::string names = shortName.empty() ? name : name + "," + shortName;
    auto& group = help == korvath::options::Help::Shown ? sets.config : sets.hidden;
    group.add_options()(names.c_str(), value, doc);
}

void declareGeneric(po::options_description& generic)
{
    auto add = generic.add_options();
    add("version,v", "print program version");
    add("help,h", "print help message");
}

// Every row of the table the command line and settings.cfg take, in its order: the shown ones
// are help's configuration options, the others are accepted but never shown.
void declareTable(OptionSets& sets, ParsedOptions& s)
{
    using namespace korvath::options;
#define KORVATH_OPTION(field, name, shortName, Type, value, bounds, help, scope, doc)              \
    KORVATH_DECLARE_##scope(sets, Help::help, name, shortName,                                     \
                            valueFor(&s.field, Type(value), bounds), doc)
#define KORVATH_DECLARE_Both(...) declare(__VA_ARGS__);
#define KORVATH_DECLARE_Program(...) declare(__VA_ARGS__);
#define KORVATH_DECLARE_Preset(...) declare(__VA_ARGS__);
#define KORVATH_DECLARE_Library(...)
#include "korvath/options.def"
#undef KORVATH_OPTION
#undef KORVATH_DECLARE_Both
#undef KORVATH_DECLARE_Program
#undef KORVATH_DECLARE_Preset
#undef KORVATH_DECLARE_Library
}

void buildOptionSets(OptionSets& sets, ParsedOptions& s)
{
    declareGeneric(sets.generic);
    declareTable(sets, s);
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

// The message for settings that contradict each other or that no generation step can work
// with, or "" when they can be used.
std::string checkCombination(const SearchSettings& s, const ParsedSources& sources)
{
    const std::string contradiction = SettingsBounds::contradiction(s);
    if (!contradiction.empty())
        return contradiction;
    const std::vector<SettingsBounds::Suspect> suspects = SettingsBounds::unworkable(s);
    return suspects.empty() ? "" : blame(sources, suspects);
}

// --robust gives its preset's options the preset's values, except those given explicitly.
void applyPresets(const ParsedSources& sources, ParsedOptions& s)
{
    if (!s.robust)
        return;
    const korvath::Settings preset = korvath::Settings::robust();
#define KORVATH_OPTION(field, name, shortName, Type, value, bounds, help, scope, doc)              \
    KORVATH_PRESET_##scope(field, name)
#define KORVATH_PRESET_Both(field, name)                                                           \
    if (!wasGiven(sources, name))                                                                  \
        s.field = preset.field;
#define KORVATH_PRESET_Program(field, name)
#define KORVATH_PRESET_Preset(field, name)
#define KORVATH_PRESET_Library(field, name)
#include "korvath/options.def"
#undef KORVATH_OPTION
#undef KORVATH_PRESET_Both
#undef KORVATH_PRESET_Program
#undef KORVATH_PRESET_Preset
#undef KORVATH_PRESET_Library
}

// The program has always printed its version as a number: 1.0 as 1.
double versionNumber()
{
    return std::stod(korvath::version());
}

} // namespace

bool parseOptions(int argc, const char* const argv[], ProgramSettings& settings,
                  std::int32_t& verbosity)
{
    ParsedOptions parsed;
    // Kept as it came unless the options are read to the end.
    parsed.verbosity = verbosity;
    OptionSets sets;
    buildOptionSets(sets, parsed);
    po::variables_map vm;
    ParsedSources sources;
    std::string problem;
    try {
        parseSources(argc, argv, sets, sources, vm);
        applyPresets(sources, parsed);
        problem = checkCombination(parsed, sources);
    } catch (const po::error& error) {
        problem = messageOf(error);
    }
    settings = static_cast<const ProgramSettings&>(parsed);
    verbosity = parsed.verbosity;
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
        std::cout << PROGRAM_NAME << " v" << versionNumber() << " -- "
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
