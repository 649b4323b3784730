#pragma once

#include <cstdint>
#include <vector>

#include "core/SearchSettings.h"

namespace Trelm
{

/// The bounds of what one generation step can do, shared by the command line and the library.
namespace SettingsBounds
{

/// An empty first cluster has no best member, so at least 1; 250 times the default at most.
constexpr std::uint32_t MIN_CLUSTER_SIZE = 1;
constexpr std::uint32_t MAX_CLUSTER_SIZE = 10000;

/// A setting to blame for settings that do not work together, with its value.
struct Suspect {
    const char* name;
    double value;
};

/// The options that may be blamed when no generation step can be formed from the settings,
/// the likeliest first; empty when the step can be formed.
std::vector<Suspect> unworkable(const SearchSettings& settings);

} // namespace SettingsBounds

} // namespace Trelm
