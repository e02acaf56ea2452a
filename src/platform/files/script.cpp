// Input scripts: "P move X Y", "P down", "P up", "P close" and the window's other
// messages (files.h), one a line; '#' starts a comment, blank lines are skipped. Anything else stops start-up with the file and line.
// The file is read whole; a folder, a pipe or a device is refused.
#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "platform/files/files.h"

namespace platform {

namespace {

// Far more than any script needs; a bigger file is taken for a mistake.
constexpr std::size_t kMaxScriptBytes = 64u << 20;

bool ToInteger(const std::string& word, long long low, long long high, long long& out) {
  if (word.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long long value = std::strtoll(word.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < low || value > high) return false;
  out = value;
  return true;
}

// The commands beyond a player's hand (see ScriptCommand); false with `error` set when
// `w` names one of them wrongly, and also when it names none (`error` then empty).
bool ParseWindowCommand(const std::vector<std::string>& w, ScriptCommand& command,
                        std::string& error) {
  const std::string& verb = w[1];
  long long a = 0;
  long long b = 0;
  if (verb == "click" || verb == "double-click" || verb == "size") {
    if (w.size() != 4 || !ToInteger(w[2], -100000, 100000, a) ||
        !ToInteger(w[3], -100000, 100000, b)) {
      error = "'" + verb + "' wants two whole numbers and nothing more";
      return false;
    }
    command.kind = verb == "click"          ? ScriptCommand::Click
                   : verb == "double-click" ? ScriptCommand::DoubleClick
                                            : ScriptCommand::Size;
  } else if (verb == "button") {
    if (w.size() != 3 || !ToInteger(w[2], 0, 1, a)) {
      error = "'button' wants 1 (down) or 0 (up) and nothing more";
      return false;
    }
    command.kind = ScriptCommand::Button;
  } else if (verb == "tick") {
    if (w.size() != 3 || !ToInteger(w[2], 0, 4294967295LL, a)) {
      error = "'tick' wants a whole number from 0 to 4294967295 and nothing more";
      return false;
    }
    command.kind = ScriptCommand::Tick;
    command.tick = static_cast<std::uint32_t>(a);
  } else if (verb == "music-end" && w.size() == 2) {
    command.kind = ScriptCommand::MusicEnd;
  } else {
    error = verb == "music-end" ? "'music-end' takes nothing after it" : "";
    return false;
  }
  command.x = static_cast<int>(a);
  command.y = static_cast<int>(b);
  return true;
}

}  // namespace

bool ParseScript(const std::string& text, const std::string& path,
                 std::vector<ScriptCommand>& out, std::string& error) {
  std::istringstream in(text);
  std::vector<ScriptCommand> commands;
  std::string line;
  int lineNumber = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    if (w.empty()) continue;

    const std::string where = path + ":" + std::to_string(lineNumber) + ": ";
    ScriptCommand command{ScriptCommand::Move, 0};
    if (!ToInteger(w[0], 0, (1LL << 53), command.pass)) {
      error = where + "a line starts with its pass, a whole number 0 or more, not '" + w[0] + "'";
      return false;
    }
    const std::string verb = w.size() > 1 ? w[1] : "";
    if (verb == "move") {
      long long x = 0;
      long long y = 0;
      if (w.size() != 4 || !ToInteger(w[2], -100000, 100000, x) ||
          !ToInteger(w[3], -100000, 100000, y)) {
        error = where + "'move' wants two whole numbers X Y and nothing more";
        return false;
      }
      command.kind = ScriptCommand::Move;
      command.x = static_cast<int>(x);
      command.y = static_cast<int>(y);
    } else if (verb == "down") {
      command.kind = ScriptCommand::Down;
    } else if (verb == "up") {
      command.kind = ScriptCommand::Up;
    } else if (verb == "close") {
      command.kind = ScriptCommand::Close;
    } else if (std::string problem; verb.empty() || !ParseWindowCommand(w, command, problem)) {
      error = where + (problem.empty() ? "unknown command '" + verb +
                                             "' (move, down, up, close, button, click, "
                                             "double-click, size, music-end or tick)"
                                       : problem);
      return false;
    }
    if (command.kind <= ScriptCommand::Close && command.kind != ScriptCommand::Move &&
        w.size() != 2) {
      error = where + "'" + verb + "' takes nothing after it";
      return false;
    }
    commands.push_back(command);
  }
  out = commands;
  return true;
}

bool ReadScript(const std::string& path, std::vector<ScriptCommand>& out, std::string& error) {
  std::vector<std::uint8_t> bytes;
  std::string why;
  if (!ReadWholeFile(path.c_str(), kMaxScriptBytes, bytes, &why)) {
    error = "cannot read script '" + path + "': " + why;
    return false;
  }
  return ParseScript(std::string(bytes.begin(), bytes.end()), path, out, error);
}

}  // namespace platform
