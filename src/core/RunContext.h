#pragma once

#include <cstdint>
#include <ostream>

#include "core/Constants.h"
#include "core/Random.h"
#include "core/SearchSettings.h"

namespace Trelm
{

/// The state of one search: its settings, console detail and destination, its count of
/// fitness evaluations and its random generator. Every search has its own, so several can
/// run at once.
struct RunContext {
    SearchSettings settings;
    /// Level of console detail, option "verbose".
    std::int32_t verbosity = 3;
    /// Fitness evaluations of the current image.
    std::uint32_t evaluationCount = 0;
    RandomGenerator random;
    /// Largest major axis of this image's search: the max-axis setting, or the image's
    /// diagonal when that is 0.
    std::int32_t axisCap = AXIS_CAP;
    /// Where the search prints; nowhere until a caller gives a stream.
    std::ostream* output = nullptr;

    /// The output stream, or one that keeps nothing when there is none.
    std::ostream& out() const { return output != nullptr ? *output : silent(); }
    /// Whether a message of the given threshold is printed.
    bool talks(int threshold) const { return verbosity > threshold; }
    /// The relaxed solution criterion applies once the budget is reached.
    bool budgetReached() const { return evaluationCount >= settings.evaluations; }
    /// The batch stops an image's search once the budget is exceeded.
    bool budgetExceeded() const { return evaluationCount > settings.evaluations; }

  private:
    // A stream without a buffer takes every write and keeps nothing; one per thread, since a
    // write sets its state.
    static std::ostream& silent()
    {
        static thread_local std::ostream stream(nullptr);
        return stream;
    }
};

} // namespace Trelm
