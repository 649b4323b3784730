#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <optional>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/RunContext.h"
#include "driver/Options.h"
#include "support/TestSupport.h"

using namespace Trelm;
using namespace Trelm::test;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace
{

// Runs work in a child process and returns what it returned, or nothing when it has not ended
// within the deadline: a message that is formatted forever fails its test instead of hanging
// the suite. The child leads a process group of its own, so a program it started is killed
// with it.
std::optional<std::string> runWithin(std::chrono::seconds deadline,
                                     const std::function<std::string()>& work)
{
    int channel[2];
    if (pipe(channel) != 0)
        return std::nullopt;
    const pid_t child = fork();
    if (child < 0) {
        close(channel[0]);
        close(channel[1]);
        return std::nullopt;
    }
    if (child == 0) {
        setpgid(0, 0);
        close(channel[0]);
        const std::string text = work();
        for (std::size_t sent = 0; sent < text.size();) {
            const ssize_t n = write(channel[1], text.data() + sent, text.size() - sent);
            if (n <= 0)
                break;
            sent += static_cast<std::size_t>(n);
        }
        _exit(0);
    }
    setpgid(child, child);
    close(channel[1]);
    std::string text;
    bool ended = false;
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        pollfd readable{channel[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0)
            break;
        char buffer[4096];
        const ssize_t n = read(channel[0], buffer, sizeof buffer);
        if (n <= 0) {
            ended = true;
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(channel[0]);
    if (!ended)
        kill(-child, SIGKILL);
    waitpid(child, nullptr, 0);
    if (!ended)
        return std::nullopt;
    return text;
}

constexpr std::chrono::seconds DEADLINE{20};

// Parses options with a temporary folder as the working directory, so that its
// settings.cfg (if written) is the one read.
class SearchSettingsTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        saved_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
        testRun().verbosity = 3;
    }
    void TearDown() override { std::filesystem::current_path(saved_); }

    void writeConfig(const std::string& text) { writeBytes("settings.cfg", text); }

    // parse in a child process, failing when it does not end in time; output as parse's.
    bool parseWithin(const std::vector<const char*>& arguments)
    {
        const auto result =
            runWithin(DEADLINE, [&] { return (parse(arguments) ? "1" : "0") + output; });
        if (!result || result->empty()) {
            ADD_FAILURE() << "parsing gave no result within " << DEADLINE.count() << " s";
            output.clear();
            return false;
        }
        output = result->substr(1);
        return result->front() == '1';
    }

    bool parse(std::vector<const char*> arguments)
    {
        arguments.insert(arguments.begin(), "korvath");
        CoutCapture capture;
        const bool stop = parseOptions(static_cast<int>(arguments.size()), arguments.data(),
                                       settings, testRun().verbosity);
        output = capture.text();
        return stop;
    }

    std::string output;
    ProgramSettings settings;

  private:
    TempDir dir_;
    std::filesystem::path saved_;
};

const char* const usageHead =
    "Usage:\n\n  Korvath [options] file1 [file2 ...]\n\nAllowed options:\n\n"
    "Configuration Options:\n";

} // namespace

TEST_F(SearchSettingsTest, NoArgumentsPrintsTheMissingFileError)
{
    EXPECT_TRUE(parse({}));
    EXPECT_THAT(output, StartsWith(std::string("Error: Missing image file(s) to process \n\n") +
                                   usageHead));
}

TEST_F(SearchSettingsTest, HelpWinsOverVersionAndFiles)
{
    EXPECT_TRUE(parse({"--help", "--version", "a.pbm"}));
    EXPECT_THAT(output, StartsWith(usageHead));
    EXPECT_THAT(output, HasSubstr("  -C [ --cluster-size ] arg (=40)       Maximum number of "
                                  "chromosomes per \n"));
    EXPECT_THAT(output, HasSubstr("  -E [ --elite-proportion ] arg (=0.1)  Proportion"));
    EXPECT_THAT(output, HasSubstr("  -P [ --progress ]                     Flag to print"));
    EXPECT_THAT(output, HasSubstr("\nCommand Line Options:\n  -v [ --version ]                   "
                                  "   print program version\n  -h [ --help ]                      "
                                  "   print help message\n\n"));
    EXPECT_THAT(output, ::testing::Not(HasSubstr("tracing")));
    EXPECT_THAT(output, ::testing::Not(HasSubstr("report")));
    EXPECT_TRUE(parse({"-v"}));
    EXPECT_EQ(output, "Korvath v1 -- Written by Brannoc\n");
}

TEST_F(SearchSettingsTest, CommandLineBeatsConfigurationBeatsDefaults)
{
    writeConfig("verbose=5\nevaluations=2000\nprogress=true\nimage-files=c.pbm\n");
    ASSERT_FALSE(parse({"-V", "0", "a.pbm", "-i", "b.pbm"}));
    EXPECT_EQ(testRun().verbosity, 0);
    EXPECT_EQ(settings.evaluations, 2000u);
    EXPECT_TRUE(settings.progress);
    EXPECT_EQ(settings.imageFiles, (std::vector<std::string>{"a.pbm", "b.pbm", "c.pbm"}));

    ASSERT_FALSE(parse({"-e", "500", "-P", "-r", "-T", "0.5", "x.pbm"}));
    EXPECT_EQ(settings.evaluations, 500u);
    EXPECT_TRUE(settings.drawReal);
    EXPECT_EQ(settings.tracingProbability, 0.5);
}

TEST_F(SearchSettingsTest, ConfigurationFileAloneCanNameTheImages)
{
    writeConfig("image-files=one.pbm\nimage-files=two.pbm\nmutation-rate=2.5\n");
    ASSERT_FALSE(parse({}));
    EXPECT_EQ(settings.imageFiles, (std::vector<std::string>{"one.pbm", "two.pbm"}));
    EXPECT_EQ(settings.mutationRate, 2.5); // out-of-range values are kept
}

TEST_F(SearchSettingsTest, HelpTextIsUnchanged)
{
    EXPECT_TRUE(parse({"--help"}));
    EXPECT_EQ(output,
              "Usage:\n\n  Korvath [options] file1 [file2 ...]\n\nAllowed options:\n\n"
              "Configuration Options:\n"
              "  -C [ --cluster-size ] arg (=40)       Maximum number of chromosomes per \n"
              "                                        Cluster\n"
              "  -p [ --populations ] arg (=40)        Maximum number of clusters\n"
              "  --min-axis arg (=8)                   Minimum axis length for an ellipse to \n"
              "                                        be considered valid\n"
              "  -e [ --evaluations ] arg (=8000)      Maximum number of fitness evaluations \n"
              "                                        before stopping\n"
              "  -E [ --elite-proportion ] arg (=0.1)  Proportion of the population used as \n"
              "                                        elites for the new generation\n"
              "  -d [ --discard-proportion ] arg (=0.15)\n"
              "                                        Proportion of the population to be \n"
              "                                        discarded\n"
              "  -c [ --crossover-rate ] arg (=1)      Probability of recombining to parents' \n"
              "                                        genome\n"
              "  -m [ --mutation-rate ] arg (=0.15)    Probability of mutating a chromosome\n"
              "  --clustering-freq arg (=5)            How often (in generations) to do \n"
              "                                        combination of similar clusters and \n"
              "                                        increase of ranges\n"
              "  --drawing-thickness arg (=6)          Drawing thickness (in pixels) of the \n"
              "                                        resulting ellipses\n"
              "  -V [ --verbose ] arg (=3)             Level of verboseness (0-20). The higher\n"
              "                                        the level, the more execution updates \n"
              "                                        shown\n"
              "  -P [ --progress ]                     Flag to print intermediate images to \n"
              "                                        see detection process\n"
              "  -r [ --draw-real ]                    Flag to draw the real figure found \n"
              "                                        instead of the theoretical ellipse\n"
              "\n"
              "Command Line Options:\n"
              "  -v [ --version ]                      print program version\n"
              "  -h [ --help ]                         print help message\n"
              "\n");
}

TEST_F(SearchSettingsTest, PlaceholdersInUserTextAreShownAsTyped)
{
    EXPECT_TRUE(parseWithin({"-e", "%value%", "a.pbm"}));
    EXPECT_THAT(output, StartsWith("Error: the argument ('%value%') for option '--evaluations' "
                                   "is invalid\n\nUsage:"));
    EXPECT_TRUE(parseWithin({"--x%canonical_option%", "a.pbm"}));
    EXPECT_THAT(output, StartsWith("Error: unrecognised option '--x%canonical_option%'\n\n"));
    EXPECT_TRUE(parseWithin({"--mi=%canonical_option%"}));
    EXPECT_THAT(output, StartsWith("Error: option '--mi=%canonical_option%' is ambiguous and "
                                   "matches '--min-axis', and '--min-completeness'\n\n"));
    EXPECT_TRUE(parseWithin({"-C", "%option%%original_token%%prefix%%", "a.pbm"}));
    EXPECT_THAT(output, StartsWith("Error: the argument ('%option%%original_token%%prefix%%') "
                                   "for option '--cluster-size' is invalid\n\n"));
    EXPECT_TRUE(parseWithin({"-e", "\x01%\x02\x01\x01", "a.pbm"}));
    EXPECT_THAT(output, StartsWith("Error: the argument ('\x01%\x02\x01\x01') for option "
                                   "'--evaluations' is invalid\n\n"));

    writeConfig("evaluations=%value%\n");
    EXPECT_TRUE(parseWithin({"a.pbm"}));
    EXPECT_THAT(
        output,
        StartsWith("Error: the argument ('%value%') for option 'evaluations' is invalid\n"));
    writeConfig("%invalid_line%\n");
    EXPECT_TRUE(parseWithin({"a.pbm"}));
    EXPECT_THAT(output, StartsWith("Error: the options configuration file contains an invalid "
                                   "line '%invalid_line%'\n"));
    writeConfig("%canonical_option%=1\n");
    EXPECT_TRUE(parseWithin({"a.pbm"}));
    EXPECT_THAT(output, StartsWith("Error: unrecognised option '%canonical_option%'\n"));
}

// Errors found by the library itself, in its words.
struct LibraryError {
    std::vector<const char*> arguments;
    const char* config;
    const char* message;
};

std::string joined(const std::vector<const char*>& arguments)
{
    std::string out;
    for (const char* argument : arguments)
        out += std::string(out.empty() ? "" : " ") + argument;
    return out;
}

void PrintTo(const LibraryError& error, std::ostream* out)
{
    *out << joined(error.arguments);
    if (error.config != nullptr)
        *out << " with settings.cfg " << ::testing::PrintToString(std::string(error.config));
}

class LibraryErrorTest : public SearchSettingsTest,
                         public ::testing::WithParamInterface<LibraryError>
{
};

TEST_P(LibraryErrorTest, KeepsTheLibrarysWording)
{
    const LibraryError& error = GetParam();
    if (error.config != nullptr)
        writeConfig(error.config);
    EXPECT_TRUE(parseWithin(error.arguments));
    EXPECT_THAT(output, StartsWith(std::string("Error: ") + error.message + "\n\n" + usageHead));
}

INSTANTIATE_TEST_SUITE_P(
    Sweep, LibraryErrorTest,
    ::testing::Values(
        LibraryError{{"--frobnicate"}, nullptr, "unrecognised option '--frobnicate'"},
        LibraryError{{"-x", "a.pbm"}, nullptr, "unrecognised option '-x'"},
        LibraryError{{"-e", "1", "-e", "2", "a.pbm"},
                     nullptr,
                     "option '--evaluations' cannot be specified more than once"},
        LibraryError{{"a.pbm"}, "help=1\n", "unrecognised option 'help'"},
        LibraryError{{"-h3"}, nullptr, "unrecognised option '-h3'"},
        LibraryError{{"--mi"},
                     nullptr,
                     "option '--mi' is ambiguous and matches '--min-axis', and "
                     "'--min-completeness'"},
        LibraryError{
            {"--m"},
            nullptr,
            "option '--m' is ambiguous and matches '--max-axis', '--max-tracing', '--min-axis', "
            "'--min-completeness', and '--mutation-rate'"},
        LibraryError{
            {"-e"}, nullptr, "the required argument for option '--evaluations' is missing"},
        LibraryError{{"--evaluations=", "a.pbm"},
                     nullptr,
                     "the argument for option '--evaluations' should follow immediately after "
                     "the equal sign"},
        LibraryError{{"--help=3"}, nullptr, "option '--help' does not take any arguments"},
        LibraryError{
            {"-C", "5x"}, nullptr, "the argument ('5x') for option '--cluster-size' is invalid"},
        LibraryError{
            {"-V", "1.5"}, nullptr, "the argument ('1.5') for option '--verbose' is invalid"},
        LibraryError{
            {"-e", "5%"}, nullptr, "the argument ('5%') for option '--evaluations' is invalid"},
        LibraryError{{"-e", "4294967296"},
                     nullptr,
                     "the argument ('4294967296') for option '--evaluations' is invalid"},
        LibraryError{{"-E", "abc"},
                     nullptr,
                     "the argument ('abc') for option '--elite-proportion' is invalid"},
        LibraryError{{"a.pbm"},
                     "nonsense\n",
                     "the options configuration file contains an invalid line 'nonsense'"},
        LibraryError{
            {"a.pbm"}, "cluster-size=\n", "the argument for option 'cluster-size' is invalid"},
        LibraryError{{"a.pbm"}, "=5\n", "unrecognised option"},
        LibraryError{{"a.pbm"},
                     "progress=maybe\n",
                     "the argument ('maybe') for option 'progress' is invalid. Valid choices are "
                     "'on|off', 'yes|no', '1|0' and 'true|false'"},
        LibraryError{{"a.pbm"},
                     "evaluations=1\nevaluations=2\n",
                     "option 'evaluations' cannot be specified more than once"},
        LibraryError{{"a.pbm"}, "[section]\nx=1\n", "unrecognised option 'section.x'"}));

// A refused value: the message the library gives for an invalid argument, then the usage.
std::string refusal(const std::string& value, const std::string& option)
{
    return "Error: the argument ('" + value + "') for option '" + option + "' is invalid\n\n";
}

class UnsignedOptionTest : public SearchSettingsTest,
                           public ::testing::WithParamInterface<const char*>
{
};

TEST_P(UnsignedOptionTest, RefusesANegativeNumber)
{
    const std::string name = GetParam();
    const std::string longForm = "--" + name;
    EXPECT_TRUE(parse({"--help"}));
    const std::string usage = output;

    EXPECT_TRUE(parse({(longForm + "=-1").c_str(), "a.pbm"}));
    EXPECT_EQ(output, refusal("-1", longForm) + usage);
    EXPECT_TRUE(parse({longForm.c_str(), "-4294967295", "a.pbm"}));
    EXPECT_EQ(output, refusal("-4294967295", longForm) + usage);
    writeConfig(name + "=-7\n");
    EXPECT_TRUE(parse({"a.pbm"}));
    EXPECT_EQ(output, refusal("-7", name) + usage);
    writeConfig("");
    EXPECT_FALSE(parse({(longForm + "=3").c_str(), "a.pbm"}));
}

INSTANTIATE_TEST_SUITE_P(Sweep, UnsignedOptionTest,
                         ::testing::Values("cluster-size", "populations", "evaluations",
                                           "max-tracing", "jobs"));

TEST_F(SearchSettingsTest, CountsWithoutAnUpperBoundTakeTheirWholeRange)
{
    ASSERT_FALSE(parse({"-e", "4294967295", "--max-tracing", "4294967295", "-j", "4294967295", "-p",
                        "0", "a.pbm"}));
    EXPECT_EQ(settings.evaluations, 4294967295u);
    EXPECT_EQ(settings.maxTracing, 4294967295u);
    EXPECT_EQ(settings.jobs, 4294967295u);
    ASSERT_FALSE(parse({"-e", "-0", "-V", "25", "a.pbm"}));
    EXPECT_EQ(settings.evaluations, 0u);
    EXPECT_EQ(testRun().verbosity, 25);
}

class RealOptionTest : public SearchSettingsTest, public ::testing::WithParamInterface<const char*>
{
};

TEST_P(RealOptionTest, RefusesWhatIsNotFinite)
{
    const std::string name = GetParam();
    const std::string longForm = "--" + name;
    for (const char* value : {"inf", "-inf", "nan", "infinity", "1e999"}) {
        EXPECT_TRUE(parse({longForm.c_str(), value, "a.pbm"}));
        EXPECT_THAT(output, StartsWith(refusal(value, longForm) + usageHead)) << value;
    }
    writeConfig(name + "=nan\n");
    EXPECT_TRUE(parse({"a.pbm"}));
    EXPECT_THAT(output, StartsWith(refusal("nan", name) + usageHead));
    writeConfig("");
    EXPECT_FALSE(parse({longForm.c_str(), "0.5", "a.pbm"}));
}

INSTANTIATE_TEST_SUITE_P(Sweep, RealOptionTest,
                         ::testing::Values("elite-proportion", "discard-proportion",
                                           "crossover-rate", "mutation-rate", "tracing-probability",
                                           "min-completeness"));

TEST_F(SearchSettingsTest, ProbabilitiesOutOfRangeAreKept)
{
    ASSERT_FALSE(
        parse({"-c", "-3", "-T", "7", "--min-completeness", "-1", "-m", "-5", "-d", "2", "a.pbm"}));
    EXPECT_EQ(settings.crossoverRate, -3.0);
    EXPECT_EQ(settings.tracingProbability, 7.0);
    EXPECT_EQ(settings.minCompleteness, -1.0);
    EXPECT_EQ(settings.mutationRate, -5.0);
    EXPECT_EQ(settings.discardProportion, 2.0);
}

// Each bound, just inside and just outside; the cluster size is the default 40 unless given.
struct Bound {
    std::vector<const char*> accepted;
    std::vector<const char*> refused;
    const char* value;
    const char* option;
};

void PrintTo(const Bound& bound, std::ostream* out)
{
    *out << joined(bound.accepted) << " against " << joined(bound.refused);
}

class BoundTest : public SearchSettingsTest, public ::testing::WithParamInterface<Bound>
{
};

TEST_P(BoundTest, HoldsOnBothSides)
{
    const Bound& bound = GetParam();
    std::vector<const char*> accepted = bound.accepted;
    accepted.push_back("a.pbm");
    EXPECT_FALSE(parse(accepted)) << output;
    std::vector<const char*> refused = bound.refused;
    refused.push_back("a.pbm");
    EXPECT_TRUE(parse(refused));
    EXPECT_THAT(output, StartsWith(refusal(bound.value, bound.option) + usageHead));
}

INSTANTIATE_TEST_SUITE_P(
    Sweep, BoundTest,
    ::testing::Values(
        // 1 <= cluster-size <= 10000.
        Bound{{"-C", "1"}, {"-C", "0"}, "0", "--cluster-size"},
        Bound{{"-C", "10000"}, {"-C", "10001"}, "10001", "--cluster-size"},
        // populations * cluster-size <= 1000000.
        Bound{{"-C", "10000", "-p", "100"}, {"-C", "10000", "-p", "101"}, "101", "--populations"},
        Bound{
            {"-C", "1", "-p", "1000000"}, {"-C", "1", "-p", "1000001"}, "1000001", "--populations"},
        Bound{{"-p", "25000"}, {"-p", "4294967295"}, "4294967295", "--populations"},
        // E = round(40 * p) <= 80: p < 2.0125, mutations off.
        Bound{
            {"-E", "2.012", "-m", "0"}, {"-E", "2.013", "-m", "0"}, "2.013", "--elite-proportion"},
        // K = round((1 - d) * 40) <= 160: d > -3.0125.
        Bound{{"-d", "-3.012"}, {"-d", "-3.013"}, "-3.013", "--discard-proportion"},
        Bound{{"-e", "100", "-d", "-3"},
              {"-e", "100", "-d", "-100000"},
              "-100000",
              "--discard-proportion"},
        // M = round(40 * m) <= 400: m < 10.0125.
        Bound{{"-m", "10.012"}, {"-m", "10.013"}, "10.013", "--mutation-rate"},
        Bound{{"-m", "2.5"}, {"-m", "1e6"}, "1e6", "--mutation-rate"},
        // With mutations, E <= cluster-size - 2: E = round(4 * 0.5) = 2 against round(2.52).
        Bound{{"-C", "4", "-E", "0.5", "-m", "0.3"},
              {"-C", "4", "-E", "0.63", "-m", "0.3"},
              "0.63",
              "--elite-proportion"},
        Bound{{"-E", "0.95"}, {"-E", "0.97"}, "0.97", "--elite-proportion"},
        // E is at least 1: M = round(2 * 0.2) = 0 mutations against round(2 * 0.25) = 1.
        Bound{{"-C", "2", "-m", "0.2"}, {"-C", "2", "-m", "0.25"}, "0.25", "--mutation-rate"},
        Bound{{"-E", "1", "-m", "0"}, {"-E", "1", "-m", "0.1"}, "1", "--elite-proportion"}));

TEST_F(SearchSettingsTest, ARefusedCombinationNamesTheValueWhereItWasGiven)
{
    writeConfig("discard-proportion=-5\n");
    EXPECT_TRUE(parse({"a.pbm"}));
    EXPECT_THAT(output, StartsWith(refusal("-5", "discard-proportion") + usageHead));
    writeConfig("mutation-rate=1\n");
    EXPECT_TRUE(parse({"-m20", "a.pbm"}));
    EXPECT_THAT(output, StartsWith(refusal("20", "--mutation-rate")));
    EXPECT_TRUE(parse({"-C", "2", "a.pbm"}));
    EXPECT_THAT(output, StartsWith(refusal("1", "mutation-rate")));
    writeConfig("cluster-size=2\n");
    EXPECT_TRUE(parse({"--mutation-rate=0.5", "a.pbm"}));
    EXPECT_THAT(output, StartsWith(refusal("0.5", "--mutation-rate")));
}

TEST_F(SearchSettingsTest, RefusedValuesEndTheProgramWithStatusOne)
{
    EXPECT_TRUE(parse({"--help"}));
    const std::string usage = output;
    TempDir work;
    writeBytes(work.file("a.pbm"), "P4\n8 1\n\xff");
    const auto result = runWithin(DEADLINE, [&] {
        const RunResult run = runKorvath(work.path(), "-C -1 a.pbm");
        return std::to_string(run.exitCode) + "\n" + run.output;
    });
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, "1\n" + refusal("-1", "--cluster-size") + usage);
    const RunResult mutations = runKorvath(work.path(), "-m 1e6 a.pbm");
    EXPECT_EQ(mutations.exitCode, 1);
    EXPECT_EQ(mutations.output, refusal("1e6", "--mutation-rate") + usage);
}
