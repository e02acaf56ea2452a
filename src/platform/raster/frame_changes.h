// Where one presented frame can differ from an earlier one: what the raster layer
// reports for the window's bitmap and the window's present reads.
#pragma once

#include <cstdint>
#include <vector>

namespace platform {

// A rectangle of frame pixels.
struct FrameRect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
};
// Where frame number `frame` may differ from frame number `since` (0: from nothing
// known): outside `areas` the two are the same, pixel for pixel.
struct FrameChanges {
  std::uint64_t frame = 0;
  std::uint64_t since = 0;
  std::vector<FrameRect> areas;
};
}  // namespace platform
