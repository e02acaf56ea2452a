// libFuzzer entry for the high-score reader, through a real file: fewer than four bytes
// are no record, four are one, signed and little-endian, and more are no file this game
// wrote (unreadable, left alone).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/core/startup.h"

namespace {
std::string file;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char dir[] = "/tmp/tonkalo-record-fuzz-XXXXXX";
  if (!mkdtemp(dir)) std::abort();
  file = std::string(dir) + "/highscore.dat";
  platform::Options options;
  options.headless = true;
  options.recordFile = file;
  std::string error;
  if (!platform::Init(options, error)) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) std::abort();
  std::int32_t value = 1;
  const platform::RecordState state = platform::ReadRecord(value);
  if (size != 4) {
    const auto want = size < 4 ? platform::RecordState::Absent : platform::RecordState::Unreadable;
    if (state != want || value != 0) std::abort();
  } else {
    const std::uint32_t want = data[0] | data[1] << 8 | data[2] << 16 |
                               static_cast<std::uint32_t>(data[3]) << 24;
    if (state != platform::RecordState::Read || static_cast<std::uint32_t>(value) != want) {
      std::abort();
    }
  }
  return 0;
}
