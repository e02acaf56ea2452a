// The command line. Every option is one row of kOptions below: its name, the name of its
// value, the range a number must fall in, its help and its group. The parser, --help and
// the manual page's option list (tools/manual_page.cpp) are all made from the rows, so
// adding an option is one row plus the code that uses the value.
//
// An option takes its value as the next argument or after an equals sign (--tick 1,
// --tick=1); "--" ends the options. Anything unknown or out of range is one clear line
// for the user, and main exits with status 2.
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "platform/cli/options.h"
#include "platform/cli/usage_notes.h"
#include "platform/files/replay.h"

namespace platform {

namespace {

enum class Group { Playing, Testing };

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

struct OptionRow {
  const char* name;
  const char* alias;  // a short spelling, or null
  const char* value;  // the value's name in the help; null for a flag
  Kind kind;
  double low, high;   // the range of a number, both ends allowed
  const char* unit;   // of a number ("ms"), or null
  Group group;
  const char* help;   // plain words, no full stop; the range is added after it
  const char* byDefault;  // what holds without the option, or null
  // Stores the value; false with the whole message in `error` when it is not one.
  bool (*set)(Options& options, const Value& value, std::string& error);
};

bool EndsWithNoCase(const std::string& s, const std::string& tail) {
  if (s.size() < tail.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i) {
    char c = s[s.size() - tail.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != tail[i]) return false;
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
  if (!EndsWithNoCase(file, ".bmp") && !EndsWithNoCase(file, ".png")) {
    error = "--shot file must end in .bmp or .png, not '" + file + "'";
    return false;
  }
  o.shots.push_back({pass, file});
  return true;
}

// The script is read here, once: a bad one stops start-up before anything else.
bool SetScript(Options& o, const Value& v, std::string& error) {
  if (!ReadScript(v.text, o.script, error)) return false;
  o.scriptFile = v.text;
  return true;
}

bool SetReplay(Options& o, const Value& v, std::string& error) {
  if (!ReadReplay(v.text, o.replayed, error)) return false;
  o.replay = v.text;
  return true;
}

// One row per option, in the order --help lists them.
const OptionRow kOptions[] = {
    {"--scale", nullptr, "N", Kind::Whole, 1, 16, nullptr, Group::Playing,
     "the window's size, N times 640 x 480", "the largest that fits the screen",
     [](Options& o, const Value& v, std::string&) {
       o.scale = static_cast<int>(v.whole);
       return true;
     }},
    {"--fullscreen", nullptr, nullptr, Kind::Flag, 0, 0, nullptr, Group::Playing,
     "start in fullscreen, the picture letterboxed to 4:3", nullptr,
     [](Options& o, const Value&, std::string&) { o.fullscreen = true; return true; }},
    {"--volume", nullptr, "V", Kind::Whole, 0, 100, nullptr, Group::Playing,
     "loudness of effects and music", "100",
     [](Options& o, const Value& v, std::string&) {
       o.volume = static_cast<int>(v.whole);
       return true;
     }},
    {"--no-music", nullptr, nullptr, Kind::Flag, 0, 0, nullptr, Group::Playing,
     "start with the music off (M switches it on)", nullptr,
     [](Options& o, const Value&, std::string&) { o.music = false; return true; }},
    {"--no-sound", nullptr, nullptr, Kind::Flag, 0, 0, nullptr, Group::Playing,
     "play in silence, neither effects nor music: the sound card is left alone", nullptr,
     [](Options& o, const Value&, std::string&) { o.sound = false; return true; }},
    {"--no-pause-on-focus-loss", nullptr, nullptr, Kind::Flag, 0, 0, nullptr, Group::Playing,
     "keep playing when another window takes the keyboard", nullptr,
     [](Options& o, const Value&, std::string&) { o.pauseOnFocusLoss = false; return true; }},
    {"--data-dir", nullptr, "DIR", Kind::Text, 0, 0, nullptr, Group::Playing,
     "play with the pictures, sounds and music in DIR (its BMP, WAV and MP3 folders) and "
     "keep the high score there",
     "the working folder when it holds the game's pictures, else the installed ones",
     [](Options& o, const Value& v, std::string&) { o.dataDir = v.text; return true; }},
    {"--record", nullptr, "FILE", Kind::Text, 0, 0, nullptr, Group::Playing,
     "save a replay of this game in FILE", nullptr,
     [](Options& o, const Value& v, std::string&) { o.saveReplay = v.text; return true; }},
    {"--replay", nullptr, "FILE", Kind::Text, 0, 0, nullptr, Group::Playing,
     "play back a game saved with --record: at its pace in the window, or with --headless "
     "and --trace its events again; the high score is left alone", nullptr, SetReplay},
    {"--verbose", nullptr, nullptr, Kind::Flag, 0, 0, nullptr, Group::Playing,
     "say on standard error what start-up chose: the data folder, the high score's file, "
     "the video and sound drivers", nullptr,
     [](Options& o, const Value&, std::string&) { o.verbose = true; return true; }},
    {"--version", nullptr, nullptr, Kind::Flag, 0, 0, nullptr, Group::Playing,
     "print the version and exit", nullptr,
     [](Options& o, const Value&, std::string&) { o.version = true; return true; }},
    {"--help", "-h", nullptr, Kind::Flag, 0, 0, nullptr, Group::Playing,
     "list the options and keys, and exit", nullptr,
     [](Options& o, const Value&, std::string&) { o.help = true; return true; }},

    {"--headless", nullptr, nullptr, Kind::Flag, 0, 0, nullptr, Group::Testing,
     "run without a window or sound, on a clock of its own that waits for nothing",
     nullptr, [](Options& o, const Value&, std::string&) { o.headless = true; return true; }},
    {"--tick", nullptr, "MS", Kind::Decimal, 0.1, 1000, "ms", Group::Testing,
     "the step of the system clock; each pass of the game waits for the next step",
     "15.625 ms, 64 passes a second",
     [](Options& o, const Value& v, std::string&) { o.tickMs = v.number; return true; }},
    {"--start-tick", nullptr, "T", Kind::Whole, 0, 4294967295.0, nullptr, Group::Testing,
     "the headless clock's reading at start-up, in ms", "0",
     [](Options& o, const Value& v, std::string&) {
       o.startTick = static_cast<std::uint32_t>(v.whole);
       return true;
     }},
    {"--frames", nullptr, "N", Kind::Whole, 0, kManyPasses, "passes", Group::Testing,
     "end after N passes of the game, as if the window were closed", nullptr,
     [](Options& o, const Value& v, std::string&) { o.frames = v.whole; return true; }},
    {"--script", nullptr, "FILE", Kind::Text, 0, 0, nullptr, Group::Testing,
     "take the input from FILE instead of the mouse, one command a line: 'P move X Y', "
     "'P down', 'P up' or 'P close', where P counts the passes from 0 and '#' starts a "
     "comment",
     nullptr, SetScript},
    {"--trace", nullptr, "FILE", Kind::Text, 0, 0, nullptr, Group::Testing,
     "write every game event to FILE, one JSON object a line", nullptr,
     [](Options& o, const Value& v, std::string&) { o.trace = v.text; return true; }},
    {"--shot", nullptr, "P:FILE", Kind::Text, 0, 0, nullptr, Group::Testing,
     "save the picture shown after pass P as a .bmp or .png file (may be given again)",
     nullptr, SetShot},
    {"--timedemo", nullptr, nullptr, Kind::Flag, 0, 0, nullptr, Group::Testing,
     "at exit, print how many passes ran a second and the processor time each took",
     nullptr, [](Options& o, const Value&, std::string&) { o.timedemo = true; return true; }},
    {"--autoplay", nullptr, nullptr, Kind::Flag, 0, 0, nullptr, Group::Testing,
     "let the built-in player play, game after game (a demo)", nullptr,
     [](Options& o, const Value&, std::string&) { o.autoplay = true; return true; }},
};

// A number as a person writes it: 16, 0.1, 4294967295.
std::string Plain(double x) {
  char text[32];
  if (x == static_cast<double>(static_cast<long long>(x))) {
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(x));
  } else {
    std::snprintf(text, sizeof text, "%g", x);
  }
  return text;
}

// "1 to 16", "0.1 to 1000 ms": empty for an option without a number or without a limit.
std::string RangeText(const OptionRow& row) {
  if ((row.kind != Kind::Whole && row.kind != Kind::Decimal) || row.high == kManyPasses) return "";
  const std::string range = Plain(row.low) + " to " + Plain(row.high);
  return row.unit ? range + " " + row.unit : range;
}

// The row's help in one sentence, its range and default after it.
std::string Sentence(const OptionRow& row) {
  std::string text = row.help;
  if (const std::string range = RangeText(row); !range.empty()) text += ", " + range;
  if (row.byDefault) text += std::string(" (default: ") + row.byDefault + ")";
  return text;
}

// "-h, --help", "--scale N".
std::string Spelling(const OptionRow& row) {
  std::string text = row.alias ? std::string(row.alias) + ", " + row.name : row.name;
  return row.value ? text + " " + row.value : text;
}

// Checks the text of a number against the row: plain decimal, inside the range.
bool ReadNumber(const OptionRow& row, Value& v, std::string& error) {
  bool ok = false;
  if (row.kind == Kind::Whole) {
    ok = ParseWholeNumber(v.text, static_cast<long long>(row.low), static_cast<long long>(row.high),
                          v.whole);
  } else {
    // Digits with at most one point among them; strtod would also take hex, spaces,
    // exponents and "inf".
    const std::string& t = v.text;
    const size_t point = t.find('.');
    const size_t digits = t.find_first_not_of("0123456789.");
    ok = !t.empty() && digits == std::string::npos && t.find('.', point + 1) == std::string::npos &&
         t != ".";
    if (ok) {
      v.number = std::strtod(t.c_str(), nullptr);
      ok = v.number >= row.low && v.number <= row.high;
    }
  }
  if (ok) return true;
  const std::string what = row.kind == Kind::Whole ? "a whole number" : "a number";
  const std::string unit = row.unit ? std::string(" of ") + row.unit : "";
  const std::string range = row.high == kManyPasses
                                ? ", " + Plain(row.low) + " or more"
                                : " from " + Plain(row.low) + " to " + Plain(row.high);
  error = std::string(row.name) + " wants " + what + unit + range + ", not '" + v.text + "'";
  return false;
}

// Lines of at most `width` characters, broken between words.
std::vector<std::string> Wrapped(const std::string& text, size_t width) {
  std::vector<std::string> lines(1);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    if (!lines.back().empty() && lines.back().size() + 1 + word.size() > width) {
      lines.emplace_back();
    }
    if (!lines.back().empty()) lines.back() += ' ';
    lines.back() += word;
    start = end + 1;
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
  for (const Group group : {Group::Playing, Group::Testing}) {
    text += group == Group::Playing ? "\nPlaying:\n" : "\nTesting:\n";
    for (const OptionRow& row : kOptions) {
      if (row.group != group) continue;
      const std::string spelling = "  " + Spelling(row);
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
  for (const Group group : {Group::Playing, Group::Testing}) {
    text += group == Group::Playing ? ".SS For playing\n" : ".SS For testing\n";
    for (const OptionRow& row : kOptions) {
      if (row.group != group) continue;
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
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--" && !optionsEnded) {
      optionsEnded = true;
      continue;
    }
    const size_t equals = arg.find('=');
    const bool hasInlineValue = arg.rfind("--", 0) == 0 && equals != std::string::npos;
    const std::string name = hasInlineValue ? arg.substr(0, equals) : arg;
    const OptionRow* row = nullptr;
    for (const OptionRow& candidate : kOptions) {
      if (name == candidate.name || (candidate.alias && name == candidate.alias)) row = &candidate;
    }
    if (optionsEnded || !row) {
      const bool looksLikeOption = !optionsEnded && arg.rfind("-", 0) == 0;
      // One file alone is a replay, as a file manager's "open with" passes it.
      if (!looksLikeOption && options.replay.empty()) {
        if (!SetReplay(options, Value{arg}, error)) return false;
        continue;
      }
      error = (looksLikeOption ? "unknown option '" : "unexpected argument '") + arg +
              "' (see --help)";
      return false;
    }
    Value value;
    if (row->kind == Kind::Flag && hasInlineValue) {
      error = "option " + name + " takes no value";
      return false;
    }
    if (row->kind != Kind::Flag) {
      if (!hasInlineValue && i + 1 >= argc) {
        error = "option " + name + " needs a value (see --help)";
        return false;
      }
      value.text = hasInlineValue ? arg.substr(equals + 1) : argv[++i];
    }
    const std::string what = row->value ? row->value : "";
    if (value.text.empty() && (what == "FILE" || what == "DIR")) {
      error = name + " wants a " + (what == "DIR" ? "folder" : "file") + " name";
      return false;
    }
    const bool number = row->kind == Kind::Whole || row->kind == Kind::Decimal;
    if (number && !ReadNumber(*row, value, error)) return false;
    if (!row->set(options, value, error)) return false;
    // Asked for help or the version, the rest of the line does not matter.
    if (options.help || options.version) {
      out = std::move(options);
      return true;
    }
  }
  if (options.autoplay && !options.scriptFile.empty()) {
    error = "--autoplay and --script both drive the input; choose one";
    return false;
  }
  if (!options.replay.empty() &&
      (options.autoplay || !options.scriptFile.empty() || !options.saveReplay.empty())) {
    error = "--replay drives the input itself; it takes no --script, --autoplay or --record";
    return false;
  }
  out = std::move(options);
  verboseOn = out.verbose;
  return true;
}

}  // namespace platform
