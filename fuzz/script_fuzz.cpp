// libFuzzer entry for input scripts: any text is taken or refused with one line naming
// the line at fault, and what is taken stays in the ranges the format allows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/core/backend.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<platform::ScriptCommand> commands;
  std::string error;
  if (platform::ParseScript(text, "in.txt", commands, error)) {
    for (const platform::ScriptCommand& c : commands) {
      if (c.pass < 0 || c.x < -100000 || c.x > 100000 || c.y < -100000 || c.y > 100000) {
        std::abort();
      }
    }
  } else if (error.rfind("in.txt:", 0) != 0 || !commands.empty()) {
    std::abort();
  }
  return 0;
}
