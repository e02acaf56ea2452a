// The BMP file decoder behind LoadBitmapFromBytes. It takes what the Windows loader
// takes (core, info, V4 and V5 headers; 1, 4, 8, 16, 24 and 32 bits; RLE4, RLE8 and
// bit fields; bottom-up and top-down) and refuses anything malformed without reading
// outside the bytes it was given, so the game can hand it any file on disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gdi {

// Neither side of a bitmap of the raster layer may exceed this.
constexpr int kMaxBitmapSide = 16384;
// A picture file may claim at most this much, so that a small file cannot make the
// loader take gigabytes: 8192 pixels a side and 16 Mi pixels (64 MB decoded) in all.
constexpr int kMaxPictureSide = 8192;
constexpr long long kMaxPicturePixels = 16LL * 1024 * 1024;
// No picture within those limits needs a bigger file (32-bit pixels, the largest
// headers and colour table, and room to spare).
constexpr long long kMaxPictureFileBytes = 4 * kMaxPicturePixels + (1LL << 20);

struct DecodedBmp {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, rows top to bottom
};

// Decodes a whole BMP file image. On failure returns false and leaves out empty.
// Pixels that an RLE picture leaves undefined (skipped by a delta or an end of line)
// take palette entry 0, as on Windows.
bool DecodeBmp(const std::uint8_t* data, std::size_t size, DecodedBmp& out);

}  // namespace gdi
