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
  std::int32_t width = 1;
  std::int32_t height = 1;
  std::uint32_t planes = 1;
  std::uint32_t bpp = 24;
  std::uint32_t compression = 0;
  std::uint32_t clrUsed = 0;
  std::vector<std::uint32_t> masks;    // written after the first 40 bytes of the header
  std::vector<std::uint32_t> palette;  // 0x00RRGGBB
  std::string pixels;
};

inline std::string BuildBmp(const BmpFile& s) {
  std::string h;
  PutLe(h, s.headerSize, 4);
  const int side = s.headerSize == 12 ? 2 : 4;
  PutLe(h, static_cast<std::uint32_t>(s.width), side);
  PutLe(h, static_cast<std::uint32_t>(s.height), side);
  PutLe(h, s.planes, 2);
  PutLe(h, s.bpp, 2);
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
  PutLe(f, static_cast<std::uint32_t>(14 + h.size() + s.pixels.size()), 4);
  PutLe(f, 0, 4);
  PutLe(f, static_cast<std::uint32_t>(14 + h.size()), 4);
  return f + h + s.pixels;
}

}  // namespace testsupport
