// The command line: what it may choose and how it is read (see HACKING.md for the
// rooms of the platform and how to add an option).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/files/files.h"
#include "platform/files/replay.h"

namespace platform {

// What the command line chose; parsed once by ParseOptions.
struct Options {
  bool headless = false;
  bool help = false;
  bool version = false;        // print the version and exit
  bool verbose = false;        // one line per start-up decision on standard error
  double tickMs = 15.625;      // system tick that Sleep rounds up to
  int scale = 0;               // 0: the largest whole factor that fits the desktop
  bool fullscreen = false;
  bool sound = true;             // false: no audio device is opened at all
  bool music = true;             // false: the music starts muted (M switches it on)
  int volume = 100;              // 0 to 100, for effects and music alike
  bool pauseOnFocusLoss = true;  // the window losing focus pauses the game
  std::uint32_t startTick = 0; // headless clock at start-up
  long long frames = -1;       // -1: run until the window is closed
  std::string scriptFile;      // --script: the input replaces the mouse
  std::vector<ScriptCommand> script;  // its commands in pass order, read while parsing
  std::string trace;           // JSON-lines event trace
  std::string saveReplay;      // --record: where the replay of this run goes
  std::string replay;          // --replay: the recorded run to play back
  ReplayFile replayed;         // and what it holds, read while parsing
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

// Parses argv; on a bad option writes one line to `error` and returns false. "--" ends
// the options. A successful parse also switches Verbose on or off.
bool ParseOptions(int argc, char** argv, Options& out, std::string& error);
// The text that --help prints.
std::string UsageText();
// The manual page's option list in roff, from the same table as --help.
std::string ManualOptions();
// With --verbose, one line on standard error ("tonkalo: " and the formatted text);
// otherwise nothing.
void Verbose(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace platform
