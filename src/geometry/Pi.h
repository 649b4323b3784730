#pragma once

#include <cmath>

namespace Trelm
{

/// The constant pi, computed once at start-up.
inline const double PI = 4.0 * std::atan(1.0);

} // namespace Trelm
