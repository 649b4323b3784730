#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/SearchSettings.h"

namespace Trelm
{

/// What the program reads from its options: the settings of every image's search, and what only
/// the batch uses (its files, report, jobs and pictures). The defaults are those of the option
/// table.
struct ProgramSettings : SearchSettings {
    std::vector<std::string> imageFiles;
    /// An image of every cluster's best candidate after each step.
    bool progress = false;
    /// Result images show the matched pixels instead of the ideal ellipses.
    bool drawReal = false;
    /// Path of the CSV report of solutions; empty when no report is asked for.
    std::string reportFile;
    /// Number of images searched at once; 0 means one per core.
    std::uint32_t jobs = 1;
    /// Folder of the result and progress images; empty for the folder of each input.
    std::string outputDir;
    /// The result image is a colour PNG instead of a grey PGM.
    bool resultPng = false;
};

} // namespace Trelm
