#include "genetic/EvaluationCount.h"

namespace Trelm
{

std::uint32_t evaluationCount = 0;

} // namespace Trelm
