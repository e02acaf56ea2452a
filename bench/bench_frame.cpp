// What a frame costs, each figure as a ratio to a memcpy measured in the same run, so
// that the ratios hold from one machine to the next. Times are CPU time, and each is
// the best of several rounds: other programs share the machine.
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/entry.h"
#include "game/program.h"
#include "platform/core/backend.h"
#include "platform/core/platform.h"

namespace {

constexpr int kRounds = 5;
constexpr std::size_t kFrameBytes = 640 * 480 * 4;

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The best time of one call of f, in µs, over kRounds rounds of `calls` calls.
template <typename F>
double BestMicros(int calls, F&& f) {
  double best = 1e30;
  for (int round = 0; round < kRounds; ++round) {
    const double start = CpuSeconds();
    for (int i = 0; i < calls; ++i) f();
    best = std::min(best, (CpuSeconds() - start) * 1e6 / calls);
  }
  return best;
}

double MemcpyMicros(std::size_t bytes, int calls) {
  std::vector<char> from(bytes, 1), to(bytes);
  return BestMicros(calls, [&] {
    std::memcpy(to.data(), from.data(), bytes);
    asm volatile("" : : "r"(to.data()) : "memory");
  });
}

// One whole run of the game in-process, headless, in the data folder; the CPU µs of a
// pass over the passes from `from` to `frames`, the best of kRounds runs.
double GamePassMicros(const std::string& script, long long from, long long frames,
                      const std::string& recordFile) {
  int module = 0;
  double best = 1e30;
  for (int round = 0; round < kRounds; ++round) {
    platform::Options options;
    options.headless = true;
    options.scriptFile = script;
    options.frames = frames;
    options.recordFile = recordFile;
    options.keepFrames = false;
    options.timedemo = true;
    options.timedemoFrom = from;
    std::string error;
    // The title runs without input; the busy game reads its script.
    if ((!script.empty() && !platform::ReadScript(script, options.script, error)) ||
        !platform::Init(options, error)) {
      std::fprintf(stderr, "tonkalo-bench: %s\n", error.c_str());
      return 0.0;
    }
    {
      ProgramObjects objects;
      TonkaloMain(&module);
    }
    const platform::PassTiming t = platform::TimedPasses();
    platform::Shutdown();
    if (t.passes > 0) best = std::min(best, t.cpuSeconds * 1e6 / t.passes);
    std::remove(recordFile.c_str());
  }
  return best;
}

// The passes where play begins and where the results come, from the script's header.
bool PlayPasses(const std::string& script, long long& play, long long& results) {
  std::ifstream in(script);
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t at = line.find("play from pass");
    if (at != std::string::npos &&
        std::sscanf(line.c_str() + at, "play from pass %lld, results at pass %lld", &play,
                    &results) == 2) {
      return true;
    }
  }
  return false;
}

void Row(const char* what, double micros, double reference, const char* target) {
  std::printf("%-44s %8.1f µs %6.2fx  %s\n", what, micros, micros / reference, target);
}

}  // namespace

int main() {
  const std::string script = TONKALO_SOURCE_DIR "/bench/busy_game.txt";
  long long play = 0;
  long long results = 0;
  if (!PlayPasses(script, play, results)) {
    std::fprintf(stderr, "tonkalo-bench: %s has no 'play from pass' header\n", script.c_str());
    return 1;
  }
  char pattern[] = "/tmp/tonkalo-bench-XXXXXX";
  const char* dir = mkdtemp(pattern);
  if (dir == nullptr || chdir(TONKALO_DATA_DIR) != 0) {
    std::fprintf(stderr, "tonkalo-bench: no temporary folder or no data folder\n");
    return 1;
  }
  const std::string record = std::string(dir) + "/highscore.dat";

  const double frame0 = MemcpyMicros(kFrameBytes, 2000);
  const double titlePass = GamePassMicros("", 1, 1000, record);
  const double playPass = GamePassMicros(script, play + 1, results, record);
  const double frame = std::min(frame0, MemcpyMicros(kFrameBytes, 2000));
  rmdir(dir);

  std::printf("memcpy of one 640 x 480 x 4 frame: %.1f µs\n\n", frame);
  std::printf("%-44s %11s %7s  %s\n", "", "CPU", "ratio", "target");
  Row("headless play pass (busy board, scripted)", playPass, frame, "<= 5x memcpy of a frame");
  Row("headless title pass (title, START, hammer)", titlePass, frame,
      "<= 5x memcpy of a frame");
  return 0;
}
