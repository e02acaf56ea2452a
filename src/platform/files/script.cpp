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

struct Verb {
  const char* name;
  ScriptCommand::Kind kind;
  std::size_t numbers;
  long long low, high;
  const char* wants;
};
constexpr long long kFar = 100000;
const Verb kVerbs[] = {
    {"move", ScriptCommand::Move, 2, -kFar, kFar, "two whole numbers X Y"},
    {"down", ScriptCommand::Down, 0, 0, 0, ""},
    {"up", ScriptCommand::Up, 0, 0, 0, ""},
    {"close", ScriptCommand::Close, 0, 0, 0, ""},
    {"click", ScriptCommand::Click, 2, -kFar, kFar, "two whole numbers"},
    {"double-click", ScriptCommand::DoubleClick, 2, -kFar, kFar, "two whole numbers"},
    {"size", ScriptCommand::Size, 2, -kFar, kFar, "two whole numbers"},
    {"button", ScriptCommand::Button, 1, 0, 1, "1 (down) or 0 (up)"},
    {"tick", ScriptCommand::Tick, 1, 0, 4294967295LL, "a whole number from 0 to 4294967295"},
    {"music-end", ScriptCommand::MusicEnd, 0, 0, 0, ""}};

std::string Crowded(long long pass) {
  return "pass " + std::to_string(pass) + " holds more than " + std::to_string(kMostInAPass) +
         " commands, the most a pass may hold";
}

// A word as a message quotes it: cut to kWordShown characters, not inside a UTF-8 one.
std::string Shown(const std::string& word) {
  if (word.size() <= kWordShown) return word;
  std::size_t cut = kWordShown - 3;
  while (cut > 0 && (static_cast<unsigned char>(word[cut]) & 0xC0) == 0x80) --cut;
  return word.substr(0, cut) + "...";
}

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
      } else if (first_ && line_ == 0) {
        if (firstLine_.size() <= 200) firstLine_ += c;
      } else if (comment_ || c == '#') {
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

  bool Number(const std::string& word, long long low, long long high, long long& out) const {
    return word.size() <= kWordShown && ParseWholeNumber(word, low, high, out);
  }

  bool EndLine() {
    EndWord();
    const std::size_t count = words_;
    words_ = 0;
    comment_ = false;
    const std::string where = path_ + ":" + std::to_string(++line_) + ": ";
    if (first_ && line_ == 1) {
      error_ = first_(firstLine_);
      if (!error_.empty()) error_ = path_ + ":1: " + error_;
      return error_.empty();
    }
    if (count == 0) return true;
    std::string w[kWordsKept];
    for (std::size_t i = 0; i < kWordsKept; ++i) w[i].swap(word_[i]);
    ScriptCommand command{ScriptCommand::Move, 0};
    if (!Number(w[0], 0, kLastPass, command.pass)) {
      error_ = where + "a line starts with its pass, a whole number from 0 to " +
               std::to_string(kLastPass) + ", not '" + Shown(w[0]) + "'";
      return false;
    }
    const Verb* verb = std::find_if(std::begin(kVerbs), std::end(kVerbs),
                                    [&](const Verb& v) { return w[1] == v.name; });
    if (verb == std::end(kVerbs)) {
      error_ = where + "unknown command '" + Shown(w[1]) +
               "' (move, down, up, close, button, click, double-click, size, music-end or tick)";
      return false;
    }
    long long n[2] = {0, 0};
    bool ok = count == 2 + verb->numbers;
    for (std::size_t i = 0; ok && i < verb->numbers; ++i) {
      ok = Number(w[2 + i], verb->low, verb->high, n[i]);
    }
    if (!ok) {
      error_ = where + "'" + w[1] + "' " +
               (verb->numbers ? "wants " + std::string(verb->wants) + " and nothing more"
                              : std::string("takes nothing after it"));
      return false;
    }
    inPass_ = out_.empty() || out_.back().pass != command.pass ? 1 : inPass_ + 1;
    if (inPass_ > kMostInAPass) {
      error_ = where + Crowded(command.pass);
      return false;
    }
    command.kind = verb->kind;
    command.tick = static_cast<std::uint32_t>(n[0]);
    command.x = verb->kind == ScriptCommand::Tick ? 0 : static_cast<int>(n[0]);
    command.y = static_cast<int>(n[1]);
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
  int line_ = 0;
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
  long got = 1;
  while (parsed && got > 0) {
    got = ReadUpTo(fd, piece.data(), piece.size());
    if (got < 0) why = std::strerror(errno);
    parsed = got > 0 ? parser.Feed(reinterpret_cast<const char*>(piece.data()),
                                   static_cast<std::size_t>(got))
                     : got == 0 && parser.Finish();
  }
  if (fd >= 0) close(fd);
  if (parsed) return true;
  out.clear();
  error = why.empty() ? parser.Error()
                      : "cannot read " + std::string(first ? "replay '" : "script '") + path +
                            "': " + why;
  return false;
}

}  // namespace platform
