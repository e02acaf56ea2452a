// Folder platform/: the machine under the game (raster layer, BMP decoder, clock, input,
// message box, sound and music devices, backends). The bottom layer: it includes nothing
// of the game; only this folder knows SDL.
// The one door from the game to the machine. Two backends implement it: sdl/ (a real
// window, mouse and audio) and headless/ (a virtual clock, scripted input and recorded
// output). Everything here is called from the game thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// How the window shows frames: decided by what the machine can do, SDL's GPU renderer,
// or the window surface with the platform's own upscale.
enum class PresentMode { Auto, Gpu, Surface };

// What the command line chose; parsed once by ParseOptions.
struct Options {
  bool headless = false;
  bool help = false;
  bool version = false;        // print the version and exit
  bool verbose = false;        // one line per start-up decision on standard error
  double tickMs = 15.625;      // system tick that Sleep rounds up to
  int scale = 0;               // 0: the largest whole factor that fits the desktop
  bool fullscreen = false;
  PresentMode present = PresentMode::Auto;
  bool sound = true;             // false: no audio device is opened at all
  bool music = true;             // false: the music starts muted (M switches it on)
  int volume = 100;              // 0 to 100, for effects and music alike
  bool pauseOnFocusLoss = true;  // the window losing focus pauses the game
  std::uint32_t startTick = 0; // headless clock at start-up
  long long frames = -1;       // -1: run until the window is closed
  std::string script;          // headless input script
  std::string trace;           // JSON-lines event trace
  struct Shot { long long pass; std::string file; };
  std::vector<Shot> shots;
  std::string dataDir;         // made the working directory before anything loads
  bool autoplay = false;       // the built-in player drives the virtual input
  std::string recordFile = "highscore.dat";  // where the high score is kept
  // Keep a copy of each presented frame for headless::LastFrame (tests in-process); the
  // command line keeps one only while a --shot is still to come.
  bool keepFrames = true;
  bool timedemo = false;       // time the passes and report their pace at exit
  long long timedemoFrom = 1;  // the first pass timed (pass 0 loads everything)
};

// Parses argv; on a bad option writes one line to `error` and returns false. A
// successful parse also switches Verbose on or off.
bool ParseOptions(int argc, char** argv, Options& out, std::string& error);
// The text that --help prints.
std::string UsageText();
// With --verbose, one line on standard error ("tonkalo: " and the formatted text);
// otherwise nothing.
void Verbose(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

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

// Opens the window (or the headless session) for the chosen backend; false with a
// one-line reason when it cannot (no display, bad script file).
bool Init(const Options& options, std::string& error);
// Closes the window and audio, writes out the trace; false (each said on standard
// error) when a shot or the trace asked for could not be written.
bool Shutdown();

// Milliseconds since an arbitrary start, unsigned 32-bit, wrapping.
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
// The built-in player's hand: the virtual cursor at (x, y), the button down or up, as
// a script line does it (going down also posts WM_LBUTTONDOWN). Read instead of the
// real mouse while the input is virtual (headless, --script or --autoplay).
void SetVirtualInput(int x, int y, bool down);
// Moves the cursor display counter by +1 (show) or -1 and returns it; shown while >= 0.
int ShowCursor(bool show);
// Modal message box (never blocks headless); also one line on standard error.
void MessageBox(const char* text, const char* caption);
// A rectangle of frame pixels.
struct FrameRect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
};
// Where frame number `frame` may differ from frame number `since` (0: from nothing
// known): outside `areas` the two are the same, pixel for pixel.
struct FrameChanges {
  std::uint64_t frame = 0;
  std::uint64_t since = 0;
  std::vector<FrameRect> areas;
};
// Shows a 640 x 480 frame of 0x00RRGGBB pixels in the window; `changes` (may be null)
// lets it look only where the frame can differ from an earlier one.
void Present(const std::uint32_t* pixels, int width, int height,
             const FrameChanges* changes = nullptr);
// Plays a whole in-memory WAV image on the one effect channel, cutting off what plays
// there; null halts the channel. Traced as a `sound` event, except for a negative index,
// which only halts the channel (before the images are freed).
void PlayWave(int index, const std::uint8_t* image, std::size_t size);

// The whole of a plain file of at most `maxBytes`; false (`out` empty, the reason in
// `why` when given) when it is missing, not a plain file, larger, or cannot be read.
bool ReadWholeFile(const char* path, std::size_t maxBytes, std::vector<std::uint8_t>& out,
                   std::string* why = nullptr);

// The stored high score: four bytes, a signed little-endian 32-bit value.
enum class RecordState { Absent, Read, Unreadable };
// Reads the record into `value`; Absent (value 0) when none is kept or it holds fewer
// than four bytes; Unreadable (said once on standard error) when one is there that
// cannot be read, which the run must then leave alone.
RecordState ReadRecord(std::int32_t& value);
// Replaces the record so that a crash at any moment leaves the old or the new value;
// false (said once on standard error) when it could not be kept.
bool WriteRecord(std::int32_t value);

enum class MusicCommand { Stop, Open, Play, Replay, Close };
// Drives the music track: Open loads `path` (replacing what was open), Play starts it
// from the beginning, Replay reopens the last opened path and plays it, Stop and Close
// end it. Only a track that plays to its end posts MCIWNDM_NOTIFYMODE / MCI_MODE_STOP.
void Music(MusicCommand command, const char* path = nullptr);

// With Options::timedemo: the passes run from Options::timedemoFrom on, and the CPU
// and wall-clock time they took. Reported on standard error by Shutdown.
struct PassTiming {
  long long passes = 0;
  double cpuSeconds = 0.0;
  double wallSeconds = 0.0;
};
PassTiming TimedPasses();

// --- the event trace (--trace), the same on both backends ---
// The 0-based pass of the frame loop (start-up counts as pass 0).
long long CurrentPass();
bool Tracing();
// One trace line: {"pass":P,"tick":T,"event":NAME, ...fields}; written when destroyed.
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
  std::string line_;
  bool on_;
};

}  // namespace platform
