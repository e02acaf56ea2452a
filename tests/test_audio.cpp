// Sound effects held in memory and the music player's commands, against the headless
// backend's records.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

#include "audio/music.h"
#include "audio/sound.h"
#include "platform/headless/control.h"
#include "platform/platform.h"
#include "support/test_support.h"

namespace {

class HeadlessEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    platform::Options options;
    options.headless = true;
    std::string error;
    ASSERT_TRUE(platform::Init(options, error)) << error;
  }
  void TearDown() override { platform::Shutdown(); }
};

::testing::Environment* const kEnv =
    ::testing::AddGlobalTestEnvironment(new HeadlessEnvironment);

// Distinct contents per effect, with zero bytes inside, so a mix-up or a text-mode read
// shows.
std::string WaveBytes(int index) {
  std::string bytes = "RIFF";
  bytes += std::string(3, '\0');
  bytes += std::string(static_cast<size_t>(40 + index * 13), static_cast<char>('a' + index));
  bytes += '\0';
  return bytes;
}

// Works inside a fresh folder holding WAV/ with the effects whose index is not skipped.
class SoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    home = cwd;
    headless::ClearRecords();
  }
  void TearDown() override {
    ReleaseSoundEffects();
    ASSERT_EQ(chdir(home.c_str()), 0);
  }
  void MakeFolder(const std::string& name, int skip) {
    const std::string dir = testsupport::MakeTempDir(name);
    ASSERT_EQ(mkdir((dir + "/WAV").c_str(), 0755), 0);
    for (int i = 0; i < 10; ++i) {
      if (i == skip) continue;
      testsupport::WriteFile(dir + "/" + kSoundEffectFiles[i], WaveBytes(i));
    }
    ASSERT_EQ(chdir(dir.c_str()), 0);
  }

  std::string home;
};

}  // namespace

TEST(SoundFiles, TheTenEffectsHaveTheirFiles) {
  const char* const expected[10] = {
      "WAV/tm2_bom003.wav", "WAV/cursor09.wav",   "WAV/bell07.wav",
      "WAV/push04.wav",     "WAV/shoot16_b.wav",  "WAV/tm2_laser002.wav",
      "WAV/tm2_put001.wav", "WAV/tm2_power000.wav", "WAV/pi02.wav",
      "WAV/beep15.wav"};
  for (int i = 0; i < 10; ++i) EXPECT_STREQ(kSoundEffectFiles[i], expected[i]) << i;
}

TEST_F(SoundTest, LoadWholeFileKeepsEveryByteAndFailsOnlyWithoutAFile) {
  MakeFolder("whole", -1);
  const WaveBlock block = LoadWholeFile(kSoundEffectFiles[4]);
  ASSERT_TRUE(block.loaded);
  EXPECT_EQ(std::string(block.bytes.begin(), block.bytes.end()), WaveBytes(4));

  EXPECT_FALSE(LoadWholeFile("WAV/nothing.wav").loaded);
  EXPECT_FALSE(LoadWholeFile("WAV").loaded) << "a folder is not a file";
  EXPECT_FALSE(LoadWholeFile(nullptr).loaded);

  testsupport::WriteFile("WAV/empty.wav", "");
  const WaveBlock empty = LoadWholeFile("WAV/empty.wav");
  EXPECT_TRUE(empty.loaded);
  EXPECT_TRUE(empty.bytes.empty());
}

TEST_F(SoundTest, AllTenLoadedReportsOne) {
  MakeFolder("all", -1);
  EXPECT_EQ(LoadSoundEffects(), 1);
  EXPECT_TRUE(headless::PlayedSounds().empty()) << "loading plays nothing";
}

TEST_F(SoundTest, OneMissingFileLeavesTheOtherNinePlayable) {
  MakeFolder("missing", 6);
  EXPECT_EQ(LoadSoundEffects(), 0);
  for (int i = 0; i < 10; ++i) PlaySoundEffect(i);
  EXPECT_EQ(headless::PlayedSounds(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  const std::vector<std::size_t>& sizes = headless::PlayedSoundSizes();
  ASSERT_EQ(sizes.size(), 10u);
  for (int i = 0; i < 10; ++i) {
    if (i == 6) {
      EXPECT_EQ(sizes[i], 0u) << "the missing effect plays as a halt";
    } else {
      EXPECT_EQ(sizes[i], WaveBytes(i).size()) << "effect " << i;
    }
  }
}

TEST_F(SoundTest, EffectsPlayInOrderEachCuttingOffTheLast) {
  MakeFolder("order", -1);
  ASSERT_EQ(LoadSoundEffects(), 1);
  PlaySoundEffect(3);
  PlaySoundEffect(0);
  PlaySoundEffect(5);
  PlaySoundEffect(5);
  EXPECT_EQ(headless::PlayedSounds(), (std::vector<int>{3, 0, 5, 5}));
  PlaySoundEffect(-1);
  PlaySoundEffect(10);
  EXPECT_EQ(headless::PlayedSounds().size(), 4u) << "no effect outside 0 to 9";
}

TEST_F(SoundTest, ReleaseFreesEveryEffect) {
  MakeFolder("release", -1);
  ASSERT_EQ(LoadSoundEffects(), 1);
  PlaySoundEffect(2);
  ReleaseSoundEffects();
  EXPECT_EQ(headless::PlayedSounds(), (std::vector<int>{2})) << "the halt is no effect";
  PlaySoundEffect(2);
  ASSERT_EQ(headless::PlayedSoundSizes().size(), 2u);
  EXPECT_EQ(headless::PlayedSoundSizes()[1], 0u);
  ReleaseSoundEffects();  // twice does no harm
}

namespace {

// A window to attach the player to; the player never looks inside it.
HWND SomeWindow() {
  static char window;
  return reinterpret_cast<HWND>(&window);
}

using Records = std::vector<headless::MusicRecord>;

std::string Describe(const Records& records) {
  std::string out;
  for (const auto& r : records) out += r.command + (r.path.empty() ? "" : " " + r.path) + "; ";
  return out;
}

}  // namespace

class MusicTest : public ::testing::Test {
 protected:
  void SetUp() override { headless::ClearRecords(); }
};

TEST_F(MusicTest, ACreatedPlayerSendsItsCommandsAndClosesOnDestruction) {
  {
    CMp3Player player;
    EXPECT_TRUE(player.Create(SomeWindow()));
    EXPECT_TRUE(headless::MessageBoxes().empty());
    EXPECT_STREQ(player.TrackPath(), "");
    player.Stop();
    player.Open("MP3/tw014b.mp3");
    player.Play();
    EXPECT_STREQ(player.TrackPath(), "MP3/tw014b.mp3");
    player.Stop();
    player.Open("MP3/tw065.mp3");
    player.Play();
    player.Replay();
  }
  EXPECT_EQ(Describe(headless::MusicCommands()),
            "stop; open MP3/tw014b.mp3; play; stop; open MP3/tw065.mp3; play; "
            "replay MP3/tw065.mp3; stop; close; ");
}

TEST_F(MusicTest, CloseIsSentOnce) {
  {
    CMp3Player player;
    ASSERT_TRUE(player.Create(SomeWindow()));
    player.Close();
    player.Play();
  }
  EXPECT_EQ(Describe(headless::MusicCommands()), "stop; close; ");
}

TEST_F(MusicTest, WithoutAWindowThePlayerSaysSoOnceAndStaysSilent) {
  {
    CMp3Player player;
    EXPECT_FALSE(player.Create(nullptr));
    ASSERT_EQ(headless::MessageBoxes().size(), 1u);
    EXPECT_EQ(headless::MessageBoxes()[0].caption, "ERROR");
    EXPECT_EQ(headless::MessageBoxes()[0].text, "MP3プレイヤーの作成に失敗");
    player.Stop();
    player.Open("MP3/tw014b.mp3");
    player.Play();
    player.Replay();
    EXPECT_STREQ(player.TrackPath(), "MP3/tw014b.mp3") << "the path is still kept";
  }
  EXPECT_TRUE(headless::MusicCommands().empty()) << Describe(headless::MusicCommands());
  EXPECT_EQ(headless::MessageBoxes().size(), 1u);
}

TEST_F(MusicTest, APlayerNeverCreatedSendsNothing) {
  { CMp3Player player; }
  EXPECT_TRUE(headless::MusicCommands().empty());
}

TEST_F(MusicTest, TheTrackPathHoldsAtMost255Characters) {
  CMp3Player player;
  ASSERT_TRUE(player.Create(SomeWindow()));
  const std::string longPath = "MP3/" + std::string(300, 'x') + ".mp3";
  player.Open(longPath.c_str());
  EXPECT_EQ(std::string(player.TrackPath()), longPath.substr(0, 255));
  const std::string exact(255, 'y');
  player.Open(exact.c_str());
  EXPECT_EQ(std::string(player.TrackPath()), exact);
  player.Open("MP3/tw065.mp3");
  EXPECT_STREQ(player.TrackPath(), "MP3/tw065.mp3") << "a shorter path replaces it whole";
  headless::ClearRecords();
  player.Replay();
  ASSERT_EQ(headless::MusicCommands().size(), 1u);
  EXPECT_EQ(headless::MusicCommands()[0].command, "replay");
  EXPECT_EQ(headless::MusicCommands()[0].path, "MP3/tw065.mp3");
}
