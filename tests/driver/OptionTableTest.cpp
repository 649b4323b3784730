// Every row of the option table reaches each place it is declared for, with the same default
// and the same value.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include "api/LibrarySettings.h"
#include "core/SearchSettings.h"
#include "driver/Options.h"
#include "korvath/korvath.h"
#include "support/TestSupport.h"

using namespace Trelm;
using namespace Trelm::test;
using korvath::options::Help;
using korvath::options::Scope;
using ::testing::HasSubstr;
using ::testing::Not;

namespace
{

// What the program reads from its options.
struct Parsed : ProgramSettings {
    std::int32_t verbosity = 0;
};

// A value other than the default, within the bounds of every row.
std::uint32_t sampleOf(std::uint32_t value)
{
    return value + 1;
}
std::int32_t sampleOf(std::int32_t value)
{
    return value + 1;
}
double sampleOf(double value)
{
    return value / 2;
}
bool sampleOf(bool)
{
    return true;
}
std::string sampleOf(const std::string&)
{
    return "rows.csv";
}
std::vector<std::string> sampleOf(const std::vector<std::string>&)
{
    return {"b.pbm"};
}

template <typename Value> std::string typed(const Value& value)
{
    std::ostringstream text;
    text << std::setprecision(17) << value;
    return text.str();
}
std::string typed(bool)
{
    return "true";
}
std::string typed(const std::vector<std::string>& files)
{
    return files.front();
}

// Whether a parsed value holds the wanted one; file names add up with those of the test.
template <typename Value> bool holds(const Value& parsed, const Value& wanted)
{
    return parsed == wanted;
}
bool holds(const std::vector<std::string>& parsed, const std::vector<std::string>& wanted)
{
    return std::all_of(wanted.begin(), wanted.end(), [&](const std::string& name) {
        return std::find(parsed.begin(), parsed.end(), name) != parsed.end();
    });
}

struct Row {
    std::string name;
    Scope scope;
    Help help;
    bool isSwitch;
    /// The sample value as typed after "--name=" or "name=".
    std::string sample;
    /// Whether the parsed options hold the sample (true) or the default (false).
    std::function<bool(const Parsed&, bool)> holdsValue;
    /// The library's part: same default, and the sample carried into the search settings.
    std::function<void()> checkLibrary = [] {};
};

template <typename Value, typename Access>
Row row(const char* name, Scope scope, Help help, const Value& defaultValue, Access access)
{
    const Value sample = sampleOf(defaultValue);
    Row r{name, scope, help, std::is_same_v<Value, bool>, typed(sample), nullptr};
    r.holdsValue = [=](const Parsed& parsed, bool wantSample) {
        return holds(access(parsed), wantSample ? sample : defaultValue);
    };
    return r;
}

template <typename Value, typename Access>
Row libraryRow(const char* name, Help help, const Value& defaultValue, Access access)
{
    Row r = row(name, Scope::Both, help, defaultValue, access);
    r.checkLibrary = [=] {
        korvath::Settings given;
        EXPECT_EQ(access(given), defaultValue);
        const SearchSettings fresh;
        EXPECT_EQ(access(fresh), defaultValue);
        access(given) = sampleOf(defaultValue);
        const SearchSettings converted = searchSettingsOf(given);
        EXPECT_EQ(access(converted), sampleOf(defaultValue));
    };
    return r;
}

// The rows the command line takes; the library's own rows are the Python test's.
std::vector<Row> tableRows()
{
    using namespace korvath::options;
    std::vector<Row> rows;
#define KORVATH_OPTION(field, name, shortName, Type, value, bounds, help, scope, doc)              \
    KORVATH_ROW_##scope(field, name, Type, value, help)
#define KORVATH_ACCESS(field)                                                                      \
    [](auto& s) -> auto&                                                                           \
    {                                                                                              \
        return s.field;                                                                            \
    }
#define KORVATH_ROW_Both(field, name, Type, value, help)                                           \
    rows.push_back(libraryRow(name, Help::help, Type(value), KORVATH_ACCESS(field)));
#define KORVATH_ROW_Program(field, name, Type, value, help)                                        \
    rows.push_back(row(name, Scope::Program, Help::help, Type(value), KORVATH_ACCESS(field)));
#define KORVATH_ROW_Preset(field, name, Type, value, help)                                         \
    rows.push_back(row(name, Scope::Preset, Help::help, Type(value), KORVATH_ACCESS(field)));
#define KORVATH_ROW_Library(field, name, Type, value, help)
#include "korvath/options.def"
#undef KORVATH_OPTION
#undef KORVATH_ACCESS
#undef KORVATH_ROW_Both
#undef KORVATH_ROW_Program
#undef KORVATH_ROW_Preset
#undef KORVATH_ROW_Library
    return rows;
}

// Parses options with a temporary folder as the working directory, so that its settings.cfg
// (if written) is the one read.
class ParseFixture : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        saved_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
    }
    void TearDown() override { std::filesystem::current_path(saved_); }

    void writeConfig(const std::string& text) { writeBytes("settings.cfg", text); }

    Parsed parse(std::vector<const char*> arguments)
    {
        arguments.insert(arguments.begin(), "korvath");
        CoutCapture capture;
        Parsed parsed;
        stopped = parseOptions(static_cast<int>(arguments.size()), arguments.data(), parsed,
                               parsed.verbosity);
        output = capture.text();
        return parsed;
    }

    bool stopped = false;
    std::string output;

  private:
    TempDir dir_;
    std::filesystem::path saved_;
};

class OptionTableTest : public ParseFixture, public ::testing::WithParamInterface<Row>
{
};

TEST_P(OptionTableTest, ReachesEveryPlaceItIsDeclaredFor)
{
    const Row& r = GetParam();
    EXPECT_TRUE(r.holdsValue(parse({"a.pbm"}), false)) << "default";
    ASSERT_FALSE(stopped) << output;

    const std::string given = r.isSwitch ? "--" + r.name : "--" + r.name + "=" + r.sample;
    EXPECT_TRUE(r.holdsValue(parse({given.c_str(), "a.pbm"}), true)) << "command line";
    ASSERT_FALSE(stopped) << output;

    writeConfig(r.name + "=" + r.sample + "\n");
    EXPECT_TRUE(r.holdsValue(parse({"a.pbm"}), true)) << "settings.cfg";
    ASSERT_FALSE(stopped) << output;

    parse({"--help"});
    if (r.help == Help::Shown)
        EXPECT_THAT(output, HasSubstr("--" + r.name + " "));
    else
        EXPECT_THAT(output, Not(HasSubstr("--" + r.name + " ")));

    r.checkLibrary();
}

INSTANTIATE_TEST_SUITE_P(Table, OptionTableTest, ::testing::ValuesIn(tableRows()),
                         [](const ::testing::TestParamInfo<Row>& rowInfo) {
                             std::string name = rowInfo.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

class RobustTest : public ParseFixture
{
};

TEST_F(RobustTest, SetsItsPresetUnlessGivenExplicitly)
{
    const korvath::Settings preset = korvath::Settings::robust();
    Parsed s = parse({"--robust", "a.pbm"});
    EXPECT_EQ(s.arcs, preset.arcs);
    EXPECT_EQ(s.validate, preset.validate);
    EXPECT_EQ(s.refine, preset.refine);
    EXPECT_EQ(s.maxAxis, preset.maxAxis);

    // The default's value, given explicitly, also wins.
    s = parse({"--robust", "--max-axis", "400", "a.pbm"});
    EXPECT_EQ(s.maxAxis, 400);
    EXPECT_TRUE(s.arcs);
    EXPECT_EQ(parse({"--max-axis=300", "--robust", "a.pbm"}).maxAxis, 300);

    writeConfig("validate=false\nmax-axis=250\n");
    s = parse({"--robust", "a.pbm"});
    EXPECT_FALSE(s.validate);
    EXPECT_EQ(s.maxAxis, 250);
    EXPECT_TRUE(s.refine);

    writeConfig("robust=true\n");
    s = parse({"--max-axis", "120", "a.pbm"});
    EXPECT_EQ(s.maxAxis, 120);
    EXPECT_TRUE(s.arcs);
}

TEST_F(RobustTest, MaxAxisRefusesANegativeLength)
{
    parse({"--max-axis=-1", "a.pbm"});
    EXPECT_TRUE(stopped);
    EXPECT_THAT(output, ::testing::StartsWith("Error: the argument ('-1') for option "
                                              "'--max-axis' is invalid\n"));
    korvath::Settings given;
    given.maxAxis = -1;
    EXPECT_THROW(searchSettingsOf(given), korvath::Error);
}

TEST_F(RobustTest, LeavesEverythingAloneWhenNotGiven)
{
    const Parsed s = parse({"--validate", "a.pbm"});
    EXPECT_FALSE(s.arcs);
    EXPECT_FALSE(s.refine);
    EXPECT_EQ(s.maxAxis, korvath::Settings().maxAxis);
}

} // namespace
