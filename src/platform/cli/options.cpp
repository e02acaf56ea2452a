// The command line. Every option is one row of kOptions below: its name, the name of its
// value, the range a number must fall in, its help and its group. The parser, --help and
// the manual page's option list (tools/manual_page.cpp) are all made from the rows, so
// adding an option is one row plus the code that uses the value.
//
// An option takes its value as the next argument or after an equals sign (--tick 1,
// --tick=1); "--" ends the options. Anything unknown or out of range is one clear line
// for the user, and main exits with status 2.
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/cli/options.h"
#include "platform/cli/usage_notes.h"
#include "platform/files/replay.h"

namespace platform {

namespace {

// What an option's value is: none, a whole number or a decimal number in the row's
// range, or text (a FILE or DIR may not be empty; the row's setter checks the rest).
enum class Kind { Flag, Whole, Decimal, Text };

// The largest pass count: beyond it a double no longer tells passes apart.
constexpr double kManyPasses = 9007199254740992.0;

struct Value {
  std::string text;
  long long whole = 0;
  double number = 0.0;
};
using Setter = bool (*)(Options& options, const Value& value, std::string& error);

struct OptionRow {
  const char* name;
  const char* alias;  // a short spelling, or null
  const char* value;  // the value's name in the help; null for a flag
  Kind kind;
  double low, high;   // the range of a number, both ends allowed
  const char* unit;   // of a number ("ms"), or null
  bool testing;       // listed under Testing, else Playing
  const char* help;   // plain words, no full stop; the range is added after it
  const char* byDefault;  // what holds without the option, or null
  Setter set;  // false with the whole message in `error` when the value is not one
};

// Stores the value in `Member` as its type takes it: a flag turns it from its default.
template <auto Member>
bool Store(Options& o, const Value& v, std::string&) {
  auto& field = o.*Member;
  using Field = std::remove_reference_t<decltype(field)>;
  if constexpr (std::is_same_v<Field, bool>) {
    field = !(Options().*Member);
  } else if constexpr (std::is_same_v<Field, std::string>) {
    field = v.text;
  } else if constexpr (std::is_same_v<Field, double>) {
    field = v.number;
  } else {
    field = static_cast<Field>(v.whole);
  }
  return true;
}

bool SetShot(Options& o, const Value& v, std::string& error) {
  const size_t colon = v.text.find(':');
  long long pass = 0;
  if (colon == std::string::npos ||
      !ParseWholeNumber(v.text.substr(0, colon), 0, static_cast<long long>(kManyPasses), pass)) {
    error = "--shot wants PASS:FILE with a pass of 0 or more, not '" + v.text + "'";
    return false;
  }
  const std::string file = v.text.substr(colon + 1);
  const char* tail = file.c_str() + file.size() - std::min<size_t>(file.size(), 4);
  if (strcasecmp(tail, ".bmp") != 0 && strcasecmp(tail, ".png") != 0) {
    error = "--shot file must end in .bmp or .png, not '" + file + "'";
    return false;
  }
  o.shots.push_back({pass, file});
  return true;
}

// The script and the replay are read here, once: a bad one stops start-up before
// anything else.
bool SetScript(Options& o, const Value& v, std::string& error) {
  o.scriptFile = v.text;
  return ReadScript(v.text, o.script, error);
}

bool SetReplay(Options& o, const Value& v, std::string& error) {
  o.replay = v.text;
  return ReadReplay(v.text, o.replayed, error);
}

// One row per option, in the order --help lists them.
const OptionRow kOptions[] = {
    {"--scale", nullptr, "N", Kind::Whole, 1, 16, nullptr, false,
     "the window's size, N times 640 x 480", "the largest that fits the screen",
     Store<&Options::scale>},
    {"--fullscreen", nullptr, nullptr, Kind::Flag, 0, 0, nullptr, false,
     "start in fullscreen, the picture letterboxed to 4:3", nullptr, Store<&Options::fullscreen>},
    {"--volume", nullptr, "V", Kind::Whole, 0, 100, nullptr, false,
     "loudness of effects and music", "100", Store<&Options::volume>},
    {"--no-music", nullptr, nullptr, Kind::Flag, 0, 0, nullptr, false,
     "start with the music off (M switches it on)", nullptr, Store<&Options::music>},
    {"--no-sound", nullptr, nullptr, Kind::Flag, 0, 0, nullptr, false,
     "play in silence, neither effects nor music: the sound card is left alone", nullptr,
     Store<&Options::sound>},
    {"--no-pause-on-focus-loss", nullptr, nullptr, Kind::Flag, 0, 0, nullptr, false,
     "keep playing when another window takes the keyboard", nullptr,
     Store<&Options::pauseOnFocusLoss>},
    {"--data-dir", nullptr, "DIR", Kind::Text, 0, 0, nullptr, false,
     "play with the pictures, sounds and music in DIR (its BMP, WAV and MP3 folders) and "
     "keep the high score there",
     "the working folder when it holds the game's pictures, else the installed ones",
     Store<&Options::dataDir>},
    {"--record", nullptr, "FILE", Kind::Text, 0, 0, nullptr, false,
     "save a replay of this game in FILE", nullptr, Store<&Options::saveReplay>},
    {"--replay", nullptr, "FILE", Kind::Text, 0, 0, nullptr, false,
     "play back a game saved with --record: at its pace in the window, or with --headless "
     "and --trace its events again; the high score is left alone", nullptr, SetReplay},
    {"--verbose", nullptr, nullptr, Kind::Flag, 0, 0, nullptr, false,
     "say on standard error what start-up chose: the data folder, the high score's file, "
     "the video and sound drivers", nullptr, Store<&Options::verbose>},
    {"--version", nullptr, nullptr, Kind::Flag, 0, 0, nullptr, false,
     "print the version and exit", nullptr, Store<&Options::version>},
    {"--help", "-h", nullptr, Kind::Flag, 0, 0, nullptr, false,
     "list the options and keys, and exit", nullptr, Store<&Options::help>},

    {"--headless", nullptr, nullptr, Kind::Flag, 0, 0, nullptr, true,
     "run without a window or sound, on a clock of its own that waits for nothing", nullptr,
     Store<&Options::headless>},
    {"--tick", nullptr, "MS", Kind::Decimal, 0.1, 1000, "ms", true,
     "the step of the system clock; each pass of the game waits for the next step",
     "15.625 ms, 64 passes a second", Store<&Options::tickMs>},
    {"--start-tick", nullptr, "T", Kind::Whole, 0, 4294967295.0, nullptr, true,
     "the headless clock's reading at start-up, in ms", "0", Store<&Options::startTick>},
    {"--frames", nullptr, "N", Kind::Whole, 0, kManyPasses, "passes", true,
     "end after N passes of the game, as if the window were closed", nullptr,
     Store<&Options::frames>},
    {"--script", nullptr, "FILE", Kind::Text, 0, 0, nullptr, true,
     "take the input from FILE instead of the mouse, one command a line: 'P move X Y', "
     "'P down', 'P up' or 'P close', where P counts the passes from 0 and '#' starts a "
     "comment",
     nullptr, SetScript},
    {"--trace", nullptr, "FILE", Kind::Text, 0, 0, nullptr, true,
     "write every game event to FILE, one JSON object a line", nullptr, Store<&Options::trace>},
    {"--shot", nullptr, "P:FILE", Kind::Text, 0, 0, nullptr, true,
     "save the picture shown after pass P as a .bmp or .png file (may be given again)",
     nullptr, SetShot},
    {"--timedemo", nullptr, nullptr, Kind::Flag, 0, 0, nullptr, true,
     "at exit, print how many passes ran a second and the processor time each took",
     nullptr, Store<&Options::timedemo>},
    {"--autoplay", nullptr, nullptr, Kind::Flag, 0, 0, nullptr, true,
     "let the built-in player play, game after game (a demo)", nullptr,
     Store<&Options::autoplay>},
};

// A number as a person writes it: 16, 0.1, 4294967295.
std::string Plain(double x) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", x);
  return text;
}

// The row's help in one sentence, its range ("1 to 16", "0.1 to 1000 ms") and default
// after it.
std::string Sentence(const OptionRow& row) {
  std::string text = row.help;
  if ((row.kind == Kind::Whole || row.kind == Kind::Decimal) && row.high != kManyPasses) {
    text += ", " + Plain(row.low) + " to " + Plain(row.high) + (row.unit ? std::string(" ") + row.unit : "");
  }
  if (row.byDefault) text += std::string(" (default: ") + row.byDefault + ")";
  return text;
}

// Checks the text of a number against the row: plain decimal, inside the range.
bool ReadNumber(const OptionRow& row, Value& v, std::string& error) {
  const std::string& t = v.text;
  bool ok = false;
  if (row.kind == Kind::Whole) {
    ok = ParseWholeNumber(t, static_cast<long long>(row.low), static_cast<long long>(row.high), v.whole);
  } else if (t.find_first_not_of("0123456789.") == std::string::npos && t != "." &&
             std::count(t.begin(), t.end(), '.') <= 1) {
    // Only digits and one point: strtod would also take hex, spaces, exponents and "inf".
    v.number = std::strtod(t.c_str(), nullptr);
    ok = !t.empty() && v.number >= row.low && v.number <= row.high;
  }
  if (ok) return true;
  error = std::string(row.name) + " wants " + (row.kind == Kind::Whole ? "a whole number" : "a number") +
          (row.unit ? std::string(" of ") + row.unit : "") +
          (row.high == kManyPasses ? ", " + Plain(row.low) + " or more"
                                   : " from " + Plain(row.low) + " to " + Plain(row.high)) +
          ", not '" + t + "'";
  return false;
}

// Lines of at most `width` characters, broken between words.
std::vector<std::string> Wrapped(const std::string& text, size_t width) {
  std::vector<std::string> lines(1);
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    if (!lines.back().empty() && lines.back().size() + 1 + word.size() > width) lines.emplace_back();
    lines.back() += (lines.back().empty() ? "" : " ") + word;
  }
  return lines;
}

// Set by the command line, so that start-up decisions made before Init are told too.
bool verboseOn = false;

}  // namespace

std::string UsageText() {
  std::string text =
      "Usage: tonkalo [options] [REPLAY]\n"
      "\n"
      "Tonkalo, the whack-a-token game. With no options it opens its window and plays;\n"
      "given a REPLAY file (saved with --record) it plays that back, as --replay does.\n"
      "\n"
      "How to play: click the title to start. After a count of three, tokens rise from\n"
      "the holes for 60 seconds: hit them with the mallet before they sink. Coins score,\n"
      "the purple clock takes 30 seconds away and the orange one gives 30 more, ten gold\n"
      "star coins give 20 seconds, and ten misses end the game at once.\n";
  for (const bool testing : {false, true}) {
    text += testing ? "\nTesting:\n" : "\nPlaying:\n";
    for (const OptionRow& row : kOptions) {
      if (row.testing != testing) continue;
      std::string spelling = "  " + (row.alias ? std::string(row.alias) + ", " : "") + row.name;
      if (row.value) spelling += std::string(" ") + row.value;
      const std::vector<std::string> lines = Wrapped(Sentence(row), 58);
      constexpr size_t kColumn = 21;
      text += spelling.size() + 1 < kColumn ? spelling + std::string(kColumn - spelling.size(), ' ')
                                            : spelling + "\n" + std::string(kColumn, ' ');
      for (size_t i = 0; i < lines.size(); ++i) {
        text += (i ? std::string(kColumn, ' ') : "") + lines[i] + "\n";
      }
    }
  }
  text +=
      "\n"
      "An option's value may follow it or an equals sign (--scale 2, --scale=2); \"--\"\n"
      "ends the options.\n";
  for (const NoteTopic topic : {NoteTopic::Keys, NoteTopic::Files, NoteTopic::ExitStatus}) {
    text += "\n" + HelpNotes(topic);
  }
  return text;
}

std::string ManualOptions() {
  std::string text;
  for (const bool testing : {false, true}) {
    text += testing ? ".SS For testing\n" : ".SS For playing\n";
    for (const OptionRow& row : kOptions) {
      if (row.testing != testing) continue;
      text += ".TP\n";
      if (row.alias) text += "\\fB" + Roff(row.alias) + "\\fR, ";
      text += "\\fB" + Roff(row.name) + "\\fR";
      if (row.value) text += " \\fI" + Roff(row.value) + "\\fR";
      std::string sentence = Sentence(row);
      sentence[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(sentence[0])));
      text += "\n" + Roff(sentence) + ".\n";
    }
  }
  return text;
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
  bool ended = false;
  error.clear();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--" && !ended) {
      ended = true;
      continue;
    }
    const size_t equals = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
    const std::string name = arg.substr(0, equals);
    const OptionRow* row = nullptr;
    for (const OptionRow& r : kOptions) {
      if (!ended && (name == r.name || (r.alias && name == r.alias))) row = &r;
    }
    // One file alone is a replay, as a file manager's "open with" passes it.
    if (!row && (ended || arg[0] != '-') && options.replay.empty()) {
      if (!SetReplay(options, Value{arg}, error)) return false;
      continue;
    }
    const std::string what = row && row->value ? row->value : "";
    Value value;
    if (!row) {
      error = (!ended && arg[0] == '-' ? "unknown option '" : "unexpected argument '") + arg +
              "' (see --help)";
    } else if (row->kind == Kind::Flag && equals != std::string::npos) {
      error = "option " + name + " takes no value";
    } else if (row->kind != Kind::Flag && equals == std::string::npos && i + 1 >= argc) {
      error = "option " + name + " needs a value (see --help)";
    } else if (row->kind != Kind::Flag) {
      value.text = equals != std::string::npos ? arg.substr(equals + 1) : argv[++i];
    }
    if (error.empty() && value.text.empty() && (what == "FILE" || what == "DIR")) {
      error = name + " wants a " + (what == "DIR" ? "folder" : "file") + " name";
    }
    const bool number = row && (row->kind == Kind::Whole || row->kind == Kind::Decimal);
    if (!error.empty() || (number && !ReadNumber(*row, value, error)) ||
        !row->set(options, value, error)) {
      return false;
    }
    // Asked for help or the version, the rest of the line does not matter.
    if (options.help || options.version) break;
  }
  const bool asked = options.help || options.version;
  if (!asked && options.autoplay && !options.scriptFile.empty()) {
    error = "--autoplay and --script both drive the input; choose one";
  } else if (!asked && !options.replay.empty() &&
             (options.autoplay || !options.scriptFile.empty() || !options.saveReplay.empty())) {
    error = "--replay drives the input itself; it takes no --script, --autoplay or --record";
  }
  if (!error.empty()) return false;
  out = std::move(options);
  verboseOn = out.verbose;
  return true;
}

}  // namespace platform
