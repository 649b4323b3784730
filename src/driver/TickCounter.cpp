#include "driver/TickCounter.h"

#include <chrono>

namespace Trelm
{

std::uint32_t tickCount()
{
    const auto elapsed = std::chrono::steady_clock::now().time_since_epoch();
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed);
    return static_cast<std::uint32_t>(milliseconds.count());
}

} // namespace Trelm
