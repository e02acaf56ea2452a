#include "services/load_image.h"

#include <cstdint>
#include <vector>

#include "platform/core/platform.h"
#include "platform/raster/bmp.h"

gdi::HBITMAP LoadImageFromFile(const char* path) {
  std::vector<std::uint8_t> bytes;
  if (!platform::ReadWholeFile(path, static_cast<std::size_t>(gdi::kMaxPictureFileBytes), bytes)) {
    return 0;
  }
  return gdi::LoadBitmapFromBytes(bytes.data(), bytes.size());
}
