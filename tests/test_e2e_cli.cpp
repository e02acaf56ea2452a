// The command line as a user meets it: help into a full disk, scripts far larger than any
// real one, and the README's option tables. (How options parse, test_platform_headless.)
#include <gtest/gtest.h>
#include <sys/wait.h>

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
    for (std::sregex_iterator i(s.begin(), s.end(), option), end; i != end; ++i) names.insert(i->str());
  }
  return names;
}

// --help and --version fail into a full disk; the README's option tables name every
// option that --help lists.
TEST(CommandLine, TheReadmeNamesEveryOptionHelpListsAndHelpFailsIntoAFullDisk) {
  const std::string help = MakeTempDir("help") + "/help.txt";
  for (const std::string option : {"--version", "-h", "--help"}) {
    const std::string program = std::string(TONKALO_BIN) + " " + option;
    EXPECT_EQ(WEXITSTATUS(std::system((program + " >/dev/full 2>/dev/null").c_str())), 1) << option;
    EXPECT_EQ(WEXITSTATUS(std::system((program + " >" + help + " 2>" + help + ".err").c_str())), 0);
    EXPECT_EQ(ReadFile(help + ".err"), "") << option;  // quietly
  }
  const std::set<std::string> listed = Named(ReadFile(help), std::regex("^  (-h, --help|--[a-z-]+)"));
  EXPECT_GE(listed.size(), 15u) << ReadFile(help);
  const std::string readme = ReadFile(TONKALO_SOURCE_DIR "/README.md");
  EXPECT_EQ(Named(readme, std::regex("^\\| (`-[^|]*)\\|")), listed);
}

}  // namespace
