#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <thread>

#include "api/ImageSearch.h"
#include "engine/EngineFixture.h"
#include "support/TestSupport.h"

using namespace Trelm;
using namespace Trelm::test;
using ::testing::HasSubstr;
using ::testing::Not;
namespace fs = std::filesystem;

namespace
{

/// A folder holding circle.pbm, run through the program itself.
class HardeningTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        writePbm(dir.file("circle.pbm"), circleImage());
        circle = readBytes(dir.file("circle.pbm"));
    }
    RunResult run(const std::string& arguments, const std::string& prefix = "")
    {
        return runKorvath(dir.path(), arguments, prefix);
    }
    bool exists(const std::string& name) const { return fs::exists(dir.path() / name); }

    TempDir dir;
    std::string circle;
};

} // namespace

TEST_F(HardeningTest, AReportThatWouldReplaceAnImageOfTheBatchIsRefusedFirst)
{
    writePbm(dir.file("two.pbm"), circleImage());
    for (const char* report : {"two.pbm", "./circle_quvex++.pgm"}) {
        const RunResult result = run(std::string("--report ") + report + " circle.pbm two.pbm");
        EXPECT_EQ(result.exitCode, 1) << report;
        EXPECT_THAT(result.output, HasSubstr("would replace")) << report;
        EXPECT_THAT(result.output, Not(HasSubstr("Processing image")));
        EXPECT_EQ(readBytes(dir.file("two.pbm")), circle);
        EXPECT_FALSE(exists("circle_quvex++.pgm"));
    }
}

TEST_F(HardeningTest, AResultThatCannotBeWrittenCountsAsAnError)
{
    fs::create_directory(dir.path() / "circle_quvex++.pgm");
    writePbm(dir.file("other.pbm"), circleImage());
    RunResult result = run("-V 0 circle.pbm other.pbm");
    EXPECT_THAT(result.output, HasSubstr("Cannot open the output file circle_quvex++.pgm"));
    EXPECT_THAT(result.output, HasSubstr("Number of errors: 1\n"));
    EXPECT_TRUE(fs::is_regular_file(dir.path() / "other_quvex++.pgm"));
    EXPECT_EQ(result.exitCode, 0);

    // Under a file-size limit (512-byte blocks) the write fails, leaving no partial file.
    fs::remove(dir.path() / "circle_quvex++.pgm");
    result = run("-V 0 circle.pbm", "ulimit -f 8 &&");
    EXPECT_THAT(result.output, HasSubstr("PGMB_WRITE_DATA failed"));
    EXPECT_THAT(result.output, HasSubstr("Number of errors: 1\n"));
    EXPECT_FALSE(exists("circle_quvex++.pgm"));
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_THAT(entry.path().string(), Not(HasSubstr(".part-")));
}

TEST_F(HardeningTest, AReportCutShortIsSaidOnceAndCounted)
{
    // Small pictures whose result images fit under a limit of two 512-byte blocks, which the
    // report's rows pass after a few images.
    BinaryImage small = blankImage(30, 30);
    drawEllipse(small, 15, 15, 12, 8, 0.0);
    for (const char* name : {"a.pbm", "b.pbm", "c.pbm", "d.pbm"})
        writePbm(dir.file(name), small);
    const RunResult result =
        run("-V 0 --report \"a long report name,1.csv\" a.pbm b.pbm c.pbm d.pbm a.pbm b.pbm "
            "c.pbm d.pbm a.pbm b.pbm c.pbm d.pbm a.pbm b.pbm c.pbm d.pbm a.pbm b.pbm c.pbm d.pbm",
            "ulimit -f 2 &&");
    EXPECT_THAT(result.output, Not(HasSubstr("PGMB_WRITE")));
    const std::string message = "Cannot write the report file a long report name,1.csv";
    const std::size_t first = result.output.find(message);
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(result.output.find(message, first + 1), std::string::npos);
    EXPECT_THAT(result.output, HasSubstr("Number of errors: 1\n"));
    EXPECT_EQ(result.exitCode, 0);
}

TEST_F(HardeningTest, TwoInputsWithOneResultNameKeepTheFirstResult)
{
    writeBmp(dir.file("circle.bmp"), imageFromText({"#.", ".#"}));
    run("-V 0 circle.pbm");
    const std::string alone = readBytes(dir.file("circle_quvex++.pgm"));
    const RunResult result = run("-V 0 circle.pbm circle.bmp circle.pbm");
    EXPECT_THAT(result.output, HasSubstr("Unexpected error on (circle.bmp):\nIts result image "
                                         "circle_quvex++.pgm is already that of circle.pbm"));
    // The same input listed twice writes the same result twice; that is not a collision.
    EXPECT_THAT(result.output, HasSubstr("Number of errors: 1\n"));
    EXPECT_EQ(readBytes(dir.file("circle_quvex++.pgm")), alone);
}

TEST_F(HardeningTest, NamesWithNoKnownExtensionGetTheirOwnMessageWhateverTheOthersAreCalled)
{
    writePbm(dir.file("picture.PBM"), circleImage());
    writePbm(dir.file("picture"), circleImage());
    const RunResult result = run("-V 0 picture.PBM picture");
    EXPECT_THAT(result.output,
                HasSubstr("Unexpected error on (picture.PBM):\nUnknown image format\n"));
    EXPECT_THAT(result.output, HasSubstr("Unexpected error on (picture):\nUnknown image format, "
                                         "please use an extension"));
    EXPECT_THAT(result.output, Not(HasSubstr("already that of")));
}

// Special files named as the report are written in place: renaming over them would replace a
// device or a pipe for every later user of the machine.
TEST_F(HardeningTest, AReportOnStandardOutputOrADeviceIsWrittenThroughNotReplaced)
{
    fs::create_symlink("/dev/stdout", dir.path() / "out.csv");
    fs::create_symlink("/dev/null", dir.path() / "null.csv");
    for (const char* target : {"-", "out.csv"}) {
        const RunResult result = run(std::string("-V 0 --report ") + target + " circle.pbm");
        EXPECT_EQ(result.exitCode, 0) << target;
        EXPECT_THAT(result.output, HasSubstr("image,index,center_x")) << target;
        EXPECT_THAT(result.output, HasSubstr("\ncircle.pbm,0,")) << target;
    }
    // On standard output the CSV is one block of whole lines before the summary.
    const std::string console = run("-V 0 --report - circle.pbm circle.pbm").output;
    const std::size_t header = console.find("\nimage,index,");
    ASSERT_NE(header, std::string::npos);
    EXPECT_GT(header, console.rfind("Average Distance"));
    EXPECT_LT(header, console.find("Terminated successfully"));
    EXPECT_FALSE(exists("-"));
    EXPECT_EQ(run("-V 0 --report null.csv circle.pbm").exitCode, 0);
    for (const char* link : {"out.csv", "null.csv"})
        EXPECT_TRUE(fs::is_symlink(dir.path() / link)) << link;
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST_F(HardeningTest, AReportOnAFifoReachesItsReader)
{
    ASSERT_EQ(mkfifo(dir.file("r.csv").c_str(), 0600), 0);
    const RunResult result = run("-V 0 --report r.csv circle.pbm", "{ cat r.csv > got.txt & } ;");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(fs::is_fifo(dir.path() / "r.csv"));
    std::string got;
    // The reader ends on its own once the program closes the pipe.
    for (int wait = 0; wait < 100 && linesOf(got).size() < 2; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        got = readBytes(dir.file("got.txt"));
    }
    EXPECT_EQ(got.rfind("image,index,", 0), 0u);
    EXPECT_THAT(got, HasSubstr("\ncircle.pbm,0,"));
}

TEST_F(HardeningTest, AReportThatCannotBeCreatedStopsTheBatchBeforeItStarts)
{
    fs::create_directory(dir.path() / "folder");
    for (const char* report : {"no/such/dir/out.csv", "folder"}) {
        const RunResult result = run(std::string("--report ") + report + " circle.pbm");
        EXPECT_EQ(result.exitCode, 1) << report;
        EXPECT_THAT(result.output, HasSubstr(std::string("Error: the report file ") + report +
                                             " cannot be created; nothing is processed.\n"));
        EXPECT_THAT(result.output, Not(HasSubstr("Processing image")));
        EXPECT_FALSE(exists("circle_quvex++.pgm"));
    }
    EXPECT_TRUE(fs::is_directory(dir.path() / "folder"));
}

TEST_F(HardeningTest, AResultNamedByALinkToTheInputReplacesTheLinkNotTheInput)
{
    fs::create_symlink("circle.pbm", dir.path() / "circle_quvex++.pgm");
    run("-V 0 circle.pbm");
    EXPECT_EQ(readBytes(dir.file("circle.pbm")), circle);
    EXPECT_FALSE(fs::is_symlink(dir.path() / "circle_quvex++.pgm"));
    EXPECT_EQ(readBytes(dir.file("circle_quvex++.pgm")).substr(0, 3), "P5 ");
}

TEST_F(HardeningTest, ClosedStandardOutputDoesNotLetTheReportReceiveTheConsole)
{
    run("--report r.csv circle.pbm >&-)", "(");
    const std::string report = readBytes(dir.file("r.csv"));
    EXPECT_EQ(report.rfind("image,index,", 0), 0u);
    EXPECT_THAT(report, Not(HasSubstr("Processing image")));
    EXPECT_EQ(linesOf(report).size(), 2u);
}

TEST_F(HardeningTest, OutputThatGoesAwayLeavesEveryImageProcessedAndANonZeroStatus)
{
    writePbm(dir.file("two.pbm"), circleImage());
    // At verbosity 20 the text is far larger than a pipe holds, so the program is still
    // writing when head has gone, however the two are scheduled.
    const RunResult result =
        run("-V 20 --report r.csv circle.pbm two.pbm; echo $? > status.txt) | head -c 10", "(");
    EXPECT_EQ(result.output.size(), 10u);
    EXPECT_EQ(readBytes(dir.file("status.txt")), "2\n");
    EXPECT_TRUE(exists("circle_quvex++.pgm"));
    EXPECT_TRUE(exists("two_quvex++.pgm"));
    EXPECT_EQ(linesOf(readBytes(dir.file("r.csv"))).size(), 3u);
}

TEST_F(HardeningTest, AnInputThatIsNoRegularFileFailsAndTheBatchGoesOn)
{
    ASSERT_EQ(mkfifo(dir.file("pipe.pbm").c_str(), 0600), 0);
    fs::create_directory(dir.path() / "folder.pbm");
    const RunResult result = run("-V 0 pipe.pbm folder.pbm circle.pbm");
    EXPECT_THAT(result.output, HasSubstr("Cannot read pipe.pbm: it is not a regular file.\n"
                                         "Unexpected error on (pipe.pbm):\n"
                                         "Error trying to load image\n"));
    EXPECT_THAT(result.output, HasSubstr("Cannot read folder.pbm: it is not a regular file."));
    EXPECT_THAT(result.output, HasSubstr("Number of errors: 2\n"));
    EXPECT_TRUE(exists("circle_quvex++.pgm"));
}

TEST_F(HardeningTest, OutputToAFullDeviceLeavesEveryImageProcessedAndANonZeroStatus)
{
    const RunResult result = run("-V 9 circle.pbm > /dev/full; echo $? > status.txt)", "(");
    EXPECT_EQ(readBytes(dir.file("status.txt")), "2\n");
    EXPECT_TRUE(exists("circle_quvex++.pgm"));
}

TEST_F(HardeningTest, BadFilesAndAwkwardNamesFailAloneAndLeaveTheInputsAsTheyWere)
{
    const std::map<std::string, std::string> bad = {
        {"header.pbm", "P4\n10"},                                  // ends inside the header
        {"data.pbm", "P4\n16 4\n\x01\x02"},                        // ends inside the raster
        {"huge.pbm", "P4\n99999 99999\n"},                         // sides beyond any Point
        {"huge.bmp", std::string("BM") + std::string(52, '\xFF')}, // absurd header fields
    };
    for (const auto& [name, bytes] : bad)
        writeBytes(dir.file(name), bytes);
    const std::vector<std::string> awkward = {"with blank.pbm", "comma,name.pbm", "line\nend.pbm"};
    for (const std::string& name : awkward)
        writePbm(dir.file(name), circleImage());
    const RunResult result = run("--report r.csv -V 0 header.pbm 'with blank.pbm' data.pbm "
                                 "'comma,name.pbm' huge.pbm huge.bmp 'line\nend.pbm'");
    for (const auto& [name, bytes] : bad) {
        EXPECT_THAT(result.output, HasSubstr("Unexpected error on (" + name + "):\n")) << name;
        EXPECT_EQ(readBytes(dir.file(name)), bytes) << name;
    }
    EXPECT_THAT(result.output, HasSubstr("Number of errors: 4\n"));
    EXPECT_EQ(result.exitCode, 0);
    const std::string report = readBytes(dir.file("r.csv"));
    EXPECT_THAT(report, HasSubstr("\nwith blank.pbm,0,"));
    EXPECT_THAT(report, HasSubstr("\n\"comma,name.pbm\",0,"));
    EXPECT_THAT(report, HasSubstr("\n\"line\nend.pbm\",0,"));
    for (const std::string& name : awkward) {
        EXPECT_EQ(readBytes(dir.file(name)), circle) << name;
        const std::string stem = name.substr(0, name.size() - 4);
        EXPECT_TRUE(exists(stem + "_quvex++.pgm")) << name;
    }
}

namespace
{
class StalledSearchTest : public EngineFixture
{
};
} // namespace

TEST_F(StalledSearchTest, ASearchThatNoLongerChangesEnds)
{
    // One chromosome per cluster, no mutation, a candidate between min-completeness and 0.5:
    // no step spends an evaluation and none can promote it.
    testRun().settings.clusterSize = 1;
    addCluster({make(0.3, 0.3)});
    CoutCapture capture;
    ImageSearch::runSteps(*engine, solutions);
    EXPECT_THAT(capture.text(),
                HasSubstr("Execution stopped because the search no longer changes"));
    EXPECT_LT(engine->stepCount, 10);
    EXPECT_TRUE(solutions.empty());
}
