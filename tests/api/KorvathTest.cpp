#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <limits>
#include <sstream>
#include <thread>
#include <vector>

#include "api/ImageSearch.h"
#include "genetic/EllipseChromosome.h"
#include "korvath/korvath.h"
#include "support/PictureFiles.h"
#include "support/TestSupport.h"
#include "support/TiffFiles.h"

using namespace Trelm;
using namespace Trelm::test;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

namespace
{

BinaryImage twoEllipses()
{
    BinaryImage image = blankImage(300, 200);
    drawEllipse(image, 80, 100, 55, 35, 0.3);
    drawEllipse(image, 220, 90, 40, 60, 0.0);
    return image;
}

korvath::Image libraryImage(const BinaryImage& grid)
{
    korvath::Image image;
    image.width = grid.width;
    image.height = grid.height;
    for (const auto& row : grid.rows)
        for (std::uint8_t pixel : row)
            image.pixels.push_back(pixel != 0 ? 200 : 0);
    return image;
}

// The program's search of the same file, as the batch runs it.
std::vector<const EllipseChromosome*> programSolutions(const std::string& file,
                                                       SharedChromosomes& holder)
{
    RunContext context;
    context.verbosity = 0;
    std::ostringstream console;
    context.output = &console;
    context.random.seed(ImageSearch::IMAGE_SEED);
    BinaryImage image;
    image.load(file, console);
    holder = std::move(ImageSearch::run(context, std::move(image)).solutions);
    std::vector<const EllipseChromosome*> solutions;
    for (const Chromosome* solution : holder.items())
        solutions.push_back(static_cast<const EllipseChromosome*>(solution));
    return solutions;
}

} // namespace

TEST(Library, FindsWhatTheProgramFindsFromArraysAndFiles)
{
    TempDir dir;
    const std::string file = dir.file("two.pbm");
    writePbm(file, twoEllipses());
    SharedChromosomes holder;
    const auto expected = programSolutions(file, holder);
    ASSERT_EQ(expected.size(), 2u);

    CoutCapture console;
    const korvath::Result fromArray = korvath::detect(libraryImage(twoEllipses()));
    const korvath::Result fromFile = korvath::detect(file);
    EXPECT_EQ(console.text(), "") << "verbosity 0 prints nothing";
    for (const korvath::Result* result : {&fromArray, &fromFile}) {
        ASSERT_EQ(result->ellipses.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const korvath::DetectedEllipse& e = result->ellipses[i];
            EXPECT_EQ(e.centerX, expected[i]->figure.centerX);
            EXPECT_EQ(e.centerY, expected[i]->figure.centerY);
            EXPECT_EQ(e.majorAxis, expected[i]->figure.majorAxis);
            EXPECT_EQ(e.minorAxis, expected[i]->figure.minorAxis);
            EXPECT_EQ(e.angle, expected[i]->figure.angle);
            EXPECT_EQ(e.completeness, expected[i]->completeness);
            EXPECT_EQ(e.distance, expected[i]->distance);
            EXPECT_FALSE(e.refined);
        }
    }
    EXPECT_EQ(fromArray.evaluations, fromFile.evaluations);
    EXPECT_GT(fromArray.steps, 0);
}

TEST(Library, SearchesACallersBufferWithItsRowStrideAndActiveValue)
{
    const BinaryImage grid = twoEllipses();
    // Dark ink (0) on a light ground, rows padded with bytes that would be ink if read.
    constexpr std::ptrdiff_t PADDING = 7;
    const std::ptrdiff_t stride = grid.width + PADDING;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(stride * grid.height), 0);
    for (std::size_t y = 0; y < grid.rows.size(); ++y)
        for (std::size_t x = 0; x < grid.rows[y].size(); ++x)
            buffer[y * static_cast<std::size_t>(stride) + x] = grid.rows[y][x] != 0 ? 0 : 255;
    korvath::ImageView view;
    view.pixels = buffer.data();
    view.width = grid.width;
    view.height = grid.height;
    view.rowStride = stride;
    view.active = korvath::ActivePixels::Zero;
    const korvath::Result fromView = korvath::detect(view);
    const korvath::Result fromImage = korvath::detect(libraryImage(grid));
    ASSERT_EQ(fromView.ellipses.size(), 2u);
    ASSERT_EQ(fromView.ellipses.size(), fromImage.ellipses.size());
    for (std::size_t i = 0; i < fromView.ellipses.size(); ++i) {
        EXPECT_EQ(fromView.ellipses[i].centerX, fromImage.ellipses[i].centerX);
        EXPECT_EQ(fromView.ellipses[i].centerY, fromImage.ellipses[i].centerY);
        EXPECT_EQ(fromView.ellipses[i].completeness, fromImage.ellipses[i].completeness);
    }
    EXPECT_EQ(fromView.evaluations, fromImage.evaluations);

    view.rowStride = grid.width - 1;
    EXPECT_THROW(korvath::detect(view), korvath::Error);
}

TEST(Library, AProgressObserverSeesEveryStepAndMayStopTheSearch)
{
    std::vector<korvath::Progress> seen;
    const korvath::Result whole = korvath::detect(libraryImage(twoEllipses()), korvath::Settings(),
                                                  nullptr, [&seen](const korvath::Progress& p) {
                                                      seen.push_back(p);
                                                      return true;
                                                  });
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(whole.steps));
    EXPECT_EQ(seen.front().step, 1);
    EXPECT_LE(seen.back().evaluations, whole.evaluations);

    const korvath::Result stopped =
        korvath::detect(libraryImage(twoEllipses()), korvath::Settings(), nullptr,
                        [](const korvath::Progress&) { return false; });
    EXPECT_EQ(stopped.stopReason, korvath::StopReason::Asked);
    EXPECT_EQ(stopped.steps, 1);
}

TEST(Library, StopReasons)
{
    korvath::Settings settings;
    settings.evaluations = 100;
    BinaryImage noisy = twoEllipses();
    for (int i = 0; i < 2000; ++i)
        noisy.rows[static_cast<std::size_t>(i * 37 % 200)][static_cast<std::size_t>(i * 91 % 300)] =
            1;
    const korvath::Result result = korvath::detect(libraryImage(noisy), settings);
    EXPECT_EQ(result.stopReason, korvath::StopReason::Budget);
    EXPECT_GT(result.evaluations, 100u);

    const korvath::Result empty = korvath::detect(libraryImage(blankImage(40, 40)));
    EXPECT_EQ(empty.stopReason, korvath::StopReason::Exhausted);
    EXPECT_TRUE(empty.ellipses.empty());
}

TEST(Library, LogsOnlyWhereAndWhatItIsAsked)
{
    korvath::Settings settings;
    settings.evaluations = 300;
    settings.verbosity = 5;
    std::ostringstream log;
    CoutCapture console;
    korvath::detect(libraryImage(twoEllipses()), settings, &log);
    EXPECT_THAT(log.str(), HasSubstr("Starting step 1"));
    EXPECT_EQ(console.text(), "");
}

TEST(Library, RefusesWhatTheProgramRefuses)
{
    korvath::Settings zeroCluster;
    zeroCluster.clusterSize = 0;
    korvath::Settings tooManyElites;
    tooManyElites.eliteProportion = 5;
    korvath::Settings notANumber;
    notANumber.mutationRate = std::numeric_limits<double>::quiet_NaN();
    const korvath::Image image = libraryImage(twoEllipses());
    EXPECT_THAT([&] { korvath::detect(image, zeroCluster); },
                ::testing::ThrowsMessage<korvath::Error>(HasSubstr("'--cluster-size'")));
    EXPECT_THAT([&] { korvath::detect(image, tooManyElites); },
                ::testing::ThrowsMessage<korvath::Error>(HasSubstr("'--elite-proportion'")));
    EXPECT_THAT([&] { korvath::detect(image, notANumber); },
                ::testing::ThrowsMessage<korvath::Error>(HasSubstr("'--mutation-rate'")));
    try {
        korvath::detect(image, tooManyElites);
    } catch (const korvath::Error& error) {
        EXPECT_EQ(error.option(), "elite-proportion");
    }
    korvath::Settings bothSides;
    bothSides.lightIsActive = bothSides.darkIsActive = true;
    EXPECT_THAT([&] { korvath::detect(image, bothSides); },
                ::testing::ThrowsMessage<korvath::Error>(
                    HasSubstr("'--light-is-active' and '--dark-is-active' cannot")));

    korvath::Image wrongCount = image;
    wrongCount.pixels.pop_back();
    korvath::Image tooWide;
    tooWide.width = 40000;
    tooWide.height = 1;
    tooWide.pixels.assign(40000, 0);
    EXPECT_THROW(korvath::detect(wrongCount), korvath::Error);
    EXPECT_THROW(korvath::detect(tooWide), korvath::Error);
    EXPECT_THROW(korvath::detect(korvath::Image()), korvath::Error);
}

TEST(Library, ReadsTheSideAskedForOfAGreyPicture)
{
    TempDir dir;
    // Two dark pixels of six.
    writePgm(dir.file("ink.pgm"), imageFromText({"#..", "..#"}));
    const std::vector<std::uint8_t> ink = {1, 0, 0, 0, 0, 1};
    const std::vector<std::uint8_t> paper = {0, 1, 1, 1, 1, 0};
    EXPECT_EQ(korvath::readImage(dir.file("ink.pgm")).pixels, ink);
    EXPECT_EQ(korvath::readImage(dir.file("ink.pgm"), korvath::ActiveSide::Light).pixels, paper);
    // The form with a switch keeps its meaning: dark unless light is asked for.
    EXPECT_EQ(korvath::readImage(dir.file("ink.pgm"), true).pixels, paper);
    writePgm(dir.file("paper.pgm"), imageFromText({".##", "##."}));
    EXPECT_EQ(korvath::readImage(dir.file("paper.pgm")).pixels, ink);
    EXPECT_EQ(korvath::readImage(dir.file("paper.pgm"), korvath::ActiveSide::Dark).pixels, paper);
    EXPECT_EQ(korvath::readImage(dir.file("paper.pgm"), false).pixels, paper);
}

TEST(Library, SaysWhatItReadOfAFileAtTheProgramsLevels)
{
    TempDir dir;
    writeTiff(dir.file("scan.tif"), twoEllipses(), 4, 2);
    korvath::Settings settings;
    settings.verbosity = 4;
    std::ostringstream log;
    EXPECT_EQ(korvath::detect(dir.file("scan.tif"), settings, &log).ellipses.size(), 2u);
    EXPECT_THAT(log.str(), ::testing::StartsWith("Only the first page of " + dir.file("scan.tif") +
                                                 " is read: the file holds more\nActive pixels: "
                                                 "the dark ones, fewer than the light"));
    settings.verbosity = 3;
    std::ostringstream quieter;
    korvath::detect(dir.file("scan.tif"), settings, &quieter);
    EXPECT_THAT(quieter.str(), Not(HasSubstr("Active pixels")));
    EXPECT_THAT(quieter.str(), HasSubstr("Only the first page"));
}

TEST(Library, UnreadableFilesRaiseTheReadersMessage)
{
    // The reader's message as the program prints it, without the blank lines around it.
    TempDir dir;
    std::ofstream(dir.file("short.pbm"), std::ios::binary) << "P4\n64 64\n\x01";
    EXPECT_THAT([&] { korvath::readImage(dir.file("short.pbm")); },
                ThrowsMessage<korvath::Error>(StrEq("PBMB_CHECK_DATA - Fatal error!\n"
                                                    "  Failed reading byte 1\n\n"
                                                    "PBMB_READ: Fatal error!\n"
                                                    "  PBMB_READ_DATA failed.")));
    EXPECT_THAT(
        [&] { korvath::readImage(dir.file("missing.pbm")); },
        ThrowsMessage<korvath::Error>(StrEq(
            "PBMB_READ: Fatal error!\n  Cannot open the input file " + dir.file("missing.pbm"))));
    EXPECT_THAT([&] { korvath::readImage(dir.file("no_extension")); },
                ThrowsMessage<korvath::Error>(StrEq("Unknown image format, please use an "
                                                    "extension (e.g. jpg, bmp ...) in the "
                                                    "filename")));
}

TEST(Library, CallsOnSeveralThreadsGiveTheResultOfOne)
{
    const korvath::Image image = libraryImage(twoEllipses());
    const korvath::Result alone = korvath::detect(image);
    korvath::Result results[2];
    std::thread first([&] { results[0] = korvath::detect(image); });
    std::thread second([&] { results[1] = korvath::detect(image); });
    first.join();
    second.join();
    for (const korvath::Result& result : results) {
        ASSERT_EQ(result.ellipses.size(), alone.ellipses.size());
        EXPECT_EQ(result.evaluations, alone.evaluations);
        for (std::size_t i = 0; i < alone.ellipses.size(); ++i)
            EXPECT_EQ(result.ellipses[i].centerX, alone.ellipses[i].centerX);
    }
}
