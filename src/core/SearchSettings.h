#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Trelm
{

/// Every tunable parameter of the search. The defaults are those of the option table.
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
    std::vector<std::string> imageFiles;
    bool progress = false;
    bool drawReal = false;
    /// Path of the CSV report of solutions; empty when no report is asked for.
    std::string reportFile;
    /// Folder of the result and progress images; empty for the folder of each input.
    std::string outputDir;
    /// The result image is a colour PNG instead of a grey PGM.
    bool resultPng = false;
    /// A candidate must also show support unlikely by chance to become a solution.
    bool validate = false;
    /// Each solution is refitted to its matched pixels for sub-pixel parameters.
    bool refine = false;
    /// Number of images searched at once; 0 means one per core.
    std::uint32_t jobs = 1;
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
};

} // namespace Trelm
