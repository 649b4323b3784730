#pragma once

#include "core/SearchSettings.h"
#include "korvath/korvath.h"

namespace Trelm
{

/// The search settings of the library's settings, checked as the program checks its options;
/// throws korvath::Error with the program's message when no search can run with them.
SearchSettings searchSettingsOf(const korvath::Settings& given);

} // namespace Trelm
