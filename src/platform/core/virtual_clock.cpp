#include "platform/core/virtual_clock.h"

#include <algorithm>
#include <cmath>

#include "platform/core/backend.h"

namespace platform {

std::uint64_t TickBoundaryAfter(double elapsedMs, double ms, double tickMs) {
  const double due = elapsedMs + ms;
  auto k = static_cast<std::uint64_t>(std::max(0.0, std::ceil(due / tickMs)));
  // The quotient's rounding may put k one off the first boundary at or after `due`.
  while (static_cast<double>(k) * tickMs < due) ++k;
  while (k > 0 && static_cast<double>(k - 1) * tickMs >= due) --k;
  return k;
}

void VirtualClock::SleepToBoundary(std::uint32_t ms) {
  boundary_ = std::max(boundary_ + 1, TickBoundaryAfter(static_cast<double>(elapsed_), ms, tickMs_));
  elapsed_ = static_cast<std::uint64_t>(std::floor(static_cast<double>(boundary_) * tickMs_));
}

}  // namespace platform
