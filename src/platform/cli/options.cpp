// The command line. Every option takes its value either as the next argument or after
// an equals sign (--tick 1, --tick=1); anything unknown or out of range is one clear
// line for the user, and main exits with status 2.
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/cli/options.h"
#include "platform/files/files.h"
#include "platform/files/replay.h"

namespace platform {

namespace {

bool EndsWithNoCase(const std::string& s, const std::string& tail) {
  if (s.size() < tail.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i) {
    char c = s[s.size() - tail.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != tail[i]) return false;
  }
  return true;
}

bool ParseInteger(const std::string& text, long long low, long long high, long long& out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < low || value > high) return false;
  out = value;
  return true;
}

// From a tenth of a millisecond to a second: with a much shorter tick the count of
// tick boundaries in the pacing arithmetic overflows, and the loop never wakes.
bool ParseTick(const std::string& text, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !(value >= 0.1 && value <= 1000.0)) return false;
  out = value;
  return true;
}

// Set by the command line, so that start-up decisions made before Init are told too.
bool verboseOn = false;

}  // namespace

std::string UsageText() {
  return "Usage: tonkalo [options]\n"
         "\n"
         "Tonkalo, the whack-a-token game. With no options it opens its window and plays.\n"
         "\n"
         "Playing:\n"
         "  --scale N          window scale factor, 1 to 16 (default: the largest that\n"
         "                     fits the desktop)\n"
         "  --fullscreen       start in fullscreen, letterboxed\n"
         "  --volume V         loudness of effects and music, 0 to 100 (default 100)\n"
         "  --no-music         start with the music off (M switches it on)\n"
         "  --no-sound         play silently: no audio device is opened\n"
         "  --no-pause-on-focus-loss\n"
         "                     keep playing when the window loses the focus\n"
         "  --data-dir DIR     folder holding BMP/, WAV/ and MP3/ (default: the working\n"
         "                     folder when it holds BMP/, else the installed data)\n"
         "  --present PATH     how the window shows frames: auto (default: the GPU where\n"
         "                     there is one, else the window surface), gpu or surface\n"
         "  --record FILE      save a replay of this game in FILE\n"
         "  --replay FILE      play back a game saved with --record (at its pace in the\n"
         "                     window; with --headless and --trace, its events again);\n"
         "                     the record is left alone\n"
         "  --verbose          say on standard error what start-up decided\n"
         "  --version          print the version and exit\n"
         "  -h, --help         show this text and exit\n"
         "\n"
         "Testing:\n"
         "  --headless         run without a window or audio: virtual clock, scripted\n"
         "                     input, recorded output\n"
         "  --tick MS          system tick that each frame sleeps to, 0.1 to 1000 ms\n"
         "                     (default 15.625, 64 frames a second; 1 gives the\n"
         "                     fast-timer pace)\n"
         "  --start-tick T     headless clock reading at start-up, 0 to 4294967295\n"
         "                     (default 0)\n"
         "  --frames N         close the window after N passes of the frame loop\n"
         "  --script FILE      input script, one command a line: 'P move X Y', 'P down',\n"
         "                     'P up', 'P close' (P: 0-based pass; '#' starts a comment);\n"
         "                     replaces the real mouse\n"
         "  --trace FILE       write every game event as one JSON object a line\n"
         "  --shot P:FILE      save the frame presented in pass P as a .bmp or .png file\n"
         "                     (repeatable)\n"
         "  --timedemo         print passes a second and CPU time a pass at exit\n"
         "  --autoplay         let the built-in player play (a demo)\n"
         "\n"
         "Keys in the window:\n"
         "  P, Space           pause; P, Space or a click goes on\n"
         "  M                  music on or off\n"
         "  S                  sound effects on or off\n"
         "  F11, Alt+Enter     fullscreen on or off\n"
         "  Escape, Ctrl+Q     quit\n";
}

void Verbose(const char* format, ...) {
  if (!verboseOn) return;
  std::va_list args;
  va_start(args, format);
  std::fputs("tonkalo: ", stderr);
  std::vfprintf(stderr, format, args);
  std::fputc('\n', stderr);
  va_end(args);
}

bool ParseOptions(int argc, char** argv, Options& out, std::string& error) {
  Options options;
  options.keepFrames = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string name = arg;
    std::string value;
    bool hasInlineValue = false;
    size_t equals = arg.find('=');
    if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
      hasInlineValue = true;
    }

    if (name == "-h") name = "--help";
    const bool isFlag = name == "--headless" || name == "--fullscreen" || name == "--help" ||
                        name == "--verbose" || name == "--version" || name == "--timedemo" ||
                        name == "--no-sound" || name == "--no-music" ||
                        name == "--no-pause-on-focus-loss" || name == "--autoplay";
    const bool takesValue = name == "--tick" || name == "--scale" || name == "--volume" ||
                            name == "--start-tick" || name == "--frames" ||
                            name == "--script" || name == "--trace" || name == "--shot" ||
                            name == "--data-dir" || name == "--present" ||
                            name == "--record" || name == "--replay";
    if (!isFlag && !takesValue) {
      if (arg.rfind("-", 0) == 0) {
        error = "unknown option '" + arg + "' (see --help)";
      } else {
        error = "unexpected argument '" + arg + "' (see --help)";
      }
      return false;
    }
    if (isFlag && hasInlineValue) {
      error = "option " + name + " takes no value";
      return false;
    }
    if (takesValue && !hasInlineValue) {
      if (i + 1 >= argc) {
        error = "option " + name + " needs a value (see --help)";
        return false;
      }
      value = argv[++i];
    }

    long long number = 0;
    if (name == "--headless") {
      options.headless = true;
    } else if (name == "--verbose") {
      options.verbose = true;
    } else if (name == "--timedemo") {
      options.timedemo = true;
    } else if (name == "--autoplay") {
      options.autoplay = true;
    } else if (name == "--fullscreen") {
      options.fullscreen = true;
    } else if (name == "--no-sound") {
      options.sound = false;
    } else if (name == "--no-music") {
      options.music = false;
    } else if (name == "--no-pause-on-focus-loss") {
      options.pauseOnFocusLoss = false;
    } else if (name == "--volume") {
      if (!ParseInteger(value, 0, 100, number)) {
        error = "--volume wants a whole number from 0 to 100, not '" + value + "'";
        return false;
      }
      options.volume = static_cast<int>(number);
    } else if (name == "--help" || name == "--version") {
      (name == "--help" ? options.help : options.version) = true;
      out = options;
      return true;
    } else if (name == "--tick") {
      if (!ParseTick(value, options.tickMs)) {
        error = "--tick wants a number of ms from 0.1 to 1000, not '" + value + "'";
        return false;
      }
    } else if (name == "--scale") {
      if (!ParseInteger(value, 1, 16, number)) {
        error = "--scale wants a whole number from 1 to 16, not '" + value + "'";
        return false;
      }
      options.scale = static_cast<int>(number);
    } else if (name == "--start-tick") {
      if (!ParseInteger(value, 0, 4294967295LL, number)) {
        error = "--start-tick wants a whole number from 0 to 4294967295, not '" + value + "'";
        return false;
      }
      options.startTick = static_cast<std::uint32_t>(number);
    } else if (name == "--frames") {
      if (!ParseInteger(value, 0, (1LL << 53), number)) {
        error = "--frames wants a whole number of passes, 0 or more, not '" + value + "'";
        return false;
      }
      options.frames = number;
    } else if (name == "--script") {
      if (value.empty()) {
        error = "--script wants a file name";
        return false;
      }
      std::vector<ScriptCommand> commands;
      if (!ReadScript(value, commands, error)) return false;
      options.script = value;
    } else if (name == "--trace") {
      if (value.empty()) {
        error = "--trace wants a file name";
        return false;
      }
      options.trace = value;
    } else if (name == "--record") {
      if (value.empty()) {
        error = "--record wants a file name";
        return false;
      }
      options.saveReplay = value;
    } else if (name == "--replay") {
      if (value.empty()) {
        error = "--replay wants a file name";
        return false;
      }
      ReplayFile replay;
      if (!ReadReplay(value, replay, error)) return false;
      options.replay = value;
    } else if (name == "--shot") {
      size_t colon = value.find(':');
      long long pass = 0;
      if (colon == std::string::npos || !ParseInteger(value.substr(0, colon), 0, (1LL << 53), pass)) {
        error = "--shot wants PASS:FILE with a pass of 0 or more, not '" + value + "'";
        return false;
      }
      std::string file = value.substr(colon + 1);
      if (!EndsWithNoCase(file, ".bmp") && !EndsWithNoCase(file, ".png")) {
        error = "--shot file must end in .bmp or .png, not '" + file + "'";
        return false;
      }
      options.shots.push_back({pass, file});
    } else if (name == "--present") {
      if (value == "auto") {
        options.present = PresentMode::Auto;
      } else if (value == "gpu") {
        options.present = PresentMode::Gpu;
      } else if (value == "surface") {
        options.present = PresentMode::Surface;
      } else {
        error = "--present wants auto, gpu or surface, not '" + value + "'";
        return false;
      }
    } else if (name == "--data-dir") {
      if (value.empty()) {
        error = "--data-dir wants a folder name";
        return false;
      }
      options.dataDir = value;
    }
  }
  if (options.autoplay && !options.script.empty()) {
    error = "--autoplay and --script both drive the input; choose one";
    return false;
  }
  if (!options.replay.empty() && (options.autoplay || !options.script.empty())) {
    error = "--replay drives the input itself; it takes no --script or --autoplay";
    return false;
  }
  out = options;
  verboseOn = options.verbose;
  return true;
}

}  // namespace platform
