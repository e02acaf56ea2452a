// The command line as a user meets it: "--", numbers that only look plain, help into a
// full disk, scripts far larger than any real one, and the README's option tables.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using namespace testsupport;

int Shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CommandLine, DoubleDashEndsTheOptionsAndNumbersArePlainDecimal) {
  const std::string dir = MakeGameDir("e2e-cli");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string line;
  };
  const Case cases[] = {
      {{"--frames", "1", "--"}, 0, ""},
      {{"--", "--frames", "1"}, 2, "unexpected argument '--frames'"},
      {{"--frames", "1", "--", "--"}, 2, "unexpected argument '--'"},
      {{"--tick", "0x10"}, 2, "--tick wants a number of ms from 0.1 to 1000, not '0x10'"},
      {{"--tick", "1e1"}, 2, "--tick wants"},
      {{"--frames", "0x10"}, 2, "--frames wants"},
      {{"--volume", " 5"}, 2, "--volume wants a whole number from 0 to 100, not ' 5'"},
      {{"--scale", "2 "}, 2, "--scale wants"},
      {{"--volume", "+5"}, 2, "--volume wants"},
      {{"--start-tick", "99999999999999999999"}, 2, "--start-tick wants"},
      {{"--frames", "2", "--volume=007"}, 0, ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--headless"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult run = RunProgram(dir, args, {false, 60});
    EXPECT_EQ(run.exitStatus, c.status) << c.args[1];
    if (c.status == 0) {
      EXPECT_EQ(run.stderrText, "");
    } else {
      ExpectSaidOnce(run, c.line);
    }
  }
  for (const std::string option : {"--help", "--version"}) {
    const std::string program = std::string(TONKALO_BIN) + " " + option;
    EXPECT_EQ(Shell(program + " >/dev/full 2>/dev/null"), 1) << option;
    EXPECT_EQ(Shell(program + " >/dev/null"), 0) << option;
  }
}

TEST(CommandLine, AScriptIsReadOnceAsAStreamAndABadWordIsCut) {
  const std::string dir = MakeGameDir("e2e-cli-script");
  // 60 MB of comments before the one command that ends the run: read whole, the file
  // alone would take more memory than the game. Written a line at a time, so that the
  // program, forked from this process, does not start out holding it.
  {
    std::ofstream big(dir + "/big.txt");
    const std::string comment = "# " + std::string(98, 'c') + "\n";
    for (int i = 0; i < 600000; ++i) big << comment;
    big << "2 close";
  }
  long peakKb = 0;
  EXPECT_EQ(Wait(Spawn(dir, {"--headless", "--script", "big.txt"}, dir + "/err.txt"), &peakKb), 0)
      << ReadFile(dir + "/err.txt");
#ifndef TONKALO_SANITIZED
  EXPECT_LT(peakKb, 50 * 1024) << "kB at the peak";
#endif

  WriteFile(dir + "/word.txt", "0 " + std::string(60 << 20, 'x') + "\n");
  const RunResult run = RunProgram(dir, {"--headless", "--script", "word.txt"}, {false, 60});
  EXPECT_EQ(run.exitStatus, 2);
  ExpectSaidOnce(run, "word.txt:1: unknown command '" + std::string(77, 'x') + "...'");
  EXPECT_LT(run.stderrText.size(), 200u);
}

// The options --help lists, or those in the first column of the README's tables.
std::set<std::string> Named(const std::string& text, const std::regex& line) {
  std::set<std::string> names;
  const std::regex option("--[a-z-]+");
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) {
    std::smatch m;
    if (!std::regex_search(l, m, line)) continue;
    const std::string first = m[1];
    for (std::sregex_iterator i(first.begin(), first.end(), option), end; i != end; ++i) {
      names.insert(i->str());
    }
  }
  return names;
}

TEST(CommandLine, TheReadmeNamesEveryOptionTheProgramTakes) {
  std::string help;
  std::FILE* pipe = popen((std::string(TONKALO_BIN) + " --help").c_str(), "r");
  ASSERT_TRUE(pipe);
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) help.append(buf, n);
  pclose(pipe);
  const std::set<std::string> listed = Named(help, std::regex("^  (-h, --help|--[a-z-]+)"));
  EXPECT_GE(listed.size(), 15u) << help;
  const std::string readme = ReadFile(TONKALO_SOURCE_DIR "/README.md");
  EXPECT_EQ(Named(readme, std::regex("^\\| (`-[^|]*)\\|")), listed);
}

}  // namespace
