#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "support/TestSupport.h"

using namespace Trelm;
using namespace Trelm::test;
namespace fs = std::filesystem;

namespace
{

std::string withoutTimes(const std::string& console)
{
    static const std::regex times(
        R"(((solutions: |execution time: |time per image: )[^\n]*secs\.)|(second:[^\n]*))");
    return std::regex_replace(console, times, "#");
}

std::string resultImages(const fs::path& folder)
{
    std::string all;
    for (const char* name : {"a_quvex++.pgm", "b_quvex++.pgm", "c_quvex++.pgm", "d_quvex++.pgm"})
        all += readBytes((folder / name).string()) + "|";
    return all;
}

} // namespace

TEST(ParallelBatch, SeveralJobsPrintReportAndDrawExactlyAsOne)
{
    TempDir dir;
    BinaryImage two = blankImage(320, 200);
    drawEllipse(two, 90, 100, 60, 35, 0.3);
    drawEllipse(two, 235, 95, 45, 70, 0.0);
    writePbm(dir.file("a.pbm"), two);
    writePbm(dir.file("b.pbm"), circleImage());
    writeBmp(dir.file("c.bmp"), two);
    writeBytes(dir.file("broken.pbm"), "P4\n10 10\n");
    writePbm(dir.file("d.pbm"), blankImage(50, 50)); // nothing to find
    const std::string batch = "-V 9 --report r.csv a.pbm broken.pbm b.pbm c.bmp d.pbm";

    const RunResult one = runKorvath(dir.path(), batch);
    const std::string report = readBytes(dir.file("r.csv"));
    const std::string images = resultImages(dir.path());
    for (const char* jobs : {"-j 2 ", "-j 3 ", "-j 0 "}) {
        const RunResult many = runKorvath(dir.path(), jobs + batch);
        EXPECT_EQ(withoutTimes(many.output), withoutTimes(one.output)) << jobs;
        EXPECT_EQ(readBytes(dir.file("r.csv")), report) << jobs;
        EXPECT_EQ(resultImages(dir.path()), images) << jobs;
        EXPECT_EQ(many.exitCode, 0);
    }
    EXPECT_NE(one.output.find("Number of errors: 2\n"), std::string::npos);
}
