// The program's shell from the outside: exit statuses, the start-up errors as one clean
// line, where the files named on the command line land.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using namespace testsupport;

TEST(ProgramOptions, BadStartsExitTwoWithOneCleanLine) {
  const std::string dir = MakeTempDir("e2e-options");
  // Control characters in what the user typed are never echoed raw.
  WriteFile(dir + "/bad.txt", "0 move 1 2\n5 click\n");
  for (const auto& [args, mention] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"--bo\ngus"}, "--bo\\x0Agus"},
           {{"--headless", "--data-dir", "two\nlines"}, "two\\x0Alines"},
           {{"--headless", "--data-dir", "no-such-folder"}, "no-such-folder"},
           {{"--headless", "--script", "bad.txt"}, "bad.txt:2:"}}) {
    const auto run = RunProgram(dir, args);
    EXPECT_EQ(run.exitStatus, 2) << mention;
    ExpectSaidOnce(run, "");
    EXPECT_NE(run.stderrText.find(mention), std::string::npos) << run.stderrText;
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
  const auto run =
      RunProgram(MakeGameDir("e2e-timedemo"), {"--headless", "--timedemo", "--frames", "30"});
  EXPECT_EQ(run.exitStatus, 0);
  ExpectSaidOnce(run, "timedemo: 29 passes, ");
  EXPECT_NE(run.stderrText.find(" passes a second, "), std::string::npos) << run.stderrText;
  EXPECT_NE(run.stderrText.find(" µs CPU a pass\n"), std::string::npos) << run.stderrText;
}

}  // namespace
