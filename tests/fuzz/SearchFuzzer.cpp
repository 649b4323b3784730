// A whole search on a small image with settings drawn from the input. The settings go through
// the option parser, and only those it accepts are searched with: whatever it accepts must
// search to the end without a fault or an exception.
//
// Input: width and height (1 to 64), then one byte per setting, then the pixels, one bit
// each, row by row; missing bits are background.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <sstream>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "api/ImageSearch.h"
#include "core/RunContext.h"
#include "driver/Options.h"
#include "engine/ClusterGA.h"
#include "image/BinaryImage.h"

using namespace Trelm;

namespace
{

constexpr int MAX_SIDE = 64;
constexpr std::size_t SETTING_BYTES = 15;

// Reads the input from the front; past its end every byte is 0.
class ByteReader
{
  public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    unsigned next() { return position_ < size_ ? data_[position_++] : 0; }
    bool nextBit()
    {
        if (bit_ == 8) {
            current_ = next();
            bit_ = 0;
        }
        return ((current_ >> (7 - bit_++)) & 1u) != 0;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
    unsigned current_ = 0;
    int bit_ = 8;
};

std::string exact(double value)
{
    std::ostringstream out;
    out.precision(17);
    out << value;
    return out.str();
}

// Command-line words for the settings, over ranges wider than the accepted ones, so that the
// parser's refusals are met too. The evaluation budget stays low.
std::vector<std::string> settingWords(ByteReader& in)
{
    unsigned b[SETTING_BYTES];
    for (unsigned& value : b)
        value = in.next();
    std::vector<std::string> words = {
        "-C",
        std::to_string(1 + b[0] % 64),
        "-p",
        std::to_string(b[1] % 16),
        "-e",
        std::to_string((b[2] % 64) * 25),
        "-E",
        exact((static_cast<double>(b[3]) - 32) / 32),
        "-d",
        exact((static_cast<double>(b[4]) - 128) / 32),
        "-c",
        exact(static_cast<double>(b[5]) / 128 - 0.5),
        "-m",
        exact((static_cast<double>(b[6]) - 16) / 16),
        "-T",
        exact(static_cast<double>(b[7]) / 200),
        "--min-completeness",
        exact(static_cast<double>(b[8]) / 255),
        "--min-axis",
        std::to_string(static_cast<int>(b[9] % 32) - 4),
        "--clustering-freq",
        std::to_string(static_cast<int>(b[10] % 8) - 1),
        "--drawing-thickness",
        std::to_string(static_cast<int>(b[11] % 16) - 2),
        "--max-tracing",
        std::to_string(b[12]),
        "-V",
        std::to_string(b[13] % 22),
    };
    if (b[14] & 1u)
        words.push_back("--validate");
    if (b[14] & 2u)
        words.push_back("--refine");
    if (b[14] & 4u)
        words.push_back("--draw-real");
    words.push_back("fuzz.pbm");
    return words;
}

BinaryImage imageFrom(ByteReader& in, int width, int height)
{
    BinaryImage image;
    image.resize(height, width, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] =
                in.nextBit() ? 1 : 0;
    return image;
}

bool acceptedSettings(const std::vector<std::string>& words, RunContext& context)
{
    std::vector<const char*> arguments{"korvath"};
    for (const std::string& word : words)
        arguments.push_back(word.c_str());
    // No settings.cfg can be read from the scratch folder.
    fuzz::WorkingFolder folder;
    // The program's own settings (step images, jobs) play no part in one search.
    ProgramSettings settings;
    const bool stop = parseOptions(static_cast<int>(arguments.size()), arguments.data(), settings,
                                   context.verbosity);
    context.settings = settings;
    return !stop;
}

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "search threw: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::silenceStandardOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ByteReader in(data, size);
    const int width = 1 + static_cast<int>(in.next() % MAX_SIDE);
    const int height = 1 + static_cast<int>(in.next() % MAX_SIDE);
    const std::vector<std::string> words = settingWords(in);
    RunContext context;
    if (!acceptedSettings(words, context))
        return 0;
    context.output = &fuzz::nullStream();
    context.random.seed(311);
    BinaryImage image = imageFrom(in, width, height);

    // Released after the engine that shares them, as the batch does.
    SharedChromosomes solutions;
    try {
        ClusterGA engine(context, std::move(image));
        ImageSearch::runSteps(engine, solutions);
    } catch (const std::exception& error) {
        fail(error.what());
    }
    return 0;
}
