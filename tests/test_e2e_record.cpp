// The record shared by every game the player runs, against games beside it, demos,
// a stranger's files and signals: it is never lowered, never written through what lies
// in wait in its folder, and only a run that set a record writes it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <tuple>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

// Title click, then four hits: a game that scores 8 by pass 5100. Alone, a title click
// scores 0, which beats the -5 each folder starts with; on the tick of a second that
// game reaches its results at pass 1209.
std::vector<std::string> Game(bool scoring, std::vector<std::string> more = {},
                              const std::string& frames = "5100") {
  static const std::string dir = MakeTempDir("scripts");
  const std::string script = dir + (scoring ? "/scoring.txt" : "/zero.txt");
  if (!FileExists(script)) {
    WriteFile(script, scoring ? "10 down\n13 up\n1153 move 125 58\n1153 down\n1156 up\n"
                                "1230 move 195 128\n1230 down\n1233 up\n1307 move 55 128\n"
                                "1307 down\n1310 up\n1384 move 335 128\n1384 down\n1387 up\n"
                              : "10 down\n13 up\n");
  }
  more.insert(more.end(), {"--headless", "--script", script, "--frames", frames});
  return more;
}
std::vector<std::string> Fast(std::vector<std::string> more = {}, const std::string& frames = "1260") {
  more.insert(more.end(), {"--tick", "1000"});
  return Game(false, more, frames);
}
std::string RecordDir(const std::string& name, const std::string& record = RecordBytes(-5)) {
  const std::string dir = MakeGameDir(name);
  if (!record.empty()) WriteFile(dir + "/highscore.dat", record);
  return dir;
}
size_t Entries(const std::string& dir) {
  return std::distance(fs::recursive_directory_iterator(dir), {});
}

// The program paused as it writes the frame of pass `pass` into a pipe, having read
// the record; Go lets it run on (and sends it `signal`) and gives its exit status.
struct Paused {
  const std::string out;
  int fd, pid;
  Paused(const std::string& dir, long long pass, std::vector<std::string> args)
      : out(MakeTempDir("paused-" + std::to_string(pass))) {
    mkfifo((out + "/frame.bmp").c_str(), 0600);
    fd = open((out + "/frame.bmp").c_str(), O_RDONLY | O_NONBLOCK);
    args.insert(args.end(), {"--shot", std::to_string(pass) + ":" + out + "/frame.bmp"});
    pid = Spawn(dir, args, out + "/err.txt");
    pollfd wait{fd, POLLIN, 0};
    EXPECT_EQ(poll(&wait, 1, 60000), 1);
  }
  int Go(int signal = 0) {
    fcntl(fd, F_SETFL, 0);
    for (char buf[65536]; read(fd, buf, sizeof buf) > 0;) {
    }
    close(fd);
    if (signal) kill(pid, signal);
    return Wait(pid);
  }
};

TEST(SharedRecord, AGameStartedBeforeAnotherOnesRecordNeverLowersIt) {
  for (const bool playsAfter : {false, true}) {
    const std::string dir = RecordDir("stale-" + std::to_string(playsAfter));
    Paused first(dir, 5, playsAfter ? Game(false, {"--trace", "t.jsonl"})
                                     : std::vector<std::string>{"--headless", "--frames", "99"});
    const RunResult second = RunProgram(dir, Game(true));
    EXPECT_EQ(second.exitStatus + first.Go(), 0) << second.stderrText;
    EXPECT_EQ(ReadFile(first.out + "/err.txt"), "");
    EXPECT_EQ(ReadFile(dir + "/highscore.dat"), RecordBytes(8));
    if (playsAfter) {
      EXPECT_EQ(Events(ReadTrace(dir + "/t.jsonl"), "results").at(0).at("newRecord"), "false");
    }
  }
}

TEST(SharedRecord, GamesSavingAtOnceKeepTheLargestAndReportNoFailure) {
  const std::string dir = RecordDir("at-once"), out = MakeTempDir("at-once-err");
  for (int round = 0; round < 6; ++round) {
    WriteFile(dir + "/highscore.dat", RecordBytes(-5));
    std::vector<int> pids;
    for (const int game : {0, 1, 2}) {
      pids.push_back(Spawn(dir, Game(game == 1), out + "/" + std::to_string(game)));
    }
    for (const int game : {0, 1, 2}) {
      EXPECT_EQ(Wait(pids[game]), 0);
      EXPECT_EQ(ReadFile(out + "/" + std::to_string(game)), "") << "round " << round;
    }
    EXPECT_EQ(ReadFile(dir + "/highscore.dat"), RecordBytes(8)) << "round " << round;
  }
}

// Where the temporary file once had a fixed name: a link to someone's file, a pipe, a
// folder. Each stays as it is, and so does the rest of the folder.
TEST(SharedRecord, WhatLiesAtTheOldTemporaryNameIsNeitherFollowedNorTouched) {
  const std::string theirs = MakeTempDir("theirs") + "/file";
  WriteFile(theirs, "somebody else's 27 bytes...");
  for (const int kind : {S_IFLNK, S_IFIFO, S_IFDIR}) {
    const std::string dir = RecordDir("lies-" + std::to_string(kind));
    const std::string tmp = dir + "/highscore.dat.tmp";
    EXPECT_EQ(kind == S_IFLNK   ? symlink(theirs.c_str(), tmp.c_str())
              : kind == S_IFIFO ? mkfifo(tmp.c_str(), 0600)
                                : mkdir(tmp.c_str(), 0700), 0);
    const size_t entries = Entries(dir);
    const RunResult run = RunProgram(dir, Fast(), {false, 30});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.stderrText, "");
    EXPECT_EQ(ReadFile(dir + "/highscore.dat"), RecordBytes(0));
    EXPECT_EQ(ReadFile(theirs), "somebody else's 27 bytes...");
    struct stat info {};
    EXPECT_EQ(lstat(tmp.c_str(), &info) == 0 ? info.st_mode & S_IFMT : 0u, static_cast<unsigned>(kind));
    EXPECT_EQ(Entries(dir), entries);
  }
}

// Runs that set no record leave every file as it was: a failed start-up in a folder
// that is not the game's, a demo, a run that plays nothing, and one whose record file
// is some other program's.
TEST(SharedRecord, RunsThatSetNoRecordLeaveTheFolderAsItWas) {
  const std::string foreign = "31 bytes of some other program.";
  const struct Case {
    std::string name, record;
    std::vector<std::string> args;
    int status;
    std::string said;
  } cases[] = {
      {"no-pictures", foreign, {"--headless", "--data-dir", ".", "--frames", "5"}, 1, ""},
      {"photos", foreign, {"--headless", "--frames", "5"}, 1, "cannot find the game's data"},
      {"demo", RecordBytes(-5), {"--headless", "--autoplay", "--tick", "1000", "--frames", "1260"}, 0, ""},
      {"nothing-played", "", {"--headless", "--frames", "5"}, 0, ""},
      {"five-bytes", std::string("\1\0\0\0\0", 5), Fast(), 0, "cannot read the high score in '"},
  };
  for (const Case& c : cases) {
    const std::string dir = c.status ? MakeTempDir(c.name) : RecordDir(c.name, c.record);
    if (c.status) WriteFile(dir + "/highscore.dat", c.record);
    if (c.name == "photos") fs::create_directory(dir + "/BMP");
    const size_t entries = Entries(dir);
    const RunResult run = RunProgram(dir, c.args);
    EXPECT_EQ(run.exitStatus, c.status) << c.name << run.stderrText;
    if (!c.said.empty()) ExpectSaidOnce(run, c.said);
    EXPECT_EQ(Entries(dir), entries) << c.name;
    EXPECT_EQ(c.record.empty() ? "" : ReadFile(dir + "/highscore.dat"), c.record) << c.name;
  }
}

// A signal on the results (the record made) or before them (none yet) ends the run as
// the close button does: status 128 + N, whole trace lines, the record as it stands.
TEST(SharedRecord, ASignalEndsTheRunWithItsRecordAndWholeTraceLines) {
  const std::tuple<int, long long, int> cases[] = {
      {SIGTERM, 1240, 0}, {SIGINT, 1240, 0}, {SIGHUP, 600, -5}};
  for (const auto& [sig, pass, record] : cases) {
    const std::string dir = RecordDir("signal-" + std::to_string(sig));
    EXPECT_EQ(Paused(dir, pass, Fast({"--trace", "t.jsonl"}, "1000000")).Go(sig), 128 + sig);
    const std::string trace = ReadFile(dir + "/t.jsonl");
    EXPECT_EQ(trace.back(), '\n');
    EXPECT_EQ(ReadTrace(dir + "/t.jsonl").size(),
              static_cast<size_t>(std::count(trace.begin(), trace.end(), '\n')));
    EXPECT_EQ(ReadFile(dir + "/highscore.dat"), RecordBytes(record));
  }
}

TEST(SharedRecord, ADataFolderThatVanishesInPlayIsNotMadeAgain) {
  const std::string dir = RecordDir("vanishing"), out = MakeTempDir("vanishing-out");
  Paused run(dir, 600, Fast({"--trace", out + "/t.jsonl"}));
  fs::remove_all(dir);
  EXPECT_EQ(run.Go(), 0);
  EXPECT_FALSE(FileExists(dir));
  EXPECT_EQ(ReadFile(run.out + "/err.txt"), "tonkalo: cannot save the high score in '" + dir +
                                                "/highscore.dat' (No such file or directory)\n");
}

}  // namespace
