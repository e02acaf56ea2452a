// libFuzzer entry for the BMP decoder: every input must be refused or decoded into a
// picture of the size it claims, without a fault. Any BMP files make a good corpus.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/raster/bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  gdi::DecodedBmp out;
  if (gdi::DecodeBmp(data, size, out)) {
    if (out.width < 1 || out.height < 1 || out.width > gdi::kMaxPictureSide ||
        out.height > gdi::kMaxPictureSide ||
        static_cast<long long>(out.width) * out.height > gdi::kMaxPicturePixels ||
        out.pixels.size() != static_cast<std::size_t>(out.width) * out.height) {
      std::abort();
    }
    for (std::uint32_t p : out.pixels) {
      if ((p >> 24) != 0) std::abort();
    }
  } else if (!out.pixels.empty() || out.width != 0 || out.height != 0) {
    std::abort();
  }
  return 0;
}
