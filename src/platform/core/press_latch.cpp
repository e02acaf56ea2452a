#include "platform/core/press_latch.h"

namespace platform {

void PressLatch::Pressed(int x, int y) {
  latched_ = true;
  x_ = x;
  y_ = y;
}

void PressLatch::Released() {
  if (latched_) flickPasses_ = 2;
}

bool PressLatch::Sample(bool held) {
  const bool down = latched_ || held;
  latched_ = false;
  return down;
}

bool PressLatch::FlickAt(int& x, int& y) const {
  if (flickPasses_ == 0) return false;
  x = x_;
  y = y_;
  return true;
}

void PressLatch::PassEnded() {
  if (latched_) {
    flickPasses_ = 0;
  } else if (flickPasses_ > 0) {
    --flickPasses_;
  }
  latched_ = false;
}

}  // namespace platform
