#include "platform/core/changed_rows.h"

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

// The columns [first, end) where one frame row differs from the same row of the last
// frame; first == end when none does.
struct Columns {
  int first = 0;
  int end = 0;
};

Columns ChangedColumns(const std::uint32_t* now, const std::uint32_t* was, int width) {
  if (std::memcmp(now, was, static_cast<size_t>(width) * sizeof(std::uint32_t)) == 0) return {};
  // Whole 16-pixel blocks first, then pixel by pixel.
  constexpr int kBlock = 16;
  constexpr size_t kBlockBytes = kBlock * sizeof(std::uint32_t);
  int first = 0;
  while (first + kBlock <= width && std::memcmp(now + first, was + first, kBlockBytes) == 0) {
    first += kBlock;
  }
  while (now[first] == was[first]) ++first;
  int end = width;
  while (end - kBlock >= first && std::memcmp(now + end - kBlock, was + end - kBlock, kBlockBytes) == 0) {
    end -= kBlock;
  }
  while (now[end - 1] == was[end - 1]) --end;
  return {first, end};
}

}  // namespace

void ChangedAreas(const std::uint32_t* frame, const std::uint32_t* last, int width, int height,
                  std::vector<FrameArea>& out) {
  const auto columns = [&](int y) {
    const size_t at = static_cast<size_t>(y) * width;
    return ChangedColumns(frame + at, last + at, width);
  };
  int y = 0;
  while (y < height) {
    Columns c = columns(y);
    if (c.first == c.end) {
      ++y;
      continue;
    }
    FrameArea area{c.first, y, 0, 0};
    int end = c.end;
    int lastChanged = y;
    for (++y; y < height && y - lastChanged - 1 <= kMergeGap; ++y) {
      c = columns(y);
      if (c.first == c.end) continue;
      area.x = std::min(area.x, c.first);
      end = std::max(end, c.end);
      lastChanged = y;
    }
    area.w = end - area.x;
    area.h = lastChanged + 1 - area.y;
    out.push_back(area);
  }
}

}  // namespace platform
