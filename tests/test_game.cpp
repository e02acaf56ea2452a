// The game object in-process: the title's START pulse and the high-score guard.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "game/game.h"
#include "game/program.h"
#include "platform/headless/control.h"
#include "platform/platform.h"
#include "services/window.h"
#include "support/test_support.h"

namespace {

class GameTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    platform::Options options;
    options.headless = true;
    std::string error;
    ASSERT_TRUE(platform::Init(options, error)) << error;
  }
  static void TearDownTestSuite() { platform::Shutdown(); }
};

// Runs in a folder of its own so that nothing the game writes lands beside the tests.
class InFolder {
 public:
  explicit InFolder(const std::string& dir) {
    char buf[4096];
    old_ = getcwd(buf, sizeof buf) ? buf : ".";
    EXPECT_EQ(chdir(dir.c_str()), 0);
  }
  ~InFolder() { EXPECT_EQ(chdir(old_.c_str()), 0); }

 private:
  std::string old_;
};

}  // namespace

// The pulse climbs by 4, is clamped to 255 in the 64th title frame, falls by 4, reaches
// 0 in frame 128 and climbs again; it keeps its phase across visits of the title.
TEST_F(GameTest, StartPulseClimbsClampsAndFalls) {
  const std::string dir = testsupport::MakeTempDir("pulse");
  InFolder in(dir);
  ProgramObjects objects;
  CGame& game = objects.game;
  game.EnterTitle();
  std::vector<int> seen;
  for (int frame = 1; frame <= 129; ++frame) {
    game.Frame(MainWindow());
    seen.push_back(StartPulseAlpha());
  }
  EXPECT_EQ(seen[0], 4);
  EXPECT_EQ(seen[62], 252);
  EXPECT_EQ(seen[63], 255);
  EXPECT_EQ(seen[64], 251);
  EXPECT_EQ(seen[126], 3);
  EXPECT_EQ(seen[127], 0);
  EXPECT_EQ(seen[128], 4);
}

// A game object whose start-up never read highscore.dat must not replace a stored
// record with its 0 when it is destroyed.
TEST_F(GameTest, ShutdownWithoutStartUpLeavesTheRecordAlone) {
  const std::string dir = testsupport::MakeTempDir("no_init");
  testsupport::WriteFile(dir + "/highscore.dat", std::string("\x39\x30\x00\x00", 4));
  {
    InFolder in(dir);
    ProgramObjects objects;
    objects.game.Shutdown();
  }
  EXPECT_EQ(testsupport::ReadFile(dir + "/highscore.dat"), std::string("\x39\x30\x00\x00", 4));
  EXPECT_FALSE(testsupport::FileExists(dir + "/highscore.dat.tmp"));
}
