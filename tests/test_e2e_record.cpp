// The record shared by every game the player runs, against games beside it, demos,
// a stranger's files and signals: never lowered, never written through what lies in
// wait in its folder, written only by a run that set a record.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files/settings.h"
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

// Another program holding the record's folder locked never holds the game: the record
// is not written under the lock, it waits for the exit and is merged there with what
// the holder wrote, and a signal ends that wait at once.
TEST(SharedRecord, ALockedFolderNeverHoldsTheGame) {
  const std::string dir = RecordDir("locked"), err = MakeTempDir("lock-err") + "/err.txt";
  int lock = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_EQ(flock(lock, LOCK_EX), 0);
  Paused run(dir, 1240, Game(false));
  EXPECT_EQ(Record(dir), RecordBytes(-5));
  WriteFile(dir + "/highscore.dat", RecordBytes(8));
  close(lock);
  EXPECT_EQ(run.Go(), 0);
  EXPECT_EQ(Record(dir) + ReadFile(run.out + "/err.txt"), RecordBytes(8));

  lock = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_EQ(flock(lock, LOCK_EX), 0);
  WriteFile(dir + "/highscore.dat", RecordBytes(-5));
  const int pid = Spawn(dir, Game(false), err);
  for (int i = 0; i < 3000 && ReadFile(err).find("waits for it") == std::string::npos; ++i) {
    usleep(10000);
  }
  kill(pid, SIGTERM);
  EXPECT_EQ(Wait(pid), 128 + SIGTERM);
  EXPECT_EQ(Record(dir), RecordBytes(-5));
  EXPECT_NE(ReadFile(err).find("(the game was closed while another program held its folder "
                               "locked)\n"), std::string::npos) << ReadFile(err);
  close(lock);
}

// A replay is the player's file like the record: what --record names is replaced only
// by a run that started and ended well, never through a link, never when it is the
// record, the settings or no plain file, and never by the run that replays it.
TEST(PlayersFiles, ARecordedReplayReplacesOnlyWhatItShould) {
  const std::string theirs = MakeTempDir("theirs") + "/file", kept = "keep me";
  const std::string own = "': it is the game's own file";
  const struct { std::string name; Args args; int status; std::string said; } cases[] = {
      {"no-title", Game(false, {"--record", "r.replay"}), 1, ""},
      {"record", Game(false, {"--record", "highscore.dat"}), 1, "highscore.dat" + own},
      {"settings", Game(false, {"--record", "settings.txt"}), 1, "settings.txt" + own},
      {"fifo", Game(false, {"--record", "r.replay"}), 1, "r.replay': not a plain file"},
      {"link", Game(false, {"--record", "r.replay"}), 0, ""},
      {"replay", {"--headless", "--replay", "r.replay", "--record", "r.replay"}, 2, ""}};
  for (const auto& c : cases) {
    const std::string dir = RecordDir(c.name), replay = dir + "/r.replay";
    WriteFile(theirs, kept);
    WriteFile(dir + "/settings.txt", kept);
    if (c.name == "replay") WriteFile(replay, ReadFile(TONKALO_SOURCE_DIR "/fuzz/corpus/replay_fuzz/demo.replay"));
    if (c.name == "no-title") fs::remove(dir + "/BMP/TITLE.bmp");
    if (c.name == "fifo") mkfifo(replay.c_str(), 0600);
    if (c.name == "link") symlink(theirs.c_str(), replay.c_str());
    const std::string before = c.name == "fifo" ? "" : ReadFile(replay);
    const RunResult run = RunProgram(dir, c.args, {false, 30});
    EXPECT_EQ(run.exitStatus, c.status) << c.name;
    if (!c.said.empty()) ExpectSaidOnce(run, "cannot write replay '" + dir + "/" + c.said);
    EXPECT_EQ(Record(dir), RecordBytes(c.status ? -5 : 0)) << c.name;
    EXPECT_EQ(ReadFile(dir + "/settings.txt") + ReadFile(theirs), kept + kept) << c.name;
    if (c.name != "fifo") EXPECT_EQ(ReadFile(replay).rfind(c.status ? before : "tonkalo-replay 1 ", 0), 0u) << c.name;
  }
  const std::string dir = RecordDir("gone"), sub = dir + "/a\x1b[31m";
  fs::create_directory(sub);
  Paused run(dir, 5, Game(false, {"--record", sub + "/r.replay"}));
  fs::remove_all(sub);
  EXPECT_EQ(run.Go(), 1);
  EXPECT_EQ(ReadFile(run.out + "/err.txt"), "tonkalo: cannot write replay '" + dir +
                                                "/a\\x1B[31m/r.replay': No such file or directory\n");
}

// Settings this version cannot read or does not understand stay as they are for the
// run; a later version's keys survive a write. A replacement that fails leaves no
// temporary file behind.
TEST(PlayersFiles, SettingsAreLeftAloneWhenNotUnderstoodAndNothingIsLeftBehind) {
  const std::string dir = MakeTempDir("settings"), file = dir + "/settings.txt";
  const struct { std::string text, written; } cases[] = {
      {"volume 40\nfade-ms 300\n", "music off\nsound on\nvolume 40\nfade-ms 300\n"},
      {"volume 40\nvolume 50\n", ""}, {"volume 400\n", ""}, {std::string(5000, '#'), ""}};
  for (const auto& c : cases) {
    WriteFile(file, c.text);
    platform::Settings settings;
    std::string problem;
    EXPECT_EQ(platform::ReadSettingsFile(file, settings, problem), !c.written.empty());
    settings.music = false;
    EXPECT_TRUE(platform::WriteSettingsFile(file, settings, false, problem));
    EXPECT_EQ(ReadFile(file), c.written.empty() ? c.text : c.written);
  }
  // A new player's data folder is made by the first settings kept, as by the first record.
  std::string problem;
  EXPECT_TRUE(platform::WriteSettingsFile(dir + "/new/tonkalo/settings.txt", {}, true, problem));
  EXPECT_EQ(ReadFile(dir + "/new/tonkalo/settings.txt"), "music on\nsound on\nvolume 100\n");
  fs::remove_all(dir + "/new");
  fs::create_directories(dir + "/taken/inside");
  EXPECT_FALSE(platform::WriteFileAtomically(dir + "/taken", "new", problem));
  EXPECT_EQ(Entries(dir), 3);
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
