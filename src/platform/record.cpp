// The high score as a file: four bytes, signed little-endian on every machine.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/backend.h"
#include "platform/platform.h"

namespace platform {

namespace {

std::string RecordFile() { return CurrentOptions().recordFile; }

}  // namespace

RecordState Backend::ReadRecord(std::int32_t& value) {
  value = 0;
  std::FILE* f = std::fopen(RecordFile().c_str(), "rb");
  if (!f) return RecordState::Absent;
  unsigned char bytes[4];
  const size_t got = std::fread(bytes, 1, 4, f);
  std::fclose(f);
  if (got != 4) return RecordState::Absent;
  const std::uint32_t v = static_cast<std::uint32_t>(bytes[0]) |
                          (static_cast<std::uint32_t>(bytes[1]) << 8) |
                          (static_cast<std::uint32_t>(bytes[2]) << 16) |
                          (static_cast<std::uint32_t>(bytes[3]) << 24);
  value = static_cast<std::int32_t>(v);
  return RecordState::Read;
}

// Written beside the real file and renamed over it, so a crash at any moment leaves
// either the old record or the new one, never a torn file.
bool Backend::WriteRecord(std::int32_t value) {
  const std::string file = RecordFile();
  const std::filesystem::path folder = std::filesystem::path(file).parent_path();
  std::error_code ignored;
  if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
  const std::string temp = file + ".tmp";
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) return false;
  const std::uint32_t v = static_cast<std::uint32_t>(value);
  const unsigned char bytes[4] = {static_cast<unsigned char>(v & 0xFF),
                                  static_cast<unsigned char>((v >> 8) & 0xFF),
                                  static_cast<unsigned char>((v >> 16) & 0xFF),
                                  static_cast<unsigned char>((v >> 24) & 0xFF)};
  bool ok = std::fwrite(bytes, 1, 4, f) == 4;
  ok = std::fflush(f) == 0 && ok;
  ok = fsync(fileno(f)) == 0 && ok;
  ok = std::fclose(f) == 0 && ok;
  if (!ok || std::rename(temp.c_str(), file.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace platform
