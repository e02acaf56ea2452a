#include "platform/core/replay.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "platform/core/backend.h"
#include "platform/files/replay.h"
#include "platform/files/settings.h"

namespace platform {

// --- the clock a replay expects ---

bool TickModel::Expect(long long pass, std::uint32_t& tick) const {
  if (!known_) return false;
  const double at = (low_ + high_) / 2 + static_cast<double>(pass - basePass_) * tickMs_;
  tick = baseTick_ + static_cast<std::uint32_t>(static_cast<long long>(std::floor(at)));
  return true;
}

void TickModel::Observe(long long pass, std::uint32_t tick) {
  if (!known_) {
    Restart(pass, tick);
    return;
  }
  const double since = static_cast<double>(static_cast<std::uint32_t>(tick - baseTick_));
  const double along = static_cast<double>(pass - basePass_) * tickMs_;
  const double low = std::max(low_, since - along);
  const double high = std::min(high_, since + 1 - along);
  if (low < high) {
    low_ = low;
    high_ = high;
    return;
  }
  // A pass that woke late now and then leaves the grid where it was (the next wakes on
  // it again); three off the grid within a few passes mean it has moved (a pause, a slow
  // pass that missed a tick, a clock set).
  if (strays_[1] >= 0 && pass - strays_[1] <= 8) {
    Restart(pass, tick);
    return;
  }
  strays_[1] = strays_[0];
  strays_[0] = pass;
}

void TickModel::Restart(long long pass, std::uint32_t tick) {
  known_ = true;
  basePass_ = pass;
  baseTick_ = tick;
  low_ = -1.0;
  high_ = 1.0;
  strays_[0] = -1;
  strays_[1] = -1;
}

// --- the recorder ---

bool ReplayWriter::Open(const std::string& path, const std::string& recordFile, double tickMs,
                        bool demo, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ignored;
  const fs::path target = fs::weakly_canonical(path, ignored);
  const fs::file_status kind = fs::symlink_status(path, ignored);
  std::string why;
  if (fs::exists(kind) && !fs::is_regular_file(kind) && !fs::is_symlink(kind)) {
    why = "not a plain file";
  } else {
    for (const std::string& theirs : {recordFile, SettingsFileFor(recordFile)}) {
      if (target == fs::weakly_canonical(theirs, ignored) || fs::equivalent(path, theirs, ignored)) {
        why = "it is the game's own file '" + theirs + "'";
      }
    }
  }
  if (why.empty() && access(fs::path(path).parent_path().c_str(), W_OK) != 0) {
    why = std::strerror(errno);
  }
  if (!why.empty()) {
    error = "cannot write replay '" + path + "': " + why;
    return false;
  }
  path_ = path;
  tickMs_ = tickMs;
  demo_ = demo;
  clock_ = TickModel(tickMs);
  return true;
}

void ReplayWriter::Line(long long pass, const std::string& command) {
  lines_ += std::to_string(pass) + " " + command + "\n";
}

void ReplayWriter::Tick(long long pass, std::uint32_t tick) {
  std::uint32_t expected = 0;
  if (!clock_.Expect(pass, expected) || expected != tick) {
    Line(pass, "tick " + std::to_string(tick));
  }
  clock_.Observe(pass, tick);
}

void ReplayWriter::Pointer(long long pass, int x, int y) {
  if (x == x_ && y == y_) return;
  x_ = x;
  y_ = y;
  Line(pass, "move " + std::to_string(x) + " " + std::to_string(y));
}

void ReplayWriter::Button(long long pass, bool down) {
  if (down == down_) return;
  down_ = down;
  Line(pass, down ? "button 1" : "button 0");
}

void ReplayWriter::Received(long long pass, const Message& message) {
  // A point as mouse messages carry it: two signed 16-bit halves.
  const auto low = static_cast<std::int16_t>(message.lParam & 0xFFFF);
  const auto high = static_cast<std::int16_t>((message.lParam >> 16) & 0xFFFF);
  const std::string point = std::to_string(low) + " " + std::to_string(high);
  switch (message.message) {
    case WM_CLOSE:
      Line(pass, "close");
      return;
    case WM_SIZE:
      Line(pass, "size " + point);
      return;
    case WM_LBUTTONDOWN:
      Line(pass, "click " + point);
      return;
    case WM_LBUTTONDBLCLK:
      Line(pass, "double-click " + point);
      return;
    case MCIWNDM_NOTIFYMODE:
      if (message.lParam == MCI_MODE_STOP) {
        Line(pass, "music-end");
        return;
      }
      break;
    default:
      break;
  }
  SayOnce("the replay cannot hold window message " + std::to_string(message.message) +
          "; it will not play back exactly");
}

void ReplayWriter::HighScore(RecordState state, std::int32_t value) {
  if (recordRead_) return;
  recordRead_ = true;
  record_ = state;
  highScore_ = value;
}

std::string ReplayWriter::SoFar(long long pass) const {
  return ReplayHeader(tickMs_, record_, highScore_, demo_) + "\n" + lines_ +
         std::to_string(pass) + " close\n";
}

bool ReplayWriter::Finish(std::string& error) {
  std::string why;
  if (WriteFileAtomically(path_, ReplayHeader(tickMs_, record_, highScore_, demo_) + "\n" + lines_,
                          why)) {
    return true;
  }
  error = "cannot write replay '" + path_ + "': " + why;
  return false;
}

}  // namespace platform
