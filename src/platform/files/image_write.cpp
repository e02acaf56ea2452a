// Picture files for --shot: a 24-bit bottom-up BMP, or an 8-bit RGB PNG encoded by
// libpng. Both are made whole in memory first.
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/files/files.h"

namespace platform {

namespace {

void PutLE(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A write that fails partway (a full disk) takes its cut-off picture away again. Only a
// plain file is removed: a link stays, and so does a pipe a test reads the shot from.
bool WriteWhole(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fclose(f) == 0 && ok;
  const int why = errno;
  struct stat info {};
  if (!ok && lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) unlink(path.c_str());
  errno = why;
  return ok;
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
  std::string rgb;
  rgb.reserve(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
    rgb.push_back(static_cast<char>((pixels[i] >> 16) & 0xFF));
    rgb.push_back(static_cast<char>((pixels[i] >> 8) & 0xFF));
    rgb.push_back(static_cast<char>(pixels[i] & 0xFF));
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  // A buffer of the largest size the image can take, so one pass encodes it.
  png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(image);
  std::string out(size, '\0');
  const bool encoded =
      png_image_write_to_memory(&image, out.data(), &size, 0, rgb.data(), 0, nullptr) != 0;
  png_image_free(&image);
  if (!encoded) return false;
  out.resize(size);
  return WriteWhole(path, out);
}

}  // namespace platform
