#include "platform/core/replay.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/core/backend.h"
#include "platform/files/replay.h"

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

ReplayWriter::~ReplayWriter() {
  if (file_) std::fclose(file_);
}

bool ReplayWriter::Open(const std::string& path, double tickMs, bool demo,
                        std::string& error) {
  demo_ = demo;
  file_ = std::fopen(path.c_str(), "w");
  if (!file_) {
    error = "cannot write replay '" + path + "': " + std::strerror(errno);
    return false;
  }
  path_ = path;
  tickMs_ = tickMs;
  clock_ = TickModel(tickMs);
  return true;
}

void ReplayWriter::Line(long long pass, const std::string& command) {
  std::string line = std::to_string(pass) + " " + command + "\n";
  if (!headerWritten_) {
    early_ += line;
  } else {
    std::fwrite(line.data(), 1, line.size(), file_);
  }
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
  if (headerWritten_) return;
  headerWritten_ = true;
  const std::string head = ReplayHeader(tickMs_, state, value, demo_) + "\n" + early_;
  std::fwrite(head.data(), 1, head.size(), file_);
  std::string().swap(early_);
}

std::string ReplayWriter::SoFar(long long pass) {
  if (!file_) return std::string();
  std::fflush(file_);
  std::vector<std::uint8_t> bytes;
  ReadWholeFile(path_.c_str(), std::size_t{1} << 30, bytes);
  std::string text(bytes.begin(), bytes.end());
  if (!headerWritten_) text = ReplayHeader(tickMs_, RecordState::Absent, 0, demo_) + "\n" + early_;
  return text + std::to_string(pass) + " close\n";
}

bool ReplayWriter::Finish(std::string& error) {
  if (!file_) return true;
  // A run that ended before it read the record starts from none.
  HighScore(RecordState::Absent, 0);
  const int earlier = std::ferror(file_) ? EIO : 0;
  const int failed = std::fclose(file_) != 0 ? errno : earlier;
  file_ = nullptr;
  if (failed) error = "cannot write replay '" + path_ + "': " + std::strerror(failed);
  return failed == 0;
}

}  // namespace platform
