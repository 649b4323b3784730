#include "api/LibrarySettings.h"

#include <cmath>
#include <sstream>
#include <string>
#include <type_traits>

#include "api/SettingsBounds.h"

namespace Trelm
{

namespace
{

std::string invalidArgument(const char* name, double value)
{
    std::ostringstream text;
    text << "the argument ('" << value << "') for option '--" << name << "' is invalid";
    return text.str();
}

// What the command line accepts of a value of the table.
template <typename Value> bool accepted(Value value, korvath::options::Bounds bounds)
{
    if constexpr (std::is_floating_point_v<Value>) {
        if (!std::isfinite(value))
            return false;
    }
    return value >= bounds.lowest && value <= bounds.highest;
}

} // namespace

SearchSettings searchSettingsOf(const korvath::Settings& given)
{
    using namespace korvath::options;
    SearchSettings s;
    // Each value is checked as the command line checks it while reading the options.
#define KORVATH_OPTION(field, name, shortName, Type, value, bounds, help, scope, doc)              \
    KORVATH_CONVERT_##scope(field, name, bounds)
#define KORVATH_CONVERT_Both(field, name, bounds)                                                  \
    if (!accepted(given.field, bounds))                                                            \
        throw korvath::Error(invalidArgument(name, given.field), name);                            \
    s.field = given.field;
#define KORVATH_CONVERT_Program(field, name, bounds)
#define KORVATH_CONVERT_Preset(field, name, bounds)
#define KORVATH_CONVERT_Library(field, name, bounds)
#include "korvath/options.def"
#undef KORVATH_OPTION
#undef KORVATH_CONVERT_Both
#undef KORVATH_CONVERT_Program
#undef KORVATH_CONVERT_Preset
#undef KORVATH_CONVERT_Library
    // Then the checks of the whole.
    const std::string contradiction = SettingsBounds::contradiction(s);
    if (!contradiction.empty())
        throw korvath::Error(contradiction);
    const auto suspects = SettingsBounds::unworkable(s);
    if (!suspects.empty())
        throw korvath::Error(invalidArgument(suspects.front().name, suspects.front().value),
                             suspects.front().name);
    return s;
}

} // namespace Trelm
