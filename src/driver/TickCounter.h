#pragma once

#include <cstdint>

namespace Trelm
{

/// Milliseconds of a monotonic clock as a wrapping 32-bit count; take differences of two.
std::uint32_t tickCount();

} // namespace Trelm
