#pragma once

#include <array>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "core/RunContext.h"
#include "image/BinaryImage.h"

namespace Trelm::test
{

/// A fresh temporary folder, removed with everything in it at the end of the scope.
class TempDir
{
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

/// Captures what is written to std::cout during its lifetime.
class CoutCapture
{
  public:
    CoutCapture() : saved_(std::cout.rdbuf(buffer_.rdbuf())) {}
    ~CoutCapture() { std::cout.rdbuf(saved_); }
    CoutCapture(const CoutCapture&) = delete;
    CoutCapture& operator=(const CoutCapture&) = delete;
    std::string text() const { return buffer_.str(); }

  private:
    std::ostringstream buffer_;
    std::streambuf* saved_;
};

/// The run context the tests of this thread search with.
RunContext& testRun();

/// Resets the test run: default settings, verbosity 0 (silent), no evaluations, the generator
/// seeded with 311, output to standard output.
void resetSettings();

/// A blank (all background) binary image of the given size.
BinaryImage blankImage(int width, int height);

/// Builds a binary image from rows of text: '#' or '1' active, anything else background.
BinaryImage imageFromText(const std::vector<std::string>& lines);

/// A 200 x 200 image holding a thin circle of radius 40 about (100, 100).
BinaryImage circleImage();

/// Sets the pixels of an ellipse outline (centre, semi-axes, angle of the first axis),
/// sampled densely and rounded, so the outline is connected.
void drawEllipse(BinaryImage& image, double cx, double cy, double a, double b, double theta);
/// Sets the pixels of the same outline from parameter from to parameter to only (radians,
/// both ends drawn), sampled at 2001 points.
void drawEllipseArc(BinaryImage& image, double cx, double cy, double a, double b, double theta,
                    double from, double to);

/// Writes a binary image as a PBM ("P4") file.
void writePbm(const std::string& path, const BinaryImage& image);

/// Writes a binary image as a 24-bit BMP file: active pixels black, the rest white.
void writeBmp(const std::string& path, const BinaryImage& image);

/// Writes bytes to a file.
void writeBytes(const std::string& path, const std::string& bytes);

/// Reads a whole file as bytes.
std::string readBytes(const std::string& path);

/// Five points of the ellipse with centre (cx, cy), semi-axes a, b and angle theta, rounded.
std::array<Point, 5> pointsOnEllipse(double cx, double cy, double a, double b, double theta);

/// Result of running the korvath executable.
struct RunResult {
    int exitCode = -1;
    std::string output;
};

/// Runs the built korvath in a working folder with the given arguments (shell-quoted by the
/// caller where needed), capturing standard output and standard error together. prefix is
/// shell text put before the program (a ulimit, an opening parenthesis).
RunResult runKorvath(const std::filesystem::path& workingDirectory, const std::string& arguments,
                     const std::string& prefix = "");

/// The lines of a text.
std::vector<std::string> linesOf(const std::string& text);

} // namespace Trelm::test
