#pragma once

#include <cstdint>

namespace Trelm
{

/// Upper bound of an ellipse's major axis, whatever the engine's current limit.
constexpr std::int32_t AXIS_CAP = 400;

/// Kind of figure of a cluster and its chromosomes; the ellipse is the only kind.
constexpr std::int32_t ELLIPSE_KIND = 1;

/// Bit of the engine's figure mask that asks for ellipses.
constexpr std::uint32_t ELLIPSE_BIT = 1;

/// Console detail: a message is printed when the verbosity exceeds its threshold.
namespace Verbosity
{
constexpr int STEP = 1;        ///< per-step lines
constexpr int IMAGE = 2;       ///< per-image banner and per-solution lines
constexpr int PICTURE = 3;     ///< how the active pixels of a grey or colour picture were chosen
constexpr int LIMITS = 4;      ///< new axis limits after a solution
constexpr int PHASES = 5;      ///< generation phases, widened limits, relaxed criteria
constexpr int CHROMOSOMES = 7; ///< single chromosomes and clusters
constexpr int OUTLINE = 11;    ///< at or above: every outline pixel
constexpr int SYSTEM = 16;     ///< at or above: the linear system of every ellipse
} // namespace Verbosity

} // namespace Trelm
