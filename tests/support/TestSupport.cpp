#include "support/TestSupport.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <sys/wait.h>

#include "core/RunContext.h"

#ifndef KORVATH_EXECUTABLE
#define KORVATH_EXECUTABLE "korvath"
#endif

namespace Trelm::test
{

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "korvath-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

RunContext& testRun()
{
    thread_local RunContext run;
    return run;
}

void resetSettings()
{
    testRun() = RunContext();
    testRun().output = &std::cout;
    testRun().verbosity = 0;
    testRun().random.seed(311);
}

BinaryImage blankImage(int width, int height)
{
    BinaryImage image;
    image.resize(height, width, 0);
    return image;
}

BinaryImage imageFromText(const std::vector<std::string>& lines)
{
    BinaryImage image =
        blankImage(static_cast<int>(lines.at(0).size()), static_cast<int>(lines.size()));
    for (std::size_t y = 0; y < lines.size(); ++y)
        for (std::size_t x = 0; x < lines[y].size(); ++x)
            image.rows[y][x] = (lines[y][x] == '#' || lines[y][x] == '1') ? 1 : 0;
    return image;
}

BinaryImage circleImage()
{
    BinaryImage image = blankImage(200, 200);
    drawEllipse(image, 100, 100, 40, 40, 0.0);
    return image;
}

void drawEllipse(BinaryImage& image, double cx, double cy, double a, double b, double theta)
{
    const int steps = static_cast<int>(8 * (a + b));
    for (int i = 0; i < steps; ++i) {
        const double t = 2 * M_PI * i / steps;
        const double x = cx + a * std::cos(t) * std::cos(theta) - b * std::sin(t) * std::sin(theta);
        const double y = cy + a * std::cos(t) * std::sin(theta) + b * std::sin(t) * std::cos(theta);
        const long px = std::lround(x);
        const long py = std::lround(y);
        if (px >= 0 && py >= 0 && px < image.width && py < image.height)
            image.rows[static_cast<std::size_t>(py)][static_cast<std::size_t>(px)] = 1;
    }
}

void drawEllipseArc(BinaryImage& image, double cx, double cy, double a, double b, double theta,
                    double from, double to)
{
    for (int i = 0; i <= 2000; ++i) {
        const double t = from + (to - from) * i / 2000;
        const double x = cx + a * std::cos(t) * std::cos(theta) - b * std::sin(t) * std::sin(theta);
        const double y = cy + a * std::cos(t) * std::sin(theta) + b * std::sin(t) * std::cos(theta);
        const long px = std::lround(x);
        const long py = std::lround(y);
        if (px >= 0 && py >= 0 && px < image.width && py < image.height)
            image.rows[static_cast<std::size_t>(py)][static_cast<std::size_t>(px)] = 1;
    }
}

void writePbm(const std::string& path, const BinaryImage& image)
{
    std::string bytes =
        "P4\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n";
    for (const auto& row : image.rows) {
        for (int start = 0; start < image.width; start += 8) {
            unsigned char byte = 0;
            for (int bit = 0; bit < 8 && start + bit < image.width; ++bit)
                if (row[static_cast<std::size_t>(start + bit)] != 0)
                    byte |= static_cast<unsigned char>(0x80u >> bit);
            bytes += static_cast<char>(byte);
        }
    }
    writeBytes(path, bytes);
}

void writeBmp(const std::string& path, const BinaryImage& image)
{
    const int rowSize = (image.width * 3 + 3) / 4 * 4;
    const auto le32 = [](std::string& out, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    std::string bytes = "BM";
    le32(bytes, static_cast<std::uint32_t>(54 + rowSize * image.height));
    le32(bytes, 0);
    le32(bytes, 54);
    le32(bytes, 40);
    le32(bytes, static_cast<std::uint32_t>(image.width));
    le32(bytes, static_cast<std::uint32_t>(image.height));
    le32(bytes, 1 | (24 << 16)); // planes, bit count
    for (int i = 0; i < 6; ++i)
        le32(bytes, 0);
    for (int y = image.height - 1; y >= 0; --y) {
        std::string row(static_cast<std::size_t>(rowSize), '\0');
        for (int x = 0; x < image.width; ++x) {
            const char level =
                image.rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] ? 0 : '\xFF';
            row.replace(static_cast<std::size_t>(3 * x), 3, 3, level);
        }
        bytes += row;
    }
    writeBytes(path, bytes);
}

void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::array<Point, 5> pointsOnEllipse(double cx, double cy, double a, double b, double theta)
{
    std::array<Point, 5> points{};
    const double ts[5] = {0.0, 1.3, 2.2, 3.6, 5.0};
    for (std::size_t i = 0; i < points.size(); ++i) {
        const double t = ts[i];
        const double x = cx + a * std::cos(t) * std::cos(theta) - b * std::sin(t) * std::sin(theta);
        const double y = cy + a * std::cos(t) * std::sin(theta) + b * std::sin(t) * std::cos(theta);
        points[i] = {static_cast<std::int16_t>(std::lround(x)),
                     static_cast<std::int16_t>(std::lround(y))};
    }
    return points;
}

RunResult runKorvath(const std::filesystem::path& workingDirectory, const std::string& arguments,
                     const std::string& prefix)
{
    const std::string command = "cd '" + workingDirectory.string() + "' && " + prefix +
                                " '" KORVATH_EXECUTABLE "' " + arguments + " 2>&1";
    RunResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace Trelm::test
