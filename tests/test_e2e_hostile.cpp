// The program against a hostile player and a hostile machine: a record it cannot read,
// kills in mid-game, outputs that cannot be written, damaged assets (pictures that claim
// gigabytes among them) through whole games, and a long run whose memory must stay flat.
// Where permissions matter the program runs as `nobody`, since root reads everything.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

// With a tick of a second the clock runs out after some 60 passes of play, so a whole
// game (title, countdown, play, results) fits in this many passes.
constexpr long long kWholeGame = 1260;

// A headless run with the built-in player, its trace in the run's folder.
std::vector<std::string> Autoplay(long long frames, const std::vector<std::string>& more = {}) {
  std::vector<std::string> args = {"--headless", "--autoplay", "--frames",
                                   std::to_string(frames), "--trace", "trace.jsonl"};
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

std::vector<std::string> WholeGame() { return Autoplay(kWholeGame, {"--tick", "1000"}); }

// The same whole game with a title click scripted into `folder`: it scores 0, a new
// record against -5 (the built-in player keeps its score to itself).
std::vector<std::string> RecordGame(const std::string& folder) {
  WriteFile(folder + "/click.txt", "10 down\n13 up\n");
  return {"--headless", "--script", folder + "/click.txt", "--tick", "1000", "--frames",
          std::to_string(kWholeGame), "--trace", "trace.jsonl"};
}

// A folder with the game's data, where the other user may write too.
std::string GameDir(const std::string& name) {
  const std::string dir = MakeGameDir(name);
  chmod(dir.c_str(), 0777);
  return dir;
}

// An existing record that cannot be read (a folder in its place; a file the user may
// not read) is said once and left as it is for the whole run.
TEST(Record, AFolderInPlaceOfTheRecordOrAnUnreadableOneIsLeftAloneAndSaidOnce) {
  for (const bool folder : {true, false}) {
    const std::string why = folder ? "" : OtherUserWhyNot();
    if (!why.empty()) GTEST_SKIP() << why;
    const std::string dir = GameDir(folder ? "record-folder" : "record-unreadable");
    const std::string record = dir + "/highscore.dat";
    if (folder) fs::create_directory(record);
    if (!folder) {
      WriteFile(record, RecordBytes(4321));
      chmod(record.c_str(), 0);
    }
    const RunResult run = RunProgram(dir, folder ? WholeGame() : Autoplay(40), {!folder});
    EXPECT_EQ(run.exitStatus, 0);
    ExpectSaidOnce(run, "cannot read the high score in '" + record + "' (" +
                            (folder ? "Is a directory" : "Permission denied") +
                            "): this run leaves it as it is");
    EXPECT_TRUE(Events(ReadTrace(dir + "/trace.jsonl"), "highscore-write").empty());
    EXPECT_TRUE(folder ? fs::is_empty(record) : ReadFile(record) == RecordBytes(4321));
  }
}

// A record game killed at random moments: the file always holds the old record or the
// new one, never a torn or empty file.
TEST(Record, KilledAtAnyMomentOfARecordGameTheFileHoldsTheOldOrTheNewRecord) {
#ifdef TONKALO_SANITIZED
  GTEST_SKIP() << "a killed process cannot report to the sanitizers";
#endif
  const std::string dir = GameDir("record-kills"), old = RecordBytes(-5);
  WriteFile(dir + "/highscore.dat", old);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(Wait(Spawn(dir, RecordGame(dir), dir + "/err.txt")), 0) << ReadFile(dir + "/err.txt");
  const auto whole = std::chrono::steady_clock::now() - start;
  const std::string now = ReadFile(dir + "/highscore.dat");
  ASSERT_TRUE(now != old && now.size() == 4u);
  std::mt19937 dice(20);
  for (int kill = 0; kill < 20; ++kill) {
    WriteFile(dir + "/highscore.dat", old);
    const int pid = Spawn(dir, RecordGame(dir), dir + "/err.txt");
    std::this_thread::sleep_for(whole * std::uniform_real_distribution<>(0.05, 1.1)(dice));
    ::kill(pid, SIGKILL);
    Wait(pid);
    const std::string held = ReadFile(dir + "/highscore.dat");
    EXPECT_TRUE(held == old || held == now) << "kill " << kill << ": " << held.size() << " bytes";
  }
}

TEST(Outputs, ShotsTracesAndScriptsThatCannotBeWrittenOrReadFailTheRunInOneLine) {
  const std::string dir = GameDir("outputs");
  fs::create_directory(dir + "/folder");
  fs::create_directory(dir + "/folder.bmp");
  mkfifo((dir + "/fifo").c_str(), 0600);
  const std::string at = dir + "/";
  const struct { std::vector<std::string> args; int status; std::string line; } cases[] = {
      {{"--shot", "1:folder.bmp"}, 1, "cannot write shot " + at + "folder.bmp: Is a directory"},
      {{"--shot", "1:nowhere/s.png"}, 1, "cannot write shot " + at + "nowhere/s.png: No such"},
      {{"--trace", "folder"}, 1, "cannot write trace '" + at + "folder': Is a directory"},
      {{"--trace", "nowhere/t.jsonl"}, 1, "cannot write trace '" + at + "nowhere/t.jsonl': No such"},
      {{"--trace", "fifo"}, 1, "cannot write trace '" + at + "fifo': a FIFO that nothing reads"},
      {{"--script", "folder"}, 2, "cannot read script 'folder': Is a directory"},
      {{"--script", "/dev/zero"}, 2, "cannot read script '/dev/zero': not a plain file"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"--headless", "--frames", "5"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult run = RunProgram(dir, args, {false, 60});
    EXPECT_EQ(run.exitStatus, c.status) << c.args[1];
    ExpectSaidOnce(run, c.line);
  }
  // A disk that fills up within the shot (a file size limit) leaves no cut-off picture.
  const std::string full = "cd " + dir + " && ulimit -f 64 && trap '' XFSZ && exec " +
                           TONKALO_BIN + " --headless --frames 5 --shot 1:s.bmp 2>err.txt";
  EXPECT_EQ(WEXITSTATUS(std::system(full.c_str())), 1);
  EXPECT_EQ(ReadFile(at + "err.txt"), "tonkalo: cannot write shot " + at + "s.bmp: File too large\n");
  EXPECT_FALSE(fs::exists(at + "s.bmp"));
}

// --- damaged assets ---

void Put32(std::string& b, size_t at, std::uint32_t v) {
  for (size_t i = 0; i < 4 && at + i < b.size(); ++i) b[at + i] = static_cast<char>(v >> (8 * i));
}

// The file damaged one of four ways: emptied, cut in half, random, or claiming a huge
// size (a picture of 16384 x 16384 RLE8 pixels, a sound of four gigabytes, a track of
// four billion frames).
const char* const kDamages[] = {"empty", "cut in half", "random", "claiming a huge size"};
std::string Damaged(const fs::path& file, std::string b, int how) {
  const std::string type = file.extension().string();
  if (how < 2) return b.substr(0, how * b.size() / 2);
  if (how == 2) {
    std::mt19937 dice(static_cast<unsigned>(b.size()));
    for (char& c : b) c = static_cast<char>(dice());
  } else if (type == ".bmp") {
    const std::pair<size_t, std::uint32_t> huge[] = {
        {18, 16384}, {22, 16384}, {28, 8}, {30, 1}, {46, 0}};  // 8 bits a pixel, RLE8
    for (const auto& [at, v] : huge) Put32(b, at, v);
  } else if (type == ".wav") {
    Put32(b, 4, 0xFFFFFFF0u);
    const size_t data = b.find("data");
    if (data != std::string::npos) Put32(b, data + 4, 0xFFFFFFF0u);
  } else if (const size_t tag = std::min(b.find("Info"), b.find("Xing")); tag < 256) {
    Put32(b, tag + 8, 0xF0FFFFFFu);   // frames, big-endian
    Put32(b, tag + 12, 0xF0FFFFFFu);  // bytes
  } else {
    b = std::string("ID3\x04\0\0\x7F\x7F\x7F\x7F", 10) + b;
  }
  return b;
}

// Start-up stops (status 1) when one of these cannot be loaded; anything else must not
// keep a whole game from being played.
bool Tested(const fs::path& file) {
  const std::string tested = " TITLE.bmp HIGHSCORE.bmp START.bmp HIGHSCORE_NUM.bmp BoxTimer.bmp MSG.bmp ";
  return tested.find(" " + file.filename().string() + " ") != std::string::npos;
}

struct Damage { fs::path file; int how; };

// Each file damaged each way in turn, one a run. Under the sanitizers, five times
// slower, the files start-up can do without are damaged all at once, a game for each way.
std::vector<std::vector<Damage>> Runs(const std::vector<fs::path>& files) {
  std::vector<std::vector<Damage>> runs;
  for (int how = 0; how < 4; ++how) {
    std::vector<Damage> together;
    for (const fs::path& file : files) {
#ifdef TONKALO_SANITIZED
      if (!Tested(file)) {
        together.push_back({file, how});
        continue;
      }
#endif
      runs.push_back({{file, how}});
    }
    if (!together.empty()) runs.push_back(together);
  }
  return runs;
}

TEST(Assets, EveryPictureSoundAndTrackDamagedInTurnThroughAWholeGame) {
  std::vector<fs::path> files;
  for (const char* folder : {"BMP", "WAV", "MP3"}) {
    for (const auto& entry : fs::directory_iterator(fs::path(TONKALO_DATA_DIR) / folder)) {
      files.push_back(fs::path(folder) / entry.path().filename());
    }
  }
  std::sort(files.begin(), files.end());
  ASSERT_EQ(files.size(), 69u);
  const std::vector<std::vector<Damage>> runs = Runs(files);

  // Two workers, each in a folder of its own, damage their files, play, and mend them.
  std::vector<std::string> faults[2];
  std::vector<std::thread> workers;
  for (size_t w = 0; w < 2; ++w) {
    workers.emplace_back([&, w] {
      const std::string dir = GameDir("damaged-" + std::to_string(w));
      for (size_t n = w; n < runs.size(); n += 2) {
        std::vector<std::string> originals;
        bool tested = false;
        std::string what;
        for (const Damage& d : runs[n]) {
          originals.push_back(ReadFile(dir + "/" + d.file.string()));
          WriteFile(dir + "/" + d.file.string(), Damaged(d.file, originals.back(), d.how));
          tested |= Tested(d.file);
          what += d.file.string() + " " + kDamages[d.how] + "; ";
        }
        std::remove((dir + "/highscore.dat").c_str());
        const RunResult run = RunProgram(dir, WholeGame(), {false, 300});
        for (size_t i = 0; i < runs[n].size(); ++i) WriteFile(dir + "/" + runs[n][i].file.string(), originals[i]);
        const bool stopped = run.exitStatus == 1 && tested &&
                             run.stderrText.find("初期化に失敗しました。") != std::string::npos;
        const bool played = run.exitStatus == 0 &&
                            !Events(ReadTrace(dir + "/trace.jsonl"), "results").empty();
        if (!stopped && !played) faults[w].push_back(what + std::to_string(run.exitStatus) + "\n" + run.stderrText);
      }
    });
  }
  for (std::thread& t : workers) t.join();
  for (const auto& list : faults) for (const std::string& fault : list) ADD_FAILURE() << fault;
}

// --- a long run ---

long ResidentKb(int pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

// The built-in player for 200,000 passes at the real tick (TONKALO_SOAK_PASSES sets
// another length; `make soak` runs 2,000,000): resident memory, once the first game is
// under way, stays flat to the end. The player ends games both ways, seldom strikes a
// minus timer, and moves at a hand's pace: at most 25 pixels a pass between strikes,
// each less than 31 pixels across and 41 up or down from its cell's middle.
TEST(Soak, AutoplayForManyPassesKeepsResidentMemoryFlat) {
#ifdef TONKALO_SANITIZED
  GTEST_SKIP() << "under the sanitizers resident memory follows their quarantine, not the "
                  "game; their leak check runs at the end of every other test";
#endif
  const char* length = std::getenv("TONKALO_SOAK_PASSES");
  const long long passes = length ? std::atoll(length) : 200000;
  const std::string dir = GameDir("soak");
  const int pid = Spawn(dir, Autoplay(passes), dir + "/err.txt");
  std::vector<long> kb;
  for (long sample; (sample = ResidentKb(pid)) > 0;) {
    kb.push_back(sample);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_EQ(Wait(pid), 0) << ReadFile(dir + "/err.txt");
  EXPECT_EQ(ReadFile(dir + "/err.txt"), "");
  ASSERT_GE(kb.size(), 20u);
  // The start: the highest reading of the second tenth of the run; the end: of the last.
  const long start = *std::max_element(kb.begin() + kb.size() / 10, kb.begin() + kb.size() / 5);
  const long end = *std::max_element(kb.end() - kb.size() / 10, kb.end());
  EXPECT_LE(end - start, 512) << "kB grown from " << start;

  const std::vector<TraceLine> trace = ReadTrace(dir + "/trace.jsonl");
  long long games = 0, byMisses = 0;
  for (const TraceLine& line : Events(trace, "state")) {
    games += line.at("state") == "countdown";
    byMisses += line.at("state") == "finish";
  }
  EXPECT_TRUE(games >= passes / 12000 && byMisses > 0 && games > byMisses) << games << " " << byMisses;
  const std::vector<TraceLine> hits = Events(trace, "hit");
  long long minusTimers = 0;
  for (size_t i = 0; i < hits.size(); ++i) {
    minusTimers += hits[i].at("kind") == "4";
    auto apart = [&](const char* field, int slack) {
      return std::max(0, 70 * std::abs(std::stoi(hits[i].at(field)) - std::stoi(hits[i - 1].at(field))) - slack);
    };
    if (i == 0) continue;
    EXPECT_LE(std::hypot(apart("col", 62), apart("row", 82)),
              25.0 * (std::stoll(hits[i].at("pass")) - std::stoll(hits[i - 1].at("pass"))))
        << hits[i].at("pass");
  }
  EXPECT_LE(minusTimers * 100, static_cast<long long>(hits.size()));
}

}  // namespace
