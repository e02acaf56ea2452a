// libFuzzer entry for input scripts, through a real file: any text is taken or refused
// with one line naming the line at fault, and what is taken stays in the ranges the
// format allows.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/files/files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string file = "/tmp/tonkalo-script-fuzz-" + std::to_string(getpid());
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) std::abort();
  std::vector<platform::ScriptCommand> commands;
  std::string error;
  if (platform::ReadScript(file, commands, error)) {
    for (const platform::ScriptCommand& c : commands) {
      if (c.pass < 0 || c.pass > 100000000 || c.x < -100000 || c.x > 100000 || c.y < -100000 ||
          c.y > 100000) {
        std::abort();
      }
    }
  } else if (error.rfind(file + ":", 0) != 0 || error.find('\n') != std::string::npos ||
             !commands.empty()) {
    std::abort();
  }
  return 0;
}
