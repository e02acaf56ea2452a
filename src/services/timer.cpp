#include "services/timer.h"

#include "platform/core/platform.h"

CTimer::CTimer() : start(platform::GetTickCount()), interval(1000) {}

void CTimer::Start(std::uint32_t intervalMs) {
  start = platform::GetTickCount();
  interval = intervalMs;
}

void CTimer::SetInterval(std::uint32_t intervalMs) { interval = intervalMs; }

void CTimer::Restart() { start = platform::GetTickCount(); }

// The lateness of the check is dropped (start = now, not start + interval): a clock
// built on this runs slow by up to one frame per period, as the game was tuned with.
int CTimer::Expired() {
  const std::uint32_t elapsed = platform::GetTickCount() - start;
  if (elapsed <= interval) return 0;
  start = platform::GetTickCount();
  return 1;
}
