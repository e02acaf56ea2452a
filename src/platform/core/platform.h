// The one door from the game to the machine (the rooms and who may include what:
// HACKING.md). Three backends stand behind it: sdl/ (a real window, mouse and audio),
// headless/ (a virtual clock, scripted input and recorded output) and web/ (the browser
// page). Called from the game thread only. The entry's own calls (Init, Shutdown) are in
// core/startup.h, so that the command line's options reach the game through no header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/shared.h"

namespace platform {

// Window messages the backends deliver, with the values the game's window procedure uses.
constexpr unsigned WM_CLOSE = 0x0010;
constexpr unsigned WM_SIZE = 0x0005;
constexpr unsigned WM_LBUTTONDOWN = 0x0201;
constexpr unsigned WM_LBUTTONDBLCLK = 0x0203;
constexpr unsigned MCIWNDM_NOTIFYMODE = 0x0400 + 200;
constexpr long MCI_MODE_STOP = 525;

struct Message {
  unsigned message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
};

// Milliseconds since an arbitrary start, unsigned 32-bit, wrapping. While a run is
// recorded or replayed it is read once a pass: every call in a pass gives that reading.
std::uint32_t GetTickCount();
// Sleeps at least `ms`, rounded up to the next multiple of the system tick; ends one
// pass of the frame loop.
void Sleep(std::uint32_t ms);
// Takes the next pending window message; false when none is waiting.
bool PeekMessage(Message& out);
// The cursor in back-buffer pixels (may lie outside 0..639, 0..479).
void GetCursorPos(int& x, int& y);
// The left button as the pass samples it: true while it is held anywhere on the desktop,
// and also when it was pressed in the window since the last sample though already let
// go (a quick tap is not lost). Reading clears that latched press, as does the pass's
// end.
bool LeftButtonDown();
// Moves the cursor display counter by +1 (show) or -1 and returns it; shown while >= 0.
int ShowCursor(bool show);
// Modal message box (never blocks headless); also one line on standard error. The text
// is cut to 255 bytes, never inside a character.
void MessageBox(const char* text, const char* caption);
// Shows a 640 x 480 frame of 0x00RRGGBB pixels in the window.
void Present(const std::uint32_t* pixels, int width, int height);
// Plays a whole in-memory WAV image on the one effect channel, cutting off what plays
// there; null halts the channel. Traced as a `sound` event, except for a negative index,
// which only halts the channel (before the images are freed).
void PlayWave(int index, const std::uint8_t* image, std::size_t size);

// Reads the record into `value`; Absent (value 0) when none is kept or it holds fewer
// than four bytes; Unreadable (said once on standard error) when one is there that
// cannot be read, which the run must then leave alone.
RecordState ReadRecord(std::int32_t& value);
// Saves a record this run made, so that a crash at any moment leaves the old or the
// new value: Written; AlreadyHeld when the store, read again, holds as much or more
// (another game's record is never lowered) or the run is a demo (--autoplay), which
// keeps its score to itself; Failed (said once on standard error) when it could not be
// kept or the stored record has become unreadable.
RecordSave SaveRecord(std::int32_t value);

enum class MusicCommand { Stop, Open, Play, Replay, Close };
// Drives the music track: Open loads `path` (replacing what was open), Play starts it
// from the beginning, Replay reopens the last opened path and plays it, Stop and Close
// end it. Only a track that plays to its end posts MCIWNDM_NOTIFYMODE / MCI_MODE_STOP.
void Music(MusicCommand command, const char* path = nullptr);

// One line on standard error ("tonkalo: " and the text), the same text at most once a
// run and never in the trace: for what the player must hear of without a box (a record
// that cannot be kept), or of what a box does not name (the file behind it).
void SayOnce(const std::string& text);

// The 0-based pass of the frame loop (start-up counts as pass 0).
long long CurrentPass();
// One line of the event trace (--trace), the same on every backend:
// {"pass":P,"tick":T,"event":NAME, ...fields}, written when destroyed.
// Usage: platform::TraceEvent("hit").Int("row", r).Int("col", c);
class TraceEvent {
 public:
  explicit TraceEvent(const char* name);
  ~TraceEvent();
  TraceEvent(const TraceEvent&) = delete;
  TraceEvent& operator=(const TraceEvent&) = delete;
  TraceEvent& Int(const char* key, long long value);
  TraceEvent& Num(const char* key, double value);
  TraceEvent& Str(const char* key, const std::string& value);
  TraceEvent& Bool(const char* key, bool value);
  TraceEvent& Ints(const char* key, const int* values, int count);

 private:
  TraceEvent& Field(const char* key, const std::string& json);
  std::string line_;
  bool on_;
};

}  // namespace platform
