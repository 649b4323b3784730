#pragma once

#include <cstdint>

#include "driver/ProgramSettings.h"

namespace Trelm
{

/// Fills settings and verbosity from the command line, settings.cfg and the defaults.
/// Returns true when the program must end now (help, version or an error was printed).
bool parseOptions(int argc, const char* const argv[], ProgramSettings& settings,
                  std::int32_t& verbosity);

} // namespace Trelm
