#include "platform/core/virtual_clock.h"

#include <cmath>

namespace platform {

VirtualClock::VirtualClock(double tickMs, std::uint32_t startTick)
    : tickMs_(tickMs > 0.0 ? tickMs : 15.625), origin_(startTick) {}

std::uint64_t VirtualClock::Boundary(std::uint64_t k) const {
  return static_cast<std::uint64_t>(std::floor(static_cast<double>(k) * tickMs_));
}

std::uint32_t VirtualClock::Tick() const {
  return origin_ + static_cast<std::uint32_t>(elapsed_);
}

void VirtualClock::SleepToBoundary(std::uint32_t ms) {
  const std::uint64_t need = elapsed_ + ms;
  std::uint64_t k = static_cast<std::uint64_t>(std::ceil(static_cast<double>(need) / tickMs_));
  if (k <= boundary_) k = boundary_ + 1;
  while (Boundary(k) < need) ++k;
  while (k > boundary_ + 1 && Boundary(k - 1) >= need) --k;
  boundary_ = k;
  elapsed_ = Boundary(k);
}

void VirtualClock::Set(std::uint32_t tick) {
  origin_ = tick;
  elapsed_ = 0;
  boundary_ = 0;
}

void VirtualClock::Advance(std::uint32_t ms) { elapsed_ += ms; }

}  // namespace platform
