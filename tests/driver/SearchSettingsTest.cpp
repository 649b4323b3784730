#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "core/RunContext.h"
#include "driver/Options.h"
#include "support/TestSupport.h"

using namespace Trelm;
using namespace Trelm::test;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace
{

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

    bool parse(std::vector<const char*> arguments)
    {
        arguments.insert(arguments.begin(), "korvath");
        CoutCapture capture;
        const bool stop = parseOptions(static_cast<int>(arguments.size()), arguments.data(),
                                       testRun().settings, testRun().verbosity);
        output = capture.text();
        return stop;
    }

    std::string output;

  private:
    TempDir dir_;
    std::filesystem::path saved_;
};

const char* const usageHead =
    "Usage:\n\n  Korvath [options] file1 [file2 ...]\n\nAllowed options:\n\n"
    "Configuration Options:\n";

} // namespace

TEST_F(SearchSettingsTest, DefaultsFillEveryField)
{
    ASSERT_FALSE(parse({"a.pbm"}));
    const SearchSettings& s = testRun().settings;
    EXPECT_EQ(s.clusterSize, 40u);
    EXPECT_EQ(s.populations, 40u);
    EXPECT_EQ(s.minAxis, 8);
    EXPECT_EQ(s.evaluations, 8000u);
    EXPECT_EQ(s.tracingProbability, 0.95);
    EXPECT_EQ(s.maxTracing, 50u);
    EXPECT_EQ(s.minCompleteness, 0.2);
    EXPECT_EQ(s.eliteProportion, 0.1);
    EXPECT_EQ(s.discardProportion, 0.15);
    EXPECT_EQ(s.crossoverRate, 1.0);
    EXPECT_EQ(s.mutationRate, 0.15);
    EXPECT_EQ(s.clusteringFreq, 5);
    EXPECT_EQ(s.drawingThickness, 6);
    EXPECT_FALSE(s.progress);
    EXPECT_FALSE(s.drawReal);
    EXPECT_EQ(testRun().verbosity, 3);
    EXPECT_EQ(s.imageFiles, (std::vector<std::string>{"a.pbm"}));
    EXPECT_EQ(output, "");
}

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
    EXPECT_EQ(testRun().settings.evaluations, 2000u);
    EXPECT_TRUE(testRun().settings.progress);
    EXPECT_EQ(testRun().settings.imageFiles, (std::vector<std::string>{"a.pbm", "b.pbm", "c.pbm"}));

    ASSERT_FALSE(parse({"-e", "500", "-P", "-r", "-T", "0.5", "x.pbm"}));
    EXPECT_EQ(testRun().settings.evaluations, 500u);
    EXPECT_TRUE(testRun().settings.drawReal);
    EXPECT_EQ(testRun().settings.tracingProbability, 0.5);
}

TEST_F(SearchSettingsTest, ConfigurationFileAloneCanNameTheImages)
{
    writeConfig("image-files=one.pbm\nimage-files=two.pbm\nmutation-rate=2.5\n");
    ASSERT_FALSE(parse({}));
    EXPECT_EQ(testRun().settings.imageFiles, (std::vector<std::string>{"one.pbm", "two.pbm"}));
    EXPECT_EQ(testRun().settings.mutationRate, 2.5); // out-of-range values are kept
}

TEST_F(SearchSettingsTest, LibraryErrorsEndBeforeAnyImage)
{
    EXPECT_TRUE(parse({"--frobnicate", "a.pbm"}));
    EXPECT_THAT(output, StartsWith("Error: unrecognised option '--frobnicate'\n\nUsage:"));
    EXPECT_TRUE(parse({"-e", "many", "a.pbm"}));
    EXPECT_THAT(output, StartsWith("Error: the argument ('many') for option '--evaluations' is "
                                   "invalid\n"));
    EXPECT_TRUE(parse({"-e", "1", "-e", "2", "a.pbm"}));
    EXPECT_THAT(output, StartsWith("Error: option '--evaluations' cannot be specified more than "
                                   "once\n"));
    writeConfig("help=1\n");
    EXPECT_TRUE(parse({"a.pbm"}));
    EXPECT_THAT(output, StartsWith("Error: unrecognised option 'help'\n"));
}

TEST_F(SearchSettingsTest, ReportOptionIsHiddenButAccepted)
{
    ASSERT_FALSE(parse({"--report", "out.csv", "a.pbm"}));
    EXPECT_EQ(testRun().settings.reportFile, "out.csv");
}
