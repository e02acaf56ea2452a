// The record shared by every game the player runs, against games beside it, demos,
// a stranger's files and signals: never lowered, never written through what lies in
// wait in its folder, written only by a run that set a record.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;
using Args = std::vector<std::string>;

// Every folder starts with a record of -5. A title click scores 0, a new record; on the
// tick of a second its results come at pass 1209. Four hits more score 8 by pass 5100.
Args Game(bool scoring, Args more = {}, bool fast = true, const char* frames = nullptr) {
  fast = fast && !scoring;
  static const std::string dir = MakeTempDir("scripts");
  const std::string script = dir + (scoring ? "/8.txt" : "/0.txt");
  if (!FileExists(script)) {
    WriteFile(script, scoring ? "10 down\n13 up\n1153 move 125 58\n1153 down\n1156 up\n1230 move "
                                "195 128\n1230 down\n1233 up\n1307 move 55 128\n1307 down\n1310 "
                                "up\n1384 move 335 128\n1384 down\n1387 up\n"
                              : "10 down\n13 up\n");
  }
  if (!frames) frames = fast ? "1260" : "5100";
  more.insert(more.end(), {"--headless", "--script", script, "--tick", fast ? "1000" : "15.625",
                           "--frames", frames});
  return more;
}
std::string RecordDir(const std::string& name, const std::string& record = RecordBytes(-5)) {
  const std::string dir = MakeGameDir(name);
  if (!record.empty()) WriteFile(dir + "/highscore.dat", record);
  return dir;
}
std::string Record(const std::string& dir) { return ReadFile(dir + "/highscore.dat"); }
long Entries(const std::string& dir) {
  return std::distance(fs::recursive_directory_iterator(dir), {});
}

// The program held as it writes the frame of `pass` into a pipe (the record read by
// then); Go lets it run on, sends it `signal`, and gives its exit status.
struct Paused {
  const std::string out = MakeTempDir("paused");
  int fd = (mkfifo((out + "/f.bmp").c_str(), 0600),
            open((out + "/f.bmp").c_str(), O_RDONLY | O_NONBLOCK));
  int pid;
  Paused(const std::string& dir, long long pass, Args args) {
    args.insert(args.end(), {"--shot", std::to_string(pass) + ":" + out + "/f.bmp"});
    pid = Spawn(dir, args, out + "/err.txt");
    pollfd wait{fd, POLLIN, 0};
    EXPECT_EQ(poll(&wait, 1, 60000), 1);
  }
  int Go(int signal = 0) {
    fcntl(fd, F_SETFL, 0);
    for (char buf[65536]; read(fd, buf, sizeof buf) > 0;) continue;
    close(fd);
    if (signal) kill(pid, signal);
    return Wait(pid);
  }
};

// A game on the title (idle, or playing a 0 later) while another sets 8; then 8 games
// and 0 games saving at once, six times over.
TEST(SharedRecord, NoGameLowersAnotherOnesRecordOrReportsAFailureThatDidNotHappen) {
  for (const bool plays : {false, true}) {
    const std::string dir = RecordDir("stale");
    Paused first(
        dir, 5, plays ? Game(false, {"--trace", "t.jsonl"}) : Args{"--headless", "--frames", "99"});
    EXPECT_EQ(RunProgram(dir, Game(true)).stderrText + ReadFile(first.out + "/err.txt"), "");
    EXPECT_EQ(first.Go(), 0);
    EXPECT_EQ(Record(dir), RecordBytes(8));
    if (plays) {
      EXPECT_EQ(Events(ReadTrace(dir + "/t.jsonl"), "results").at(0).at("newRecord"), "false");
    }
  }
  const std::string dir = RecordDir("at-once"), out = MakeTempDir("at-once-err");
#ifdef TONKALO_SANITIZED
  constexpr int kRounds = 2;  // each game runs many times slower there
#else
  constexpr int kRounds = 6;
#endif
  for (int round = 0; round < kRounds; ++round) {
    WriteFile(dir + "/highscore.dat", RecordBytes(-5));
    int pids[3];
    for (int game : {0, 1, 2})
      pids[game] = Spawn(dir, Game(game == 1, {}, false), out + "/" + std::to_string(game));
    for (int game : {0, 1, 2})
      EXPECT_EQ(Wait(pids[game]) + ReadFile(out + "/" + std::to_string(game)).size(), 0u);
    EXPECT_EQ(Record(dir), RecordBytes(8)) << "round " << round;
  }
}

// Where the temporary file once had a fixed name: a link to someone's file, a pipe, a
// folder. Each stays as it is, and so does everything else.
TEST(SharedRecord, WhatLiesAtTheOldTemporaryNameIsNeitherFollowedNorTouched) {
  const std::string theirs = MakeTempDir("theirs") + "/file";
  WriteFile(theirs, "somebody else's 27 bytes...");
  for (const unsigned kind : {S_IFLNK, S_IFIFO, S_IFDIR}) {
    const std::string dir = RecordDir("lies"), tmp = dir + "/highscore.dat.tmp";
    EXPECT_EQ(kind == S_IFLNK   ? symlink(theirs.c_str(), tmp.c_str())
              : kind == S_IFIFO ? mkfifo(tmp.c_str(), 0600)
                                : mkdir(tmp.c_str(), 0700),
              0);
    const long entries = Entries(dir);
    EXPECT_EQ(RunProgram(dir, Game(false), {false, 30}).stderrText, "");
    EXPECT_EQ(Record(dir) + ReadFile(theirs), RecordBytes(0) + "somebody else's 27 bytes...");
    struct stat info {};
    EXPECT_EQ(lstat(tmp.c_str(), &info) == 0 ? info.st_mode & S_IFMT : 0u, kind);
    EXPECT_EQ(Entries(dir), entries);
  }
}

// Runs that set no record leave every file as it was: failed start-ups in folders that
// are not the game's, a demo, a run that plays nothing, a record of another program's.
TEST(SharedRecord, RunsThatSetNoRecordLeaveTheFolderAsItWas) {
  const std::string foreign = "31 bytes of some other program.";
  const struct { std::string name, record; Args args; int status; std::string said; } cases[] = {
      {"no-pictures", foreign, {"--headless", "--data-dir", ".", "--frames", "5"}, 1, ""},
      {"photos", foreign, {"--headless", "--frames", "5"}, 1, "cannot find the game's data"},
      {"demo", RecordBytes(-5),
       {"--headless", "--autoplay", "--tick", "1000", "--frames", "1260"}, 0, ""},
      {"nothing-played", "", {"--headless", "--frames", "5"}, 0, ""},
      {"five-bytes", std::string("\1\0\0\0\0", 5), Game(false), 0,
       "cannot read the high score in '"}};
  for (const auto& c : cases) {
    const std::string dir = c.status ? MakeTempDir(c.name) : RecordDir(c.name, c.record);
    if (c.status) WriteFile(dir + "/highscore.dat", c.record);
    if (c.name == "photos") fs::create_directory(dir + "/BMP");
    const long entries = Entries(dir);
    const RunResult run = RunProgram(dir, c.args);
    EXPECT_EQ(run.exitStatus, c.status) << c.name;
    if (!c.said.empty()) ExpectSaidOnce(run, c.said);
    EXPECT_EQ(Entries(dir), entries) << c.name;
    EXPECT_EQ(c.record.empty() ? "" : Record(dir), c.record) << c.name;
  }
}

// A signal on the results (the record made) or before them ends the run as the close
// button does: status 128 + N, whole trace lines, the record as it stands. A data
// folder deleted in play is not made again: the record is said lost, once.
TEST(SharedRecord, SignalsAndAVanishedDataFolderLeaveWhatTheyShould) {
  const struct { int signal; long long pass; int record; } cases[] = {
      {SIGTERM, 1240, 0}, {SIGINT, 1240, 0}, {SIGHUP, 600, -5}, {0, 600, 0}};
  for (const auto& c : cases) {
    const std::string dir = RecordDir("signal"), trace = MakeTempDir("trace") + "/t.jsonl";
    Paused run(dir, c.pass, Game(false, {"--trace", trace}, true, c.signal ? "999999" : "1260"));
    if (!c.signal) fs::remove_all(dir);
    EXPECT_EQ(run.Go(c.signal), c.signal ? 128 + c.signal : 0);
    const std::string text = ReadFile(trace);
    EXPECT_EQ(ReadTrace(trace).size(),
              static_cast<size_t>(std::count(text.begin(), text.end(), '\n')));
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(c.signal ? Record(dir) : ReadFile(run.out + "/err.txt"),
              c.signal ? RecordBytes(c.record)
                       : "tonkalo: cannot save the high score in '" + dir +
                             "/highscore.dat' (No such file or directory)\n");
    EXPECT_TRUE(c.signal || !FileExists(dir));
  }
}

TEST(Messages, PathsAreMadePrintableOnOneLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"a\nb\x1b[31m\x7f", "a\\x0Ab\\x1B[31m\\x7F"},      // C0 and DEL
      {"\xc2\x9b" "2J \xc2\xa0", "\\xC2\\x9B2J \xc2\xa0"},  // C1 (CSI) as UTF-8; NBSP stays
      {"\xff\xe3\x81", "\\xFF\\xE3\\x81"},                // not UTF-8, cut short
      {"記録.dat", "記録.dat"}};
  for (const auto& [text, shown] : cases) EXPECT_EQ(platform::Printable(text), shown);
}

}  // namespace
