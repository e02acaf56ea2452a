#include "platform/files/replay.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace platform {

namespace {

constexpr const char* kMagic = "tonkalo-replay";
constexpr const char* kVersion = "1";

bool ParseHeader(const std::string& line, ReplayFile& out) {
  if (line.size() > 100) return false;
  std::istringstream in(line);
  std::vector<std::string> w;
  for (std::string word; in >> word;) w.push_back(word);
  out.demo = w.size() == 7 && w[6] == "demo";
  if ((w.size() != 6 && !out.demo) || w[0] != kMagic || w[1] != kVersion || w[2] != "tick-ms" ||
      w[4] != "highscore") {
    return false;
  }
  char* end = nullptr;
  const double tickMs = std::strtod(w[3].c_str(), &end);
  if (*end != '\0' || !(tickMs >= 0.1 && tickMs <= 1000.0)) return false;
  out.tickMs = tickMs;
  if (w[5] == "unreadable") {
    out.record = RecordState::Unreadable;
    out.highScore = 0;
    return true;
  }
  errno = 0;
  const long long value = std::strtoll(w[5].c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || w[5].empty() || value < INT32_MIN || value > INT32_MAX) {
    return false;
  }
  out.record = RecordState::Read;
  out.highScore = static_cast<std::int32_t>(value);
  return true;
}

}  // namespace

std::string ReplayHeader(double tickMs, RecordState record, std::int32_t highScore,
                         bool demo) {
  char tick[40];
  std::snprintf(tick, sizeof(tick), "%.17g", tickMs);
  return std::string(kMagic) + " " + kVersion + " tick-ms " + tick + " highscore " +
         (record == RecordState::Unreadable ? std::string("unreadable")
                                            : std::to_string(highScore)) +
         (demo ? " demo" : "");
}

// One pass over the file: the header as its first line, the commands streamed behind it.
bool ReadReplay(const std::string& path, ReplayFile& out, std::string& error) {
  ReplayFile replay;
  const auto header = [&replay](const std::string& line) {
    return ParseHeader(line, replay)
               ? std::string()
               : "not a replay of this game (it starts 'tonkalo-replay 1 tick-ms MS highscore N')";
  };
  if (!ReadScript(path, replay.commands, error, header)) return false;
  const auto& commands = replay.commands;
  if (std::none_of(commands.begin(), commands.end(), [](const ScriptCommand& c) {
        return c.pass == 0 && c.kind == ScriptCommand::Tick;
      })) {
    error = path + ": no '0 tick T' line: the replay does not say when it started";
    return false;
  }
  if (std::none_of(commands.begin(), commands.end(),
                   [](const ScriptCommand& c) { return c.kind == ScriptCommand::Close; })) {
    error = path + ": the replay does not end with 'close': it was cut short";
    return false;
  }
  out = std::move(replay);
  return true;
}

}  // namespace platform
