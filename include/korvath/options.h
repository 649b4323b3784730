#pragma once

// The vocabulary of the option table (korvath/options.def): the value types, bounds, help
// visibility and reach of its rows.

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace korvath::options
{

/// A count: an unsigned number, never given with a minus sign.
using Count = std::uint32_t;
/// A signed whole number.
using Whole = std::int32_t;
/// A finite real number.
using Real = double;
/// An option without a value: given means true.
using Switch = bool;
/// A text, such as a file name.
using Text = std::string;
/// File names that add up from every source.
using Files = std::vector<std::string>;

/// The values an option accepts beyond what its type accepts, both ends included.
struct Bounds {
    double lowest = -std::numeric_limits<double>::infinity();
    double highest = std::numeric_limits<double>::infinity();
};

/// Every value of the type.
constexpr Bounds any()
{
    return {};
}

/// Values from lowest up.
constexpr Bounds atLeast(double lowest)
{
    return {lowest, std::numeric_limits<double>::infinity()};
}

/// Values from lowest to highest.
constexpr Bounds within(double lowest, double highest)
{
    return {lowest, highest};
}

/// Whether the program's help lists an option.
enum class Help { Shown, Hidden };

/// Where an option can be given. Both: the command line, settings.cfg, korvath::Settings and
/// the Python keywords; Program: the command line and settings.cfg; Library: korvath::Settings
/// and the Python keywords; Preset: the command line, settings.cfg and the Python keywords,
/// as a preset of other options (korvath::Settings::robust()).
enum class Scope { Both, Program, Library, Preset };

} // namespace korvath::options
