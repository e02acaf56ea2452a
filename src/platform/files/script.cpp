// Input scripts: "P move X Y", "P down", "P up", "P close" and the window's other
// messages (files.h), one a line; '#' starts a comment, blank lines are skipped.
// Anything else stops start-up with the file and line. The file is read in pieces and
// never held whole: a long script of comments costs no memory, and a word of any length
// is kept only as far as a message shows it. A folder, a pipe or a device is refused.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/files/files.h"

namespace platform {

namespace {

// No valid word is this long; a message quotes at most this much of a bad one.
constexpr std::size_t kWordShown = 80;
// A line with more words than this is wrong whatever they are; the rest are only counted.
constexpr std::size_t kWordsKept = 4;
// Far beyond any game (over 18 days at 64 passes a second): a later pass is a mistake
// that would keep a replay running for ever.
constexpr long long kLastPass = 100000000;
// A recorded pass holds a handful of commands; this many would keep the game from
// hearing anything else (a signal, the close button) for minutes.
constexpr long kMostInAPass = 1000;
// A replay's first line is longer than no valid one.
constexpr std::size_t kFirstLineKept = 200;

// Takes a script in pieces of any size and checks each line as it ends.
class ScriptParser {
 public:
  ScriptParser(const std::string& path, std::vector<ScriptCommand>& out, const FirstLine& first)
      : path_(path), out_(out), first_(first) {}

  bool Feed(const char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
      const char c = data[i];
      if (c == '\n') {
        if (!EndLine()) return false;
        continue;
      }
      if (first_ && lineNumber_ == 0) {
        if (firstLine_.size() <= kFirstLineKept) firstLine_ += c;
        continue;
      }
      if (comment_) continue;
      if (c == '#') {
        EndWord();
        comment_ = true;
      } else if (c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f') {
        EndWord();
      } else {
        inWord_ = true;
        if (words_ < kWordsKept && word_[words_].size() <= kWordShown) word_[words_] += c;
      }
    }
    return true;
  }

  // The last line may lack its newline.
  // The last line may lack its newline. A replay is in pass order already; a script
  // written by hand may not be, and its passes are counted again once sorted.
  bool Finish() {
    if (!EndLine()) return false;
    const auto earlier = [](const ScriptCommand& a, const ScriptCommand& b) {
      return a.pass < b.pass;
    };
    if (std::is_sorted(out_.begin(), out_.end(), earlier)) return true;
    std::stable_sort(out_.begin(), out_.end(), earlier);
    for (std::size_t i = 0, run = 0; i < out_.size(); ++i) {
      run = i > 0 && out_[i].pass == out_[i - 1].pass ? run + 1 : 1;
      if (run > kMostInAPass) {
        error_ = path_ + ": " + Crowded(out_[i].pass);
        return false;
      }
    }
    return true;
  }

  const std::string& Error() const { return error_; }

 private:
  void EndWord() {
    if (inWord_) ++words_;
    inWord_ = false;
  }

  static std::string Crowded(long long pass) {
    return "pass " + std::to_string(pass) + " holds more than " + std::to_string(kMostInAPass) +
           " commands, the most a pass may hold";
  }

  // A word as a message quotes it: cut to kWordShown characters, not inside a UTF-8 one.
  std::string Shown(const std::string& word) const {
    if (word.size() <= kWordShown) return word;
    std::size_t cut = kWordShown - 3;
    while (cut > 0 && (static_cast<unsigned char>(word[cut]) & 0xC0) == 0x80) --cut;
    return word.substr(0, cut) + "...";
  }

  bool Number(const std::string& word, long long low, long long high, long long& out) const {
    return word.size() <= kWordShown && ParseWholeNumber(word, low, high, out);
  }

  // The commands that replays add beyond a player's hand (see ScriptCommand); false
  // with `problem` set when `w` names one of them wrongly, and also when it names none
  // (`problem` then empty).
  bool WindowCommand(const std::string* w, std::size_t count, ScriptCommand& command,
                     std::string& problem) const {
    const std::string& verb = w[1];
    long long a = 0;
    long long b = 0;
    if (verb == "click" || verb == "double-click" || verb == "size") {
      if (count != 4 || !Number(w[2], -100000, 100000, a) || !Number(w[3], -100000, 100000, b)) {
        problem = "'" + verb + "' wants two whole numbers and nothing more";
        return false;
      }
      command.kind = verb == "click"          ? ScriptCommand::Click
                     : verb == "double-click" ? ScriptCommand::DoubleClick
                                              : ScriptCommand::Size;
    } else if (verb == "button") {
      if (count != 3 || !Number(w[2], 0, 1, a)) {
        problem = "'button' wants 1 (down) or 0 (up) and nothing more";
        return false;
      }
      command.kind = ScriptCommand::Button;
    } else if (verb == "tick") {
      if (count != 3 || !Number(w[2], 0, 4294967295LL, a)) {
        problem = "'tick' wants a whole number from 0 to 4294967295 and nothing more";
        return false;
      }
      command.kind = ScriptCommand::Tick;
      command.tick = static_cast<std::uint32_t>(a);
    } else if (verb == "music-end" && count == 2) {
      command.kind = ScriptCommand::MusicEnd;
    } else {
      if (verb == "music-end") problem = "'music-end' takes nothing after it";
      return false;
    }
    command.x = static_cast<int>(a);
    command.y = static_cast<int>(b);
    return true;
  }

  bool EndLine() {
    EndWord();
    ++lineNumber_;
    if (first_ && lineNumber_ == 1) {
      error_ = first_(firstLine_);
      if (!error_.empty()) error_ = path_ + ":1: " + error_;
      return error_.empty();
    }
    const std::size_t count = words_;
    words_ = 0;
    comment_ = false;
    if (count == 0) return true;
    std::string w[kWordsKept];
    for (std::size_t i = 0; i < kWordsKept; ++i) w[i].swap(word_[i]);

    const std::string where = path_ + ":" + std::to_string(lineNumber_) + ": ";
    ScriptCommand command{ScriptCommand::Move, 0};
    if (!Number(w[0], 0, kLastPass, command.pass)) {
      error_ = where + "a line starts with its pass, a whole number from 0 to " +
               std::to_string(kLastPass) + ", not '" + Shown(w[0]) + "'";
      return false;
    }
    inPass_ = out_.empty() || out_.back().pass != command.pass ? 1 : inPass_ + 1;
    if (inPass_ > kMostInAPass) {
      error_ = where + Crowded(command.pass);
      return false;
    }
    const std::string& verb = w[1];
    if (verb == "move") {
      long long x = 0;
      long long y = 0;
      if (count != 4 || !Number(w[2], -100000, 100000, x) || !Number(w[3], -100000, 100000, y)) {
        error_ = where + "'move' wants two whole numbers X Y and nothing more";
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
    } else if (std::string problem; WindowCommand(w, count, command, problem)) {
      out_.push_back(command);
      return true;
    } else {
      error_ = where + (problem.empty() ? "unknown command '" + Shown(verb) +
                                              "' (move, down, up or close)"
                                        : problem);
      return false;
    }
    if (command.kind != ScriptCommand::Move && count != 2) {
      error_ = where + "'" + verb + "' takes nothing after it";
      return false;
    }
    out_.push_back(command);
    return true;
  }

  const std::string& path_;
  std::vector<ScriptCommand>& out_;
  const FirstLine& first_;
  std::string firstLine_;
  long inPass_ = 0;  // commands so far of the pass of the last line
  std::string error_;
  std::string word_[kWordsKept];
  std::size_t words_ = 0;  // words of the line so far
  bool inWord_ = false;
  bool comment_ = false;
  int lineNumber_ = 0;
};

}  // namespace

bool ReadScript(const std::string& path, std::vector<ScriptCommand>& out, std::string& error,
                const FirstLine& first) {
  out.clear();
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  std::uint64_t size = 0;
  std::string why = fd < 0 ? std::strerror(errno) : PlainFileProblem(fd, size);
  // A game of an hour with the pointer always moving records far less.
  if (why.empty() && first && size > (64u << 20)) why = "over 64 MiB, more than any game records";
  ScriptParser parser(path, out, first);
  bool parsed = why.empty();
  std::vector<std::uint8_t> piece(parsed ? 1u << 16 : 0);
  while (parsed) {
    const long got = ReadUpTo(fd, piece.data(), piece.size());
    if (got < 0) {
      why = std::strerror(errno);
      parsed = false;
    } else if (got == 0) {
      parsed = parser.Finish();
      break;
    } else {
      parsed = parser.Feed(reinterpret_cast<const char*>(piece.data()),
                           static_cast<std::size_t>(got));
    }
  }
  if (fd >= 0) close(fd);
  if (parsed) return true;
  out.clear();
  error = why.empty() ? parser.Error() : "cannot read " + std::string(first ? "replay" : "script") + " '" +
                                          path + "': " + why;
  return false;
}

}  // namespace platform
