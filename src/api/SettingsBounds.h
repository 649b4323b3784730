#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/SearchSettings.h"

namespace Trelm
{

/// The bounds of what one generation step can do, shared by the command line and the library.
namespace SettingsBounds
{

/// A setting to blame for settings that do not work together, with its value.
struct Suspect {
    const char* name;
    double value;
};

/// The options that may be blamed when no generation step can be formed from the settings,
/// the likeliest first; empty when the step can be formed.
std::vector<Suspect> unworkable(const SearchSettings& settings);

/// Why the settings contradict each other, worded as the program's errors are; "" when they
/// do not.
std::string contradiction(const SearchSettings& settings);

} // namespace SettingsBounds

} // namespace Trelm
