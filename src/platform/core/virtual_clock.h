// The clock of scripted runs: it moves only when the program sleeps (or a test moves
// it), from one tick boundary to the next, so pass p of a run that starts at tick T
// reads floor(T + p x tick). The headless backend runs on it, and so does the browser
// page when a script drives it.
#pragma once

#include <cstdint>

namespace platform {

class VirtualClock {
 public:
  VirtualClock(double tickMs, std::uint32_t startTick) : tickMs_(tickMs), origin_(startTick) {}

  std::uint32_t Tick() const { return origin_ + static_cast<std::uint32_t>(elapsed_); }
  // Moves to the first tick boundary at least `ms` ahead (always at least one).
  void SleepToBoundary(std::uint32_t ms);
  // The clock reads `tick` now; later sleeps step from here on the tick grid.
  void Set(std::uint32_t tick) { *this = VirtualClock(tickMs_, tick); }
  void Advance(std::uint32_t ms) { elapsed_ += ms; }

 private:
  double tickMs_;
  std::uint32_t origin_;
  std::uint64_t elapsed_ = 0;   // ms since origin_: floor(boundary_ x tick), exact from
  std::uint64_t boundary_ = 0;  // the last boundary slept to, so no rounding accumulates
};

}  // namespace platform
