// libFuzzer entry for the command line: the input is the arguments, separated by NUL
// bytes. Anything is taken or refused with a reason; what is taken stays in range.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/cli/options.h"

// A --script naming standard input must not wait for a terminal.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!std::freopen("/dev/null", "r", stdin)) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> words(1, "tonkalo");
  words.emplace_back();
  for (std::size_t i = 0; i < size && words.size() < 64; ++i) {
    if (data[i] == 0) {
      words.emplace_back();
    } else {
      words.back().push_back(static_cast<char>(data[i]));
    }
  }
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  platform::Options o;
  std::string error;
  if (!platform::ParseOptions(static_cast<int>(words.size()), argv.data(), o, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  if (o.help) return 0;
  if (!(o.tickMs >= 0.1 && o.tickMs <= 1000.0) || o.scale < 0 || o.scale > 16 ||
      o.frames < -1 || (o.autoplay && !o.scriptFile.empty())) {
    std::abort();
  }
  for (const platform::Options::Shot& shot : o.shots) {
    if (shot.pass < 0 || shot.file.size() < 4) std::abort();
  }
  return 0;
}
