// Inside the platform layer only: what --record and --replay need beyond the script
// machinery. A recording run reads the clock, the pointer and the button once a pass
// (the first reading holds for the rest of the pass), so that a replay, which can only
// set them as a pass begins, gives every reading the run had.
#pragma once

#include <cstdint>
#include <string>

#include "platform/core/platform.h"

namespace platform {

// The clock a replay expects: one tick a pass, on a grid whose place it learns from the
// readings so far, so that only readings off that grid need to be written (a real
// window wakes a little after each tick, and a pause or a slow pass moves the grid).
// The recorder and the replay feed it the same readings, so they expect the same.
class TickModel {
 public:
  explicit TickModel(double tickMs = 15.625) : tickMs_(tickMs) {}

  // The reading expected at `pass`; false before any reading.
  bool Expect(long long pass, std::uint32_t& tick) const;
  void Observe(long long pass, std::uint32_t tick);

 private:
  void Restart(long long pass, std::uint32_t tick);

  double tickMs_;
  bool known_ = false;
  long long basePass_ = 0;
  std::uint32_t baseTick_ = 0;
  // Where on the grid, past baseTick_, pass basePass_ + k reads: floor(o + k x tick)
  // for an offset o in [low_, high_).
  double low_ = -1.0;
  double high_ = 1.0;
  // The last two passes whose readings were left off the grid as late wake-ups.
  long long strays_[2] = {-1, -1};
};

// Keeps the replay of the run as it goes (files/replay.h): the pass of every change to
// what the game reads, in the order it read them. It is the player's file like the
// record: written whole when the run ends, to a private temporary file renamed over
// the target, so a run that fails or dies never leaves a stub in place of a replay.
class ReplayWriter {
 public:
  // False with a one-line reason when `path` cannot take a replay: a folder, a pipe or
  // a device, the record or the settings file, or in a folder that cannot be written.
  // `demo`: the built-in player plays the recorded run.
  bool Open(const std::string& path, const std::string& recordFile, double tickMs, bool demo,
            std::string& error);
  void Tick(long long pass, std::uint32_t tick);
  void Pointer(long long pass, int x, int y);
  void Button(long long pass, bool down);
  void Received(long long pass, const Message& message);
  // The record as start-up read it; only the first reading counts.
  void HighScore(RecordState state, std::int32_t value);
  // The replay so far, ending with a close in `pass`, as if the window closed now.
  std::string SoFar(long long pass) const;
  // Writes the replay; false with a one-line reason when it could not be.
  bool Finish(std::string& error);

 private:
  void Line(long long pass, const std::string& command);

  std::string path_;
  double tickMs_ = 15.625;
  bool demo_ = false;
  TickModel clock_;
  int x_ = 320;  // what a replay's virtual input starts from
  int y_ = 240;
  bool down_ = false;
  bool recordRead_ = false;
  RecordState record_ = RecordState::Absent;  // a run that ended before it read one
  std::int32_t highScore_ = 0;
  std::string lines_;
};

// The replay being recorded (--record) as if the window closed in this pass: for the
// page, which offers it for download while the game goes on. Empty when not recording.
std::string RecordedReplay();
// Whether the recorded replay is kept at Shutdown: only a run that started and ended
// well (a signal's close among them) replaces the file; main says so before Shutdown.
void KeepRecordedReplay(bool keep);
// Once per run, outside any frame: a record that found the store locked is saved now,
// waiting for the lock until a signal or the window's close says to stop.
void SaveWaitingRecord();

}  // namespace platform
