// Option parsing on any bytes. The input is the text of settings.cfg, a NUL, then the
// command-line arguments separated by NULs. Parsing must end, and settings it accepts must
// be within the bounds that keep a generation step's work bounded.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "driver/Options.h"

using namespace Trelm;

namespace
{

constexpr std::size_t MAX_ARGUMENTS = 64;

bool withinBounds(const ProgramSettings& s)
{
    const bool finite = std::isfinite(s.eliteProportion) && std::isfinite(s.discardProportion) &&
                        std::isfinite(s.crossoverRate) && std::isfinite(s.mutationRate) &&
                        std::isfinite(s.tracingProbability) && std::isfinite(s.minCompleteness);
    const double size = s.clusterSize;
    const double elites = std::max(1.0, std::trunc(size * s.eliteProportion + 0.5));
    const double mutations = std::trunc(size * s.mutationRate + 0.5);
    return finite && s.clusterSize >= 1 && s.clusterSize <= 10000 &&
           std::uint64_t{s.populations} * s.clusterSize <= 1000000 && elites <= 2 * size &&
           std::trunc((1 - s.discardProportion) * size + 0.5) <= 4 * size &&
           mutations <= 10 * size && (mutations <= 0 || elites <= size - 2) &&
           !s.imageFiles.empty();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::silenceStandardOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes = fuzz::bytesOf(data, size);
    const std::size_t end = bytes.find('\0');
    std::vector<std::string> words;
    if (end != std::string::npos) {
        std::size_t start = end + 1;
        while (start <= bytes.size() && words.size() < MAX_ARGUMENTS) {
            const std::size_t next = std::min(bytes.find('\0', start), bytes.size());
            words.push_back(bytes.substr(start, next - start));
            start = next + 1;
        }
    }
    std::vector<const char*> arguments{"korvath"};
    for (const std::string& word : words)
        arguments.push_back(word.c_str());

    fuzz::WorkingFolder folder;
    std::ofstream("settings.cfg", std::ios::binary) << bytes.substr(0, end);
    ProgramSettings settings;
    std::int32_t verbosity = 0;
    const bool stop =
        parseOptions(static_cast<int>(arguments.size()), arguments.data(), settings, verbosity);
    if (!stop && !withinBounds(settings))
        std::abort();
    return 0;
}
