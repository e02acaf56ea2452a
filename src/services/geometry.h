// The point and rectangle value types shared by the board and the screen composition.
#pragma once

#include <cstdint>

struct CPoint {
  std::int32_t x;
  std::int32_t y;
  CPoint(std::int32_t x_ = 0, std::int32_t y_ = 0) : x(x_), y(y_) {}
};

struct CRect {
  std::int32_t left;
  std::int32_t top;
  std::int32_t right;
  std::int32_t bottom;
  CRect(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b)
      : left(l), top(t), right(r), bottom(b) {}
};
