#pragma once

#include <cstdint>

namespace Trelm
{

/// Fitness evaluations of the current image; reset by the engine, compared with the budget.
extern std::uint32_t evaluationCount;

} // namespace Trelm
