#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Trelm
{

/// Every tunable parameter of the search, filled once at start-up and read directly afterwards.
struct SearchSettings {
    std::uint32_t clusterSize = 0;
    std::uint32_t populations = 0;
    std::int32_t minAxis = 0;
    std::uint32_t evaluations = 0;
    double tracingProbability = 0.0;
    std::uint32_t maxTracing = 0;
    double minCompleteness = 0.0;
    double eliteProportion = 0.0;
    double discardProportion = 0.0;
    double crossoverRate = 0.0;
    double mutationRate = 0.0;
    std::int32_t clusteringFreq = 0;
    std::int32_t drawingThickness = 0;
    std::vector<std::string> imageFiles;
    bool progress = false;
    bool drawReal = false;
    /// Path of the CSV report of solutions; empty when no report is asked for.
    std::string reportFile;

    /// Fills the settings and verbosity from the command line, settings.cfg and the defaults.
    /// Returns true when the program must end now (help, version or an error was printed).
    static bool parseOptions(int argc, const char* const argv[]);

    /// The settings as the defaults give them, without parsing anything.
    static SearchSettings defaults();
};

/// The process-wide settings.
extern SearchSettings searchSettings;

/// Level of console detail, option "verbose".
extern std::int32_t verbosity;

} // namespace Trelm
