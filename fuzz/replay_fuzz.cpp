// libFuzzer entry for the replay reader, through a real file: anything is taken or
// refused in one line naming the file, and a header taken reads back the same.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/files/replay.h"

namespace {

const std::string& File() {
  static const std::string file = "/tmp/tonkalo-replay-fuzz-" + std::to_string(getpid());
  return file;
}

bool Read(const std::string& bytes, platform::ReplayFile& out, std::string& error) {
  std::FILE* f = std::fopen(File().c_str(), "wb");
  if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
    std::abort();
  }
  return platform::ReadReplay(File(), out, error);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  platform::ReplayFile replay;
  std::string error;
  if (!Read(std::string(reinterpret_cast<const char*>(data), size), replay, error)) {
    if (error.find(File()) == std::string::npos || error.find('\n') != std::string::npos) {
      std::abort();
    }
    return 0;
  }
  platform::ReplayFile again;
  const std::string header =
      platform::ReplayHeader(replay.tickMs, replay.record, replay.highScore, replay.demo);
  if (!Read(header + "\n0 tick 0\n0 close\n", again, error) || again.tickMs != replay.tickMs ||
      again.record != replay.record || again.highScore != replay.highScore ||
      again.demo != replay.demo) {
    std::abort();
  }
  return 0;
}
