#include "output.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace assetgen {

bool MakeFolder(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i != path.size() && path[i] != '/') continue;
    std::string part = path.substr(0, i);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
      std::fprintf(stderr, "tonkalo-assetgen: cannot create %s: %s\n", part.c_str(),
                   std::strerror(errno));
      return false;
    }
  }
  return true;
}

bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "tonkalo-assetgen: cannot write %s: %s\n", path.c_str(),
                 std::strerror(errno));
    return false;
  }
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) std::fprintf(stderr, "tonkalo-assetgen: short write on %s\n", path.c_str());
  return ok;
}

namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// The file header and the BITMAPINFOHEADER part of an info header of `infoSize` bytes,
// for a bottom-up picture; the caller appends the rest of the header and the rows.
std::vector<std::uint8_t> BmpHeaders(int width, int height, std::uint32_t infoSize,
                                     std::uint16_t bits, std::uint32_t compression,
                                     std::uint32_t dataSize) {
  const std::uint32_t offset = 14 + infoSize;
  std::vector<std::uint8_t> out;
  out.reserve(offset + dataSize);
  out.push_back('B');
  out.push_back('M');
  Put32(out, offset + dataSize);
  Put32(out, 0);
  Put32(out, offset);
  Put32(out, infoSize);
  Put32(out, static_cast<std::uint32_t>(width));
  Put32(out, static_cast<std::uint32_t>(height));  // positive: bottom-up
  Put16(out, 1);
  Put16(out, bits);
  Put32(out, compression);
  Put32(out, dataSize);
  Put32(out, 2835);  // 72 dpi
  Put32(out, 2835);
  Put32(out, 0);
  Put32(out, 0);
  return out;
}

}  // namespace

std::vector<std::uint8_t> EncodeBmp(const Image& image) {
  const std::uint32_t rowBytes = (static_cast<std::uint32_t>(image.width) * 3 + 3) & ~3u;
  const std::uint32_t dataSize = rowBytes * static_cast<std::uint32_t>(image.height);
  std::vector<std::uint8_t> out = BmpHeaders(image.width, image.height, 40, 24, 0, dataSize);
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x) {
      std::uint32_t c = image.At(x, y);
      out.push_back(c & 0xFF);
      out.push_back((c >> 8) & 0xFF);
      out.push_back((c >> 16) & 0xFF);
    }
    for (std::uint32_t pad = static_cast<std::uint32_t>(image.width) * 3; pad < rowBytes; ++pad) {
      out.push_back(0);
    }
  }
  return out;
}

std::vector<std::uint8_t> EncodeBmpWithAlpha(int width, int height,
                                             const std::vector<std::uint32_t>& argb) {
  const std::uint32_t dataSize = static_cast<std::uint32_t>(width) * height * 4;
  constexpr std::uint32_t kBitFields = 3;
  std::vector<std::uint8_t> out = BmpHeaders(width, height, 108, 32, kBitFields, dataSize);
  for (std::uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u}) Put32(out, mask);
  Put32(out, 0x73524742);  // 'sRGB'
  for (int i = 0; i < 12; ++i) Put32(out, 0);  // end points and gamma, unused with sRGB
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) Put32(out, argb[static_cast<size_t>(y) * width + x]);
  }
  return out;
}

bool SavePng(cairo_surface_t* surface, const std::string& path) {
  if (cairo_surface_write_to_png(surface, path.c_str()) != CAIRO_STATUS_SUCCESS) {
    std::fprintf(stderr, "tonkalo-assetgen: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

}  // namespace assetgen
