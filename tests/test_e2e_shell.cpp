// The program's shell from the outside: exit statuses, the start-up errors, where the
// files named on the command line land, and the headless clock as the trace shows it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using testsupport::CopyData;
using testsupport::Events;
using testsupport::FileExists;
using testsupport::MakeTempDir;
using testsupport::ReadTrace;
using testsupport::RunProgram;
using testsupport::WriteFile;

int LineCount(const std::string& text) {
  int lines = 0;
  for (char c : text) lines += c == '\n';
  return lines;
}

TEST(ProgramOptions, HelpExitsZeroAndSaysNothingOnStandardError) {
  const std::string dir = MakeTempDir("e2e-help");
  const auto run = RunProgram(dir, {"--help"});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.stderrText, "");
}

TEST(ProgramOptions, BadOptionsExitTwoWithOneLine) {
  const std::string dir = MakeTempDir("e2e-bad");
  WriteFile(dir + "/bad.txt", "0 move 1 2\n5 click\n");
  const std::vector<std::vector<std::string>> cases = {
      {"--bogus"},
      {"--headless", "--tick", "0"},
      {"--headless", "--frames"},
      {"--headless", "--shot", "1:x.gif"},
      {"--headless", "--script", "bad.txt"},
      {"--headless", "--script", "missing.txt"},
      {"--headless", "--data-dir", "no-such-folder"},
  };
  for (const auto& args : cases) {
    const auto run = RunProgram(dir, args);
    EXPECT_EQ(run.exitStatus, 2) << args.back();
    EXPECT_EQ(LineCount(run.stderrText), 1) << run.stderrText;
    EXPECT_EQ(run.stderrText.rfind("tonkalo: ", 0), 0u) << run.stderrText;
  }
  const auto script = RunProgram(dir, {"--headless", "--script", "bad.txt"});
  EXPECT_NE(script.stderrText.find("bad.txt:2:"), std::string::npos) << script.stderrText;
}

TEST(ProgramOptions, WithoutADisplayTheWindowedProgramSaysSoAndExitsOne) {
  const std::string dir = MakeTempDir("e2e-nodisplay");
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("SDL_VIDEODRIVER");
  const auto run = RunProgram(dir, {"--frames", "1"});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(LineCount(run.stderrText), 1) << run.stderrText;
  EXPECT_NE(run.stderrText.find("no display available"), std::string::npos) << run.stderrText;
  EXPECT_NE(run.stderrText.find("--headless"), std::string::npos) << run.stderrText;
  EXPECT_FALSE(FileExists(dir + "/highscore.dat"));
}

// Every event's tick follows from its pass alone: floor(T + p x tick), wrapping.
void ExpectTicksFollowPasses(const std::vector<testsupport::TraceLine>& trace,
                             std::uint32_t start, double tickMs) {
  ASSERT_FALSE(trace.empty());
  for (const auto& line : trace) {
    const long long pass = std::stoll(line.at("pass"));
    const std::uint32_t want =
        start + static_cast<std::uint32_t>(std::floor(static_cast<double>(pass) * tickMs));
    ASSERT_EQ(std::stoul(line.at("tick")), want) << "pass " << pass << " " << line.at("event");
  }
}

TEST(HeadlessProgram, RunsNPassesThenLeavesThroughTheNormalExit) {
  const std::string dir = MakeTempDir("e2e-frames");
  CopyData(dir);
  const auto run = RunProgram(dir, {"--headless", "--frames", "20", "--trace", "t.jsonl",
                                    "--start-tick", "4294967000", "--shot", "0:first.png",
                                    "--shot", "20:last.bmp"});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.stderrText, "");
  const auto trace = ReadTrace(dir + "/t.jsonl");
  ExpectTicksFollowPasses(trace, 4294967000u, 15.625);
  ASSERT_FALSE(trace.empty());
  EXPECT_EQ(trace.front().at("pass"), "0");
  EXPECT_EQ(trace.back().at("pass"), "20");
  const auto writes = Events(trace, "highscore-write");
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].at("pass"), "20");
  EXPECT_TRUE(FileExists(dir + "/highscore.dat"));
  EXPECT_TRUE(FileExists(dir + "/first.png"));
  const auto last = testsupport::ReadBmp(dir + "/last.bmp");
  EXPECT_EQ(last.width, 640);
  EXPECT_EQ(last.height, 480);
}

TEST(HeadlessProgram, TickOneMakesEveryPassAMillisecond) {
  const std::string dir = MakeTempDir("e2e-tick1");
  CopyData(dir);
  const auto run = RunProgram(dir, {"--headless", "--tick", "1", "--frames", "50", "--trace",
                                    "t.jsonl", "--start-tick", "250"});
  EXPECT_EQ(run.exitStatus, 0);
  const auto trace = ReadTrace(dir + "/t.jsonl");
  ExpectTicksFollowPasses(trace, 250u, 1.0);
  ASSERT_FALSE(trace.empty());
  EXPECT_EQ(trace.back().at("tick"), "300");
}

TEST(HeadlessProgram, AScriptedCloseEndsTheRunAtItsPass) {
  const std::string dir = MakeTempDir("e2e-close");
  CopyData(dir);
  WriteFile(dir + "/in.txt", "# close early\n7 close\n");
  const auto run = RunProgram(dir, {"--headless", "--script", "in.txt", "--frames", "100",
                                    "--trace", "t.jsonl"});
  EXPECT_EQ(run.exitStatus, 0);
  const auto writes = Events(ReadTrace(dir + "/t.jsonl"), "highscore-write");
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].at("pass"), "7");
}

TEST(HeadlessProgram, FilesNamedOnTheCommandLineStayWhereTheProgramStarted) {
  const std::string dir = MakeTempDir("e2e-datadir");
  const std::string data = dir + "/game";
  WriteFile(dir + "/in.txt", "2 close\n");
  std::filesystem::create_directories(data);
  CopyData(data);
  const auto run = RunProgram(dir, {"--headless", "--data-dir", "game", "--script", "in.txt",
                                    "--trace", "t.jsonl", "--shot", "1:s.bmp"});
  EXPECT_EQ(run.exitStatus, 0) << run.stderrText;
  EXPECT_TRUE(FileExists(dir + "/t.jsonl"));
  EXPECT_TRUE(FileExists(dir + "/s.bmp"));
  EXPECT_TRUE(FileExists(data + "/highscore.dat"));  // the game's files: in the data folder
  EXPECT_FALSE(FileExists(dir + "/highscore.dat"));
}

}  // namespace
