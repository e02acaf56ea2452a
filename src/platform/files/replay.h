// Replay files (--record writes them, --replay plays them): a first line that says what
// the recorded run started from, then an input script (files.h) of everything the run
// received, in pass order:
//
//   tonkalo-replay 1 tick-ms 15.625 highscore 120
//   0 tick 0
//   212 move 301 188
//   215 click 301 188
//   215 button 1
//   ...
//   4100 close
//
// The high score is the record the recorded run read at start-up ("unreadable" when it
// found one it could not read), so that a replay shows the same title and results. A
// last word "demo" says the built-in player played it: it kept its score to itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/files/files.h"

namespace platform {

struct ReplayFile {
  double tickMs = 15.625;
  RecordState record = RecordState::Read;  // Read or Unreadable
  std::int32_t highScore = 0;
  bool demo = false;  // played by the built-in player, which never saves a record
  std::vector<ScriptCommand> commands;  // in pass order
};

// The first line of a replay, without its line end.
std::string ReplayHeader(double tickMs, RecordState record, std::int32_t highScore,
                         bool demo);

// Reads a replay; false with one line in `error` ("FILE:LINE: reason" for a bad line)
// when it cannot be read, is no replay, or was cut short (it must say the clock's
// reading at pass 0 and hold the window's close).
bool ReadReplay(const std::string& path, ReplayFile& out, std::string& error);

}  // namespace platform
