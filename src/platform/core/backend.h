// Inside the platform only: what a backend provides to the core (platform.cpp), which
// owns what is the same whichever backend runs: the pass counter, the message queue,
// scripted input, the cursor counter, the trace, shots, the record's rules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/startup.h"
#include "platform/files/files.h"

namespace platform {

class Backend {
 public:
  virtual ~Backend() = default;

  virtual std::uint32_t Tick() = 0;
  // Returns at the first tick boundary at least `ms` from now (TickBoundaryAfter).
  virtual void SleepToBoundary(std::uint32_t ms) = 0;
  // Appends the messages the machine has produced since the last call.
  virtual void Pump(std::deque<Message>& queue) = 0;
  // The real pointer, in back-buffer pixels; only asked when no script drives the input.
  virtual void Pointer(int& x, int& y) = 0;
  virtual bool PointerButton() = 0;
  virtual void SetCursorVisible(bool visible) = 0;
  virtual void ShowMessageBox(const char* caption, const char* text) = 0;
  // The pixels are the window's surface in the game: they stay readable and unchanged
  // until the next pass draws, so the window backend may show them again (paused).
  virtual void Present(const std::uint32_t* pixels, int width, int height) = 0;
  // index < 0 halts the channel without playing anything.
  virtual void PlayWave(int index, const std::uint8_t* image, std::size_t size) = 0;
  virtual void Music(MusicCommand command, const std::string& path) = 0;
  // The record in the file Options::recordFile; a backend without files keeps it
  // elsewhere. WriteRecord writes the larger of `value` and what the store holds at
  // that moment, and says what it could not.
  virtual RecordState ReadRecord(std::int32_t& value);
  virtual RecordSave WriteRecord(std::int32_t value);
  // A few words for the player where they look (the window's label, the page's note
  // line), beside the line SayOnce writes; the frame and the trace stay as they were.
  virtual void Notify(const std::string& /*text*/) {}
};

// The first tick boundary (k x tickMs from the clock's start, returned as k) at least
// `ms` after `elapsedMs`: the one rule by which every backend's Sleep wakes.
std::uint64_t TickBoundaryAfter(double elapsedMs, double ms, double tickMs);

// The backend in use (the default headless one before Init).
Backend& CurrentBackend();
std::unique_ptr<Backend> MakeHeadlessBackend(const Options& options);
// The window of this build: SDL's natively (sdl/), the page's canvas in the browser
// (web/). Null with a one-line reason when there is no display.
std::unique_ptr<Backend> MakeWindowBackend(const Options& options, bool realMouse,
                                           std::string& error);

// The input a script or a test sets instead of the real mouse.
struct VirtualInput {
  int x = 320;
  int y = 240;
  bool down = false;
};
VirtualInput& ScriptedInput();
void QueueMessage(const Message& message);
// A client point as mouse messages carry it in lParam: x in the low 16 bits, y above.
std::intptr_t PackPoint(int x, int y);
// The frame as last presented (what shots and headless::LastFrame read); `forget`
// empties it.
const std::vector<std::uint32_t>& LastFrame(bool forget = false);

}  // namespace platform
