// The program's shell from the outside: exit statuses, the start-up errors, where the
// files named on the command line land, and the headless clock as the trace shows it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using namespace testsupport;

TEST(ProgramOptions, HelpExitsZeroQuietlyAndBadOptionsExitTwoWithOneLine) {
  const std::string dir = MakeTempDir("e2e-options");
  for (const char* option : {"--help", "-h"}) {
    const auto help = RunProgram(dir, {option});
    EXPECT_EQ(help.exitStatus, 0) << option;
    EXPECT_EQ(help.stderrText, "") << option;
  }

  WriteFile(dir + "/bad.txt", "0 move 1 2\n5 click\n");
  const std::vector<std::vector<std::string>> cases = {
      {"--bogus"},          {"--headless", "--tick", "0"},     {"--headless", "--frames"},
      {"--headless", "--shot", "1:x.gif"},   {"--headless", "--script", "missing.txt"},
      {"--headless", "--data-dir", "no-such-folder"}, {"--headless", "--script", "bad.txt"},
      {"--headless", "--volume", "200"}, {"--present", "vulkan"},
      {"--headless", "--data-dir", "two\nlines"}, {"--bo\ngus"}};
  for (const auto& args : cases) {
    const auto run = RunProgram(dir, args);
    EXPECT_EQ(run.exitStatus, 2) << args.back();
    ExpectSaidOnce(run, "");
    EXPECT_TRUE(args.back() != "bad.txt" || run.stderrText.find("bad.txt:2:") != std::string::npos);
  }
}

TEST(ProgramOptions, WithoutADisplayTheWindowedProgramSaysSoAndExitsOne) {
  const std::string dir = MakeGameDir("e2e-nodisplay");
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("SDL_VIDEODRIVER");
  const auto run = RunProgram(dir, {"--frames", "1"});
  EXPECT_EQ(run.exitStatus, 1);
  ExpectSaidOnce(run, "");
  EXPECT_NE(run.stderrText.find("no display available"), std::string::npos) << run.stderrText;
  EXPECT_NE(run.stderrText.find("--headless"), std::string::npos) << run.stderrText;
  EXPECT_FALSE(FileExists(dir + "/highscore.dat"));
}

// Runs the program headless in dir with a copy of the data and checks that every traced
// event's tick follows from its pass alone: floor(start + pass x tickMs), wrapping.
std::vector<TraceLine> RunTraced(const std::string& dir, std::uint32_t start, double tickMs,
                                 std::vector<std::string> args) {
  CopyData(dir);
  args.insert(args.end(), {"--headless", "--trace", "t.jsonl", "--start-tick",
                           std::to_string(start)});
  const auto run = RunProgram(dir, args);
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.stderrText, "");
  const auto trace = ReadTrace(dir + "/t.jsonl");
  for (const auto& line : trace) {
    const double pass = std::stod(line.at("pass"));
    const auto want = start + static_cast<std::uint32_t>(std::floor(pass * tickMs));
    EXPECT_EQ(std::stoul(line.at("tick")), want) << "pass " << pass << " " << line.at("event");
  }
  EXPECT_FALSE(FileExists(dir + "/highscore.dat"));  // no game, no record
  return trace;
}

TEST(HeadlessProgram, RunsNPassesAtTheirTicksThenLeavesThroughTheNormalExit) {
  const std::string dir = MakeTempDir("e2e-frames");
  auto trace = RunTraced(dir, 4294967000u, 15.625,
                         {"--frames", "20", "--shot", "0:first.png", "--shot", "20:last.bmp",
                          "--shot", "20:last.png"});
  EXPECT_EQ(trace.at(0).at("pass") + "-" + trace.at(trace.size() - 1).at("pass"), "0-20");
  const auto last = DecodedPixels(dir + "/last.bmp");
  EXPECT_EQ(last.size(), 640u * 480u);
  EXPECT_TRUE(FileExists(dir + "/first.png"));
  // The title in both formats: the PNG holds exactly the BMP's pixels.
  EXPECT_TRUE(DecodedPixels(dir + "/last.png") == last);

  trace = RunTraced(MakeTempDir("e2e-tick1"), 250, 1.0, {"--tick", "1", "--frames", "50"});
  EXPECT_EQ(trace.at(trace.size() - 1).at("tick"), "300");
}

TEST(HeadlessProgram, AScriptedCloseEndsTheRunAndFilesStayWhereTheProgramStarted) {
  const std::string dir = MakeTempDir("e2e-datadir");
  WriteFile(dir + "/in.txt", "# close early\n7 close\n");
  std::filesystem::create_directories(dir + "/game");
  CopyData(dir + "/game");
  const auto run = RunProgram(dir, {"--headless", "--data-dir", "game", "--script", "in.txt",
                                    "--frames", "100", "--trace", "t.jsonl", "--shot", "1:s.bmp"});
  EXPECT_EQ(run.exitStatus, 0) << run.stderrText;
  EXPECT_EQ(ReadTrace(dir + "/t.jsonl").back().at("pass"), "7");
  EXPECT_TRUE(FileExists(dir + "/s.bmp"));
  EXPECT_FALSE(FileExists(dir + "/highscore.dat"));
}

TEST(HeadlessProgram, TimedemoReportsThePassesAfterLoadingInOneLine) {
  const auto run = RunProgram(MakeGameDir("e2e-timedemo"), {"--headless", "--timedemo", "--frames", "30"});
  EXPECT_EQ(run.exitStatus, 0);
  ExpectSaidOnce(run, "timedemo: 29 passes, ");
  EXPECT_NE(run.stderrText.find(" passes a second, "), std::string::npos) << run.stderrText;
  EXPECT_NE(run.stderrText.find(" µs CPU a pass\n"), std::string::npos) << run.stderrText;
}

}  // namespace
