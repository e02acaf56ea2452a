// BMP files put together field by field, for the decoder's tests and its sanitizer run
// (which links no test support library, hence header-only).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

inline void PutLe(std::string& s, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

struct BmpFile {
  std::uint32_t headerSize = 40;  // 12 is the core header
  std::int32_t width = 1, height = 1;
  std::uint32_t planes = 1, bpp = 24, compression = 0, clrUsed = 0;
  std::vector<std::uint32_t> masks;    // written after the first 40 bytes of the header
  std::vector<std::uint32_t> palette;  // 0x00RRGGBB
  std::string pixels;
};

inline std::string BuildBmp(const BmpFile& s) {
  std::string h;
  PutLe(h, s.headerSize, 4);
  for (std::int32_t side : {s.width, s.height}) PutLe(h, side, s.headerSize == 12 ? 2 : 4);
  PutLe(h, s.planes | s.bpp << 16, 4);
  if (s.headerSize != 12) {
    for (std::uint32_t v : {s.compression, static_cast<std::uint32_t>(s.pixels.size()),
                            2835u, 2835u, s.clrUsed, 0u}) {
      PutLe(h, v, 4);
    }
    for (std::uint32_t m : s.masks) PutLe(h, m, 4);
    if (s.headerSize > h.size()) h.resize(s.headerSize, '\0');
  }
  for (std::uint32_t c : s.palette) PutLe(h, c, s.headerSize == 12 ? 3 : 4);
  std::string f = "BM";
  for (size_t v : {14 + h.size() + s.pixels.size(), size_t{0}, 14 + h.size()}) {
    PutLe(f, static_cast<std::uint32_t>(v), 4);
  }
  return f + h + s.pixels;
}

}  // namespace testsupport
