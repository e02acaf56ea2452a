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

TEST(CommandLine, DoubleDashEndsTheOptionsAndNumbersArePlainDecimal) {
  const std::string dir = MakeGameDir("e2e-cli");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--frames", "1", "--"}, ""},  {{"--frames", "2", "--volume=007"}, ""},
      {{"--", "--frames", "1"}, "unexpected argument '--frames'"},
      {{"--frames", "1", "--", "--"}, "unexpected argument '--'"},
      {{"--tick", "0x10"}, "--tick wants a number of ms from 0.1 to 1000, not '0x10'"},
      {{"--tick", "1e1"}, "--tick wants"},       {{"--frames", "0x10"}, "--frames wants"},
      {{"--volume", " 5"}, "--volume wants a whole number from 0 to 100, not ' 5'"},
      {{"--scale", "2 "}, "--scale wants"},      {{"--volume", "+5"}, "--volume wants"},
      {{"--start-tick", "99999999999999999999"}, "--start-tick wants"}};
  for (const auto& [args, line] : cases) {
    std::vector<std::string> all = {"--headless"};
    all.insert(all.end(), args.begin(), args.end());
    const RunResult run = RunProgram(dir, all, {false, 60});
    EXPECT_EQ(run.exitStatus, line.empty() ? 0 : 2) << args[1];
    EXPECT_EQ(run.stderrText.empty(), line.empty()) << run.stderrText;
    if (!line.empty()) ExpectSaidOnce(run, line);
  }
  for (const std::string option : {"--help", "--version"}) {
    const std::string program = std::string(TONKALO_BIN) + " " + option;
    EXPECT_EQ(WEXITSTATUS(std::system((program + " >/dev/full 2>/dev/null").c_str())), 1) << option;
    EXPECT_EQ(WEXITSTATUS(std::system((program + " >/dev/null").c_str())), 0) << option;
  }
}

TEST(CommandLine, AScriptIsReadOnceAsAStreamAndABadWordIsCut) {
  const std::string dir = MakeGameDir("e2e-cli-script");
  // 60 MB of comments before the command that ends the run: read whole, the file alone
  // would take more memory than the game. Written a line at a time, so that the program,
  // forked from this process, does not start out holding it.
  {
    std::ofstream big(dir + "/big.txt");
    for (int i = 0; i < 600000; ++i) big << "# " << std::string(98, 'c') << "\n";
    big << "2 close";
  }
  long peakKb = 0;
  EXPECT_EQ(Wait(Spawn(dir, {"--headless", "--script", "big.txt"}, dir + "/err.txt"), &peakKb), 0);
#ifndef TONKALO_SANITIZED
  EXPECT_LT(peakKb, 50 * 1024) << "kB at the peak";
#endif
  WriteFile(dir + "/word.txt", "0 " + std::string(60 << 20, 'x') + "\n");
  const RunResult run = RunProgram(dir, {"--headless", "--script", "word.txt"}, {false, 60});
  EXPECT_EQ(run.exitStatus, 2);
  ExpectSaidOnce(run, "word.txt:1: unknown command '" + std::string(77, 'x') + "...'");
  EXPECT_LT(run.stderrText.size(), 200u);
}

// The options named in the part of each line that `where` picks out.
std::set<std::string> Named(const std::string& text, const std::regex& where) {
  std::set<std::string> names;
  std::istringstream in(text);
  std::smatch part;
  for (std::string line; std::getline(in, line);) {
    if (!std::regex_search(line, part, where)) continue;
    const std::string s = part[1];
    const std::regex option("--[a-z-]+");
    for (std::sregex_iterator i(s.begin(), s.end(), option), end; i != end; ++i) {
      names.insert(i->str());
    }
  }
  return names;
}

TEST(CommandLine, TheReadmeNamesEveryOptionTheProgramTakes) {
  std::string help(1 << 16, '\0');
  std::FILE* pipe = popen((std::string(TONKALO_BIN) + " --help").c_str(), "r");
  ASSERT_TRUE(pipe);
  help.resize(std::fread(help.data(), 1, help.size(), pipe));
  pclose(pipe);
  const std::set<std::string> listed = Named(help, std::regex("^  (-h, --help|--[a-z-]+)"));
  EXPECT_GE(listed.size(), 15u) << help;
  const std::string readme = ReadFile(TONKALO_SOURCE_DIR "/README.md");
  EXPECT_EQ(Named(readme, std::regex("^\\| (`-[^|]*)\\|")), listed);
}

}  // namespace
