#pragma once

#include <cstdint>

namespace Trelm
{

/// Every tunable parameter of the search. The defaults are those of the option table; the
/// program's own options are in the driver's ProgramSettings.
struct SearchSettings {
    std::uint32_t clusterSize = 40;
    std::uint32_t populations = 40;
    std::int32_t minAxis = 8;
    std::uint32_t evaluations = 8000;
    double tracingProbability = 0.95;
    std::uint32_t maxTracing = 50;
    double minCompleteness = 0.2;
    double eliteProportion = 0.1;
    double discardProportion = 0.15;
    double crossoverRate = 1.0;
    double mutationRate = 0.15;
    std::int32_t clusteringFreq = 5;
    std::int32_t drawingThickness = 6;
    /// A candidate must also show support unlikely by chance to become a solution.
    bool validate = false;
    /// Each solution is refitted to its matched pixels for sub-pixel parameters.
    bool refine = false;
    /// Light pixels of grey and colour pictures are active: edge maps stored white on black.
    bool lightIsActive = false;
    /// Dark pixels of PNG, PGM and TIFF pictures are active, whichever side has fewer pixels.
    /// With neither switch, those pictures' active side is the one with fewer pixels.
    bool darkIsActive = false;
    /// Candidates are drawn from edge chains, and the search ends when they are used up.
    bool arcs = false;
    /// Largest major axis searched for; 0 means the image's diagonal.
    std::int32_t maxAxis = 400;
    /// Turns on arcs, validate, refine and a max-axis of 0 where no option says otherwise.
    bool robust = false;
    /// Seed of each image's random generator: every image starts from it.
    std::uint32_t seed = 311;
};

} // namespace Trelm
