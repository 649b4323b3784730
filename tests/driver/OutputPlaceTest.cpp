#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <png.h>

#include "support/PictureFiles.h"
#include "support/TestSupport.h"

using namespace Trelm;
using namespace Trelm::test;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

namespace
{

// The files of a folder, by name.
std::vector<std::string> namesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A PNG decoded to 8-bit RGB, three bytes per pixel; empty when libpng cannot read it.
std::vector<png_byte> rgbOf(const std::string& path, png_uint_32& width)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
        return {};
    width = image.width;
    return pixels;
}

// Two folders holding a circle under the same name, run through the program.
class OutputPlaceTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        fs::create_directory(dir.path() / "a");
        fs::create_directory(dir.path() / "b");
        writePbm(dir.file("a/circle.pbm"), circleImage());
        writePbm(dir.file("b/circle.pbm"), circleImage());
        writePbm(dir.file("b/other.pbm"), circleImage());
    }

    RunResult run(const std::string& arguments) { return runKorvath(dir.path(), arguments); }

    TempDir dir;
};

} // namespace

TEST_F(OutputPlaceTest, ResultsAndProgressImagesGoToTheOutputFolderMadeForThem)
{
    const RunResult result = run("-V 0 -P -e 300 --output-dir out/new a/circle.pbm b/other.pbm");
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_THAT(result.output, HasSubstr("Number of errors: 0\n"));
    const std::vector<std::string> written = namesIn(dir.path() / "out" / "new");
    EXPECT_THAT(written, ::testing::Contains("circle_quvex++.pgm"));
    EXPECT_THAT(written, ::testing::Contains("other_quvex++.pgm"));
    EXPECT_THAT(written, ::testing::Contains("circle_quvex++TMP (Step 1).pgm"));
    EXPECT_EQ(namesIn(dir.path() / "a"), std::vector<std::string>{"circle.pbm"});
    EXPECT_EQ(namesIn(dir.path() / "b"), (std::vector<std::string>{"circle.pbm", "other.pbm"}));
}

TEST_F(OutputPlaceTest, InputsOfOneStemInTwoFoldersCollideInTheOutputFolder)
{
    writeBytes(dir.file("settings.cfg"), "output-dir=out\n");
    const RunResult result = run("-V 0 a/circle.pbm b/circle.pbm");
    EXPECT_THAT(result.output, HasSubstr("Unexpected error on (b/circle.pbm):\nIts result image "
                                         "out/circle_quvex++.pgm is already that of a/circle.pbm"));
    EXPECT_THAT(result.output, HasSubstr("Number of errors: 1\n"));
    EXPECT_EQ(namesIn(dir.path() / "out"), std::vector<std::string>{"circle_quvex++.pgm"});
}

TEST_F(OutputPlaceTest, AnOutputFolderThatCannotBeMadeEndsTheProgramBeforeAnyImage)
{
    writeBytes(dir.file("taken"), "a file");
    const RunResult result = run("--output-dir taken a/circle.pbm");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, "Error: the output folder taken is not a folder and cannot be made "
                             "one; nothing is processed.\n");
}

TEST_F(OutputPlaceTest, APngResultShowsThePgmResultsPictureWithTheEllipsesInColour)
{
    run("-V 0 a/circle.pbm");
    const std::string pgm = readBytes(dir.file("a/circle_quvex++.pgm"));
    fs::remove(dir.path() / "a" / "circle_quvex++.pgm");
    const RunResult result = run("-V 0 --result-png a/circle.pbm");
    EXPECT_THAT(result.output, HasSubstr("Number of errors: 0\n"));
    EXPECT_FALSE(fs::exists(dir.path() / "a" / "circle_quvex++.pgm"));
    png_uint_32 width = 0;
    const std::vector<png_byte> rgb = rgbOf(dir.file("a/circle_quvex++.png"), width);
    ASSERT_EQ(width, 200u);
    ASSERT_EQ(rgb.size(), 3u * 200 * 200);
    const std::string raster = pgm.substr(pgm.size() - 200 * 200);
    int coloured = 0;
    for (std::size_t i = 0; i < raster.size(); ++i) {
        const auto grey = static_cast<png_byte>(raster[i]);
        const png_byte* pixel = &rgb[3 * i];
        if (grey == 190) {
            ++coloured;
            ASSERT_EQ(std::vector<png_byte>(pixel, pixel + 3), (std::vector<png_byte>{220, 20, 60}))
                << i;
        } else {
            ASSERT_EQ(std::vector<png_byte>(pixel, pixel + 3),
                      (std::vector<png_byte>{grey, grey, grey}))
                << i;
        }
    }
    EXPECT_GT(coloured, 500);
}
