// Interval timer over the millisecond tick counter: every timed behaviour of the game
// (the one-second clock, the 50 ms counter tick, spawns, board steps, animation frames).
#pragma once

#include <cstdint>

class CTimer {
 public:
  // start = now, interval 1000 ms.
  CTimer();
  void Start(std::uint32_t intervalMs);        // start = now, interval = intervalMs
  void SetInterval(std::uint32_t intervalMs);  // start unchanged
  void Restart();                              // start = now
  // 1 at the first check made more than `interval` ms after start (then start = now),
  // else 0. Differences are unsigned 32-bit, so the tick counter's wrap does no harm.
  int Expired();
  std::uint32_t GetStart() const { return start; }
  std::uint32_t GetInterval() const { return interval; }

 private:
  std::uint32_t start;
  std::uint32_t interval;
};
