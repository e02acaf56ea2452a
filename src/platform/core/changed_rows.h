// Where a frame differs from the last one shown: the window (sdl/present.cpp) and the
// page (web/web_backend.cpp) both send only that part. The game repaints its whole frame
// every pass, so a compare against the frame last sent is the one plain way to know.
#pragma once

#include <cstdint>
#include <vector>

namespace platform {

// A rectangle of the frame, in frame pixels.
struct FrameArea {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
};

// Appends to `out` where `frame` differs from `last` (both width x height, 4 bytes a
// pixel, rows one after the other): runs of changed rows, with at most kMergeGap
// unchanged rows inside one, each narrowed to the columns that changed.
constexpr int kMergeGap = 8;
void ChangedAreas(const std::uint32_t* frame, const std::uint32_t* last, int width, int height,
                  std::vector<FrameArea>& out);

}  // namespace platform
