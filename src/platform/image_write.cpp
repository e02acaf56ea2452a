// Picture files for --shot: a 24-bit bottom-up BMP, or an 8-bit RGB PNG compressed
// with zlib. Both are written whole to a string first so a failed write leaves at most
// a truncated file, never a crash.
#include <zlib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/backend.h"

namespace platform {

namespace {

void PutLE(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void PutBE32(std::string& out, std::uint32_t value) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

bool WriteWhole(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fclose(f) == 0 && ok;
  return ok;
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
  PutBE32(out, static_cast<std::uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  out += body;
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
  PutBE32(out, static_cast<std::uint32_t>(crc));
}

}  // namespace

bool WriteBmp24(const std::string& path, const std::uint32_t* pixels, int width, int height) {
  if (!pixels || width <= 0 || height <= 0) return false;
  const std::uint32_t rowBytes = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
  const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(height);
  std::string out;
  out.reserve(54 + imageBytes);
  out += "BM";
  PutLE(out, 54 + imageBytes, 4);
  PutLE(out, 0, 4);
  PutLE(out, 54, 4);
  PutLE(out, 40, 4);
  PutLE(out, static_cast<std::uint32_t>(width), 4);
  PutLE(out, static_cast<std::uint32_t>(height), 4);
  PutLE(out, 1, 2);
  PutLE(out, 24, 2);
  PutLE(out, 0, 4);  // BI_RGB
  PutLE(out, imageBytes, 4);
  PutLE(out, 2835, 4);  // 72 dpi
  PutLE(out, 2835, 4);
  PutLE(out, 0, 4);
  PutLE(out, 0, 4);
  for (int y = height - 1; y >= 0; --y) {
    const std::uint32_t* row = pixels + static_cast<size_t>(y) * width;
    for (int x = 0; x < width; ++x) {
      out.push_back(static_cast<char>(row[x] & 0xFF));
      out.push_back(static_cast<char>((row[x] >> 8) & 0xFF));
      out.push_back(static_cast<char>((row[x] >> 16) & 0xFF));
    }
    for (std::uint32_t pad = static_cast<std::uint32_t>(width) * 3; pad < rowBytes; ++pad) {
      out.push_back('\0');
    }
  }
  return WriteWhole(path, out);
}

bool WritePng(const std::string& path, const std::uint32_t* pixels, int width, int height) {
  if (!pixels || width <= 0 || height <= 0) return false;
  std::vector<Bytef> raw;
  raw.reserve(static_cast<size_t>(height) * (1 + static_cast<size_t>(width) * 3));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // filter: none
    const std::uint32_t* row = pixels + static_cast<size_t>(y) * width;
    for (int x = 0; x < width; ++x) {
      raw.push_back(static_cast<Bytef>((row[x] >> 16) & 0xFF));
      raw.push_back(static_cast<Bytef>((row[x] >> 8) & 0xFF));
      raw.push_back(static_cast<Bytef>(row[x] & 0xFF));
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<Bytef> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 6) !=
      Z_OK) {
    return false;
  }

  std::string out("\x89PNG\r\n\x1a\n", 8);
  std::string header;
  PutBE32(header, static_cast<std::uint32_t>(width));
  PutBE32(header, static_cast<std::uint32_t>(height));
  header.push_back(8);  // bits per channel
  header.push_back(2);  // truecolour
  header.push_back(0);  // deflate
  header.push_back(0);  // adaptive filtering
  header.push_back(0);  // not interlaced
  PutChunk(out, "IHDR", header);
  PutChunk(out, "IDAT", std::string(reinterpret_cast<const char*>(packed.data()), packedSize));
  PutChunk(out, "IEND", std::string());
  return WriteWhole(path, out);
}

}  // namespace platform
